#pragma once
// The file information window: the MediaInfo library's text report of one
// source, which the user can read and save.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace marbeck {

struct TFileItem;

class TfrmFileInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFileInfo(QWidget *owner = nullptr);

    QPlainTextEdit *MemoInfo() const { return m_memoInfo; }
    QWidget *PanelBottom() const { return m_panelBottom; }
    QPushButton *btnOK() const { return m_btnOK; }
    QPushButton *btnSave() const { return m_btnSave; }

    void ApplyLanguage();
    // Centres the two buttons as a group in the bottom panel, 8 pixels apart.
    void ArrangeButtons();
    // The report on the file; a file that is gone leaves the text as it was.
    void LoadReport(const QString &path);
    // Writes the report's lines to the file; throws orm::Error when it cannot.
    void SaveReport(const QString &path) const;

public slots:
    void btnSaveClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutPanels();

    QPlainTextEdit *m_memoInfo;
    QWidget *m_panelBottom;
    QPushButton *m_btnOK;
    QPushButton *m_btnSave;
    QString m_saveFilter;   // "name|pattern|..." as the message table gives it
    QString m_saveFileName; // proposed by the save dialog
};

// "More Information...": the window for the record's file, centred over the
// main window and shown modally; nothing when the file is gone.
void ShowFileInformation(QWidget *mainWindow, const TFileItem &item);

} // namespace marbeck

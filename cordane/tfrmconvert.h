#pragma once
#include "convertrun.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace cordane {

// Cordane's one window: shows how far the job (ConvertRun) is, asks before
// stopping it, and closes the run when the window closes.
class TfrmConvert : public QWidget {
    Q_OBJECT
public:
    explicit TfrmConvert(const QString &programFolder, QWidget *parent = nullptr);
    ~TfrmConvert() override;

    void ApplyLanguage();
    bool ErrorOccurred() const { return m_run.ErrorOccurred(); }
    QPushButton *cancelButton() const { return ButtonCancel; }
    // The program is ended from outside: stop as "Stop now" would, without asking.
    void TerminationRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void StartConversion();
    // What only the window needs (fonts, the toolkit's texts, captions,
    // placement), done once the encoder runs.
    void PolishWindow();
    // The file's name, shortened to fit, with its whole path as tooltip.
    static void ShowFileName(QLabel *label, const QString &path);
    void ButtonCancelClick();
    // The stop question; true for "Stop now".
    bool AskStop();
    void ShowProgress();
    // Every way out ends here; the run reports once.
    void CloseSequence();

    QString m_handOffFile;
    ConvertRun m_run;

    QLabel *LabelRemainingCaption;
    QLabel *LabelRemaining;
    QLabel *LabelPercent;
    QProgressBar *ProgressBarStatus;
    QLabel *LabelElapsedCaption;
    QLabel *LabelElapsed;
    QLabel *LabelEstimatedCaption;
    QLabel *LabelEstimated;
    QLabel *LabelSourceCaption;
    QLabel *LabelSource;
    QLabel *LabelTargetCaption;
    QLabel *LabelTarget;
    QPushButton *ButtonCancel;
};

} // namespace cordane

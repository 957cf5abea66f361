#pragma once
// The settings window: encoder priority, reading through DirectShow and what
// "Shutdown Windows when done" does, edited in memory and saved on OK.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace marbeck {

struct TGlobalVars;

// The stored form of a list position: no selection (-1) becomes 255.
quint8 StoredListIndex(int itemIndex);

class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget *owner = nullptr);

    void ApplyLanguage();
    // The count "Automatic" stands for now, shown beside it.
    void setAutomaticJobs(int jobs);
    void LoadControls(const TGlobalVars &g);
    void StoreControls(TGlobalVars &g) const;

    QTabWidget *PageControlOptions() const { return m_pageControlOptions; }
    QWidget *TabSheetGeneral() const { return m_tabSheetGeneral; }
    QGroupBox *GroupBoxPriority() const { return m_groupBoxPriority; }
    QComboBox *ComboBoxPriority() const { return m_comboBoxPriority; }
    QGroupBox *GroupBoxDirectShow() const { return m_groupBoxDirectShow; }
    QCheckBox *CheckBoxDirectShow() const { return m_checkBoxDirectShow; }
    QGroupBox *GroupBoxBatch() const { return m_groupBoxBatch; }
    QCheckBox *CheckBoxDelSource() const { return m_checkBoxDelSource; }
    QCheckBox *CheckBoxShutdown() const { return m_checkBoxShutdown; }
    QCheckBox *CheckBoxShowErrors() const { return m_checkBoxShowErrors; }
    QCheckBox *CheckBoxKeepList() const { return m_checkBoxKeepList; }
    QLabel *LabelShutDown() const { return m_labelShutDown; }
    QComboBox *ComboBoxShutdownFlag() const { return m_comboBoxShutdownFlag; }
    QComboBox *ComboBoxSimultaneous() const { return m_comboBoxSimultaneous; }
    QPushButton *ButtonOK() const { return m_buttonOK; }
    QPushButton *ButtonCancel() const { return m_buttonCancel; }

private:
    QTabWidget *m_pageControlOptions;
    QWidget *m_tabSheetGeneral;
    QGroupBox *m_groupBoxPriority;
    QComboBox *m_comboBoxPriority;
    QGroupBox *m_groupBoxDirectShow;
    QCheckBox *m_checkBoxDirectShow;
    QLabel *m_labelAviSynthNote;
    QGroupBox *m_groupBoxBatch;
    QCheckBox *m_checkBoxDelSource;
    QCheckBox *m_checkBoxShutdown;
    QCheckBox *m_checkBoxShowErrors;
    QCheckBox *m_checkBoxKeepList;
    QLabel *m_labelSimultaneous;
    QComboBox *m_comboBoxSimultaneous;
    QLabel *m_labelShutDown;
    QComboBox *m_comboBoxShutdownFlag;
    int m_automaticJobs = 1;
    QWidget *m_panelBottom;
    QPushButton *m_buttonOK;
    QPushButton *m_buttonCancel;
};

// "Settings...": the window centred over the owner; OK stores the controls and
// writes the settings file (a failure to write is shown to the user). True
// when the user pressed OK.
bool RunSettingsDialog(QWidget *owner, int automaticJobs = 1);

} // namespace marbeck

#pragma once
// The failures of the last batch inside the program: each failed source with
// what the user was told of it, in the look of the file information window.
// "Open in editor" writes the log file and hands it to the desktop.
#include "shared/failurelog.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace marbeck {

class TfrmFailureLog : public QDialog {
    Q_OBJECT
public:
    TfrmFailureLog(const orm::FailureLog &log, QWidget *owner = nullptr);

    void ApplyLanguage();
    void ButtonOpenInEditorClick();

    QPlainTextEdit *MemoLog() const { return m_memoLog; }
    QPushButton *ButtonOpenInEditor() const { return m_buttonOpenInEditor; }
    QPushButton *ButtonClose() const { return m_buttonClose; }

private:
    orm::FailureLog m_log;
    QPlainTextEdit *m_memoLog;
    QPushButton *m_buttonOpenInEditor;
    QPushButton *m_buttonClose;
};

// The question at the end of a batch with a failure; "Yes" shows the
// failures in a window of `owner` that stays while the user works on.
void OfferFailureWindow(const orm::FailureLog &log, QWidget *owner);

} // namespace marbeck

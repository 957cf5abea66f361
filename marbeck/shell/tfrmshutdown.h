#pragma once
// The countdown in front of a post-batch action: 30 seconds to cancel.
#include "shutdowncountdown.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace marbeck {

class TfrmShutdown : public QDialog {
    Q_OBJECT
public:
    // `tickMs` is the timer's interval: a second, shorter in tests. `action`
    // names what follows the countdown; without it the text speaks of
    // shutting down.
    explicit TfrmShutdown(QWidget *owner = nullptr, int tickMs = 1000, const QString &action = {});

    // Shows the window modally, centred on the screen: 1 when the countdown
    // ran out, 2 when the user cancelled.
    int Run();

    QLabel *LabelWarning() const { return m_labelWarning; }
    QLabel *LabelShutdownDescription() const { return m_labelShutdownDescription; }
    QLabel *LabelTimeOut() const { return m_labelTimeOut; }
    QPushButton *ButtonCancel() const { return m_buttonCancel; }
    QTimer *TimerShutdown() const { return m_timerShutdown; }
    int Remaining() const { return m_countdown.Remaining(); }

    // One tick of TimerShutdown.
    void TimerShutdownTimer();

private:
    void FormCreate(const QString &action);

    ShutdownCountdown m_countdown;
    QWidget *m_panelLabel;
    QLabel *m_labelWarning;
    QLabel *m_labelShutdownDescription;
    QLabel *m_labelTimeOut;
    QWidget *m_panelButton;
    QPushButton *m_buttonCancel;
    QTimer *m_timerShutdown;
};

} // namespace marbeck

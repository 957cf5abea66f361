#include "tfrmshutdown.h"
#include "shared/resstr.h"

#include "lang/marbeckmessages.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace marbeck {

namespace {

constexpr int kClientWidth = 196;
constexpr int kDescriptionWidth = 161;
constexpr int kDescriptionHeight = 41;
constexpr int kButtonPanelHeight = 41;

} // namespace

TfrmShutdown::TfrmShutdown(QWidget *owner, int tickMs, const QString &action)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmShutdown"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    m_panelLabel = new QWidget(this);
    m_labelWarning = new QLabel(m_panelLabel);
    QFont warning = f;
    warning.setPixelSize(19);
    warning.setBold(true);
    m_labelWarning->setFont(warning);
    m_labelShutdownDescription = new QLabel(m_panelLabel);
    m_labelShutdownDescription->setWordWrap(true);
    m_labelShutdownDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_labelTimeOut = new QLabel(m_panelLabel);
    m_panelButton = new QWidget(this);
    m_buttonCancel = new QPushButton(m_panelButton);
    m_buttonCancel->setGeometry(56, 8, 89, 25);
    // Default and cancel button at once: Enter and Escape both cancel.
    m_buttonCancel->setDefault(true);
    connect(m_buttonCancel, &QPushButton::clicked, this, [this] { done(2); });
    m_timerShutdown = new QTimer(this);
    m_timerShutdown->setInterval(tickMs);
    connect(m_timerShutdown, &QTimer::timeout, this, &TfrmShutdown::TimerShutdownTimer);

    FormCreate(action);
}

void TfrmShutdown::FormCreate(const QString &action)
{
    setWindowTitle(msg(Msg::MSG_SHUTDOWN_TITLE));
    m_labelWarning->setText(msg(Msg::MSG_WARNING));
    m_labelShutdownDescription->setText(
        action.isEmpty()
            ? orm::FormatMessage(msg(Msg::MSG_WARNING_DETAIL), {msg(Msg::MSG_APPLICATION_TITLE)})
            : orm::FormatMessage(msg(Msg::MSG_WARNING_ACTION), {action}));
    m_buttonCancel->setText(msg(Msg::MSG_CANCEL));
    m_labelTimeOut->setText(m_countdown.TimeOutText());

    // The description keeps its width; a longer text (French, German) makes
    // the window taller instead of being cut off.
    m_labelWarning->setGeometry(16, 8, kClientWidth - 24, m_labelWarning->sizeHint().height());
    const int descriptionHeight =
        std::max(kDescriptionHeight, m_labelShutdownDescription->heightForWidth(kDescriptionWidth));
    m_labelShutdownDescription->setGeometry(16, 40, kDescriptionWidth, descriptionHeight);
    const int timeOutTop = 40 + descriptionHeight + 7;
    m_labelTimeOut->setGeometry(16, timeOutTop, kClientWidth - 24, 14);
    const int panelHeight = std::max(147 - kButtonPanelHeight, timeOutTop + 14 + 6);
    m_panelLabel->setGeometry(0, 0, kClientWidth, panelHeight);
    m_panelButton->setGeometry(0, panelHeight, kClientWidth, kButtonPanelHeight);
    setFixedSize(kClientWidth, panelHeight + kButtonPanelHeight);

    m_timerShutdown->start();
}

void TfrmShutdown::TimerShutdownTimer()
{
    if (m_countdown.Tick()) {
        m_timerShutdown->stop();
        done(1);
        return;
    }
    m_labelTimeOut->setText(m_countdown.TimeOutText());
}

int TfrmShutdown::Run()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    const int result = exec();
    m_timerShutdown->stop();
    return result == 1 ? 1 : 2;
}

} // namespace marbeck

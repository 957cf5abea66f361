#include "poweractions.h"

#include "lang/marbeckmessages.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace marbeck {

namespace {

std::unique_ptr<PowerActions> &installed()
{
    static std::unique_ptr<PowerActions> actions = std::make_unique<SystemPowerActions>();
    return actions;
}

} // namespace

PowerCommand SystemPowerCommand(PowerAction action)
{
    const QString systemctl = QStringLiteral("systemctl");
    switch (action) {
    case PowerAction::Shutdown: return {systemctl, {QStringLiteral("poweroff")}};
    case PowerAction::Restart: return {systemctl, {QStringLiteral("reboot")}};
    case PowerAction::Hibernate: return {systemctl, {QStringLiteral("hibernate")}};
    case PowerAction::Suspend: return {systemctl, {QStringLiteral("suspend")}};
    case PowerAction::LogOff: {
        // The session the program runs in; "self" where the desktop did not say.
        QString session = qEnvironmentVariable("XDG_SESSION_ID");
        if (session.isEmpty())
            session = QStringLiteral("self");
        return {QStringLiteral("loginctl"), {QStringLiteral("terminate-session"), session}};
    }
    }
    return {};
}

bool SystemPowerActions::Request(PowerAction action)
{
    // A second guard behind the tests' stand-in: with the variable set,
    // nothing reaches the system whatever is installed.
    if (qEnvironmentVariableIsSet(kNoPowerActionsVariable))
        return false;
    const PowerCommand command = SystemPowerCommand(action);
    return QProcess::startDetached(command.program, command.arguments);
}

PowerActions &powerActions()
{
    return *installed();
}

std::unique_ptr<PowerActions> setPowerActions(std::unique_ptr<PowerActions> next)
{
    std::unique_ptr<PowerActions> previous = std::move(installed());
    installed() = next ? std::move(next) : std::make_unique<SystemPowerActions>();
    return previous;
}

void ExecuteShutdownAction(quint8 index, const std::function<void()> &closeProgram)
{
    switch (index) {
    case 0:
        if (closeProgram)
            closeProgram();
        return;
    case 1: powerActions().Request(PowerAction::Shutdown); return;
    case 2: powerActions().Request(PowerAction::LogOff); return;
    case 3: powerActions().Request(PowerAction::Restart); return;
    case 4: powerActions().Request(PowerAction::Hibernate); return;
    case 5: powerActions().Request(PowerAction::Suspend); return;
    default: return;
    }
}

QStringList ShutdownActionNames()
{
    return {msg(Msg::MSG_CLOSE_APP).replace(QLatin1String("%s"), msg(Msg::MSG_APPLICATION_TITLE)),
            msg(Msg::MSG_SHUTDOWN),
            msg(Msg::MSG_LOGOFF),
            msg(Msg::MSG_RESTART),
            msg(Msg::MSG_HIBERNATE),
            msg(Msg::MSG_SUSPEMD)};
}

} // namespace marbeck

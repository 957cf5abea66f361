#pragma once
// What the program does after a batch when asked to: close itself, or turn
// the computer off, restart it, log the user off, hibernate or suspend it.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace marbeck {

enum class PowerAction { Shutdown, LogOff, Restart, Hibernate, Suspend };

// The system's power requests. The program uses one implementation at a
// time; tests install a recording one.
class PowerActions {
public:
    virtual ~PowerActions() = default;
    // True when the request was handed to the system.
    virtual bool Request(PowerAction action) = 0;
};

// Set in the environment of every test, script and benchmark: the system's
// implementation then refuses to act.
inline constexpr char kNoPowerActionsVariable[] = "ORM_NO_POWER_ACTIONS";

// The system's implementation: systemctl for power, loginctl for the session.
// None of the requests is forced, so running programs may still refuse.
class SystemPowerActions final : public PowerActions {
public:
    bool Request(PowerAction action) override;
};

struct PowerCommand {
    QString program;
    QStringList arguments;
};
// The command line SystemPowerActions runs for an action.
PowerCommand SystemPowerCommand(PowerAction action);

PowerActions &powerActions();
// Installs a new implementation and returns the one it replaces.
std::unique_ptr<PowerActions> setPowerActions(std::unique_ptr<PowerActions> next);

// The post-batch action by its stored index: 0 closes the program (through
// `closeProgram`), 1 shuts down, 2 logs off, 3 restarts, 4 hibernates,
// 5 suspends; any other index does nothing. Nothing is reported.
void ExecuteShutdownAction(quint8 index, const std::function<void()> &closeProgram);

// The names of the post-batch actions in the language of the message table,
// in the order of their stored index.
QStringList ShutdownActionNames();

} // namespace marbeck

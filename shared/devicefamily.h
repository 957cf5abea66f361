#pragma once
// Which device families a start offers: the program's first argument
// ("-all", "-3gp", "-ipod", "-psp").
#include <QString>

#include <optional>

namespace marbeck {

enum class DeviceFamily : quint8 { All = 0, Phones = 1, IPod = 2, PSP = 3 };

// Letter case does not count; nothing for any other argument.
std::optional<DeviceFamily> ParseDeviceFamily(const QString &argument);

} // namespace marbeck

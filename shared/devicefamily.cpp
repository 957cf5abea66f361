#include "devicefamily.h"

namespace marbeck {

std::optional<DeviceFamily> ParseDeviceFamily(const QString &argument)
{
    const QString lower = argument.toLower();
    if (lower == u"-all")
        return DeviceFamily::All;
    if (lower == u"-3gp")
        return DeviceFamily::Phones;
    if (lower == u"-ipod")
        return DeviceFamily::IPod;
    if (lower == u"-psp")
        return DeviceFamily::PSP;
    return std::nullopt;
}

} // namespace marbeck

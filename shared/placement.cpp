#include "placement.h"

#include "ini.h"

namespace orm {

namespace {
QString &defaultFile()
{
    static QString path;
    return path;
}
} // namespace

Placement ClampPlacement(Placement p, int screenWidth, int screenHeight)
{
    if (p.width > screenWidth)
        p.width = screenWidth;
    if (p.height > screenHeight)
        p.height = screenHeight;
    if (p.x + p.width > screenWidth)
        p.x = screenWidth - p.width;
    if (p.y + p.height > screenHeight)
        p.y = screenHeight - p.height;
    if (p.x < 0)
        p.x = 0;
    if (p.y < 0)
        p.y = 0;
    return p;
}

Placement ReadPlacement(const IniFile &ini, const QString &section, const Placement &current)
{
    Placement p;
    p.maximized = ini.readBool(section, u"maximized", false);
    p.x = ini.readInteger(section, u"x", current.x);
    p.y = ini.readInteger(section, u"y", current.y);
    p.height = ini.readInteger(section, u"height", current.height);
    p.width = ini.readInteger(section, u"width", current.width);
    return p;
}

void WritePlacement(IniFile &ini, const QString &section, const Placement &p)
{
    ini.writeInteger(section, u"x", p.x);
    ini.writeInteger(section, u"y", p.y);
    ini.writeInteger(section, u"height", p.height);
    ini.writeInteger(section, u"width", p.width);
    ini.writeBool(section, u"maximized", p.maximized);
}

void SetDefaultPlacementFile(const QString &path)
{
    defaultFile() = path;
}

QString DefaultPlacementFile()
{
    return defaultFile();
}

} // namespace orm

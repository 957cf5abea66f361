#include "globalvars.h"

#include "platform/platform.h"
#include "shared/ini.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"

namespace marbeck {

namespace {
constexpr auto kSystem = u"System";

template <class... Ts> struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Older compilers (clang 14, which builds the fuzzers) need the guide spelled out.
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;
} // namespace

TGlobalVars &globals()
{
    static TGlobalVars instance;
    return instance;
}

namespace {

// The tab a device family opens on: PSP 0, iPod 1, phones 2.
quint8 familyTab(DeviceFamily family)
{
    switch (family) {
    case DeviceFamily::Phones: return 2;
    case DeviceFamily::IPod: return 1;
    case DeviceFamily::All:
    case DeviceFamily::PSP: return 0;
    }
    return 0;
}

} // namespace

void SetDefaultSettings(TGlobalVars &g, DeviceFamily family, const QString &documentsFolder,
                        const QString &buildLanguageFile)
{
    g.Family = family;
    for (const SettingKey &s : kSystemSettings) {
        std::visit(Overloaded{
                       [&](QString TGlobalVars::*f) {
                           switch (s.from) {
                           case DefaultFrom::BuildLanguage: g.*f = buildLanguageFile; break;
                           case DefaultFrom::DocumentsFolder: g.*f = documentsFolder; break;
                           default: g.*f = QString(); break;
                           }
                       },
                       [&](bool TGlobalVars::*f) { g.*f = s.number != 0; },
                       [&](quint8 TGlobalVars::*f) {
                           g.*f =
                               s.from == DefaultFrom::Family ? familyTab(family) : quint8(s.number);
                       },
                       [&](qint32 TGlobalVars::*f) { g.*f = s.number; },
                   },
                   s.field);
    }
}

QString SettingsFileName(const TGlobalVars &g)
{
    return orm::UserFolders(g.AppFolder).settingsFile(u"vuzu.ini");
}

QString AppRelativePath(const TGlobalVars &g, const QString &relative)
{
    return orm::IncludeBackslash(g.AppFolder) +
           QString::fromStdString(orm::platform::toPlatformSeparators(relative.toStdString()));
}

bool LoadSettings(TGlobalVars &g)
{
    const orm::IniFile ini(SettingsFileName(g));
    if (!ini.exists()) {
        SaveSettings(g);
        return false;
    }
    for (const SettingKey &s : kSystemSettings) {
        const QString key = QString::fromLatin1(s.key);
        std::visit(Overloaded{
                       [&](QString TGlobalVars::*f) { g.*f = ini.readString(kSystem, key, g.*f); },
                       [&](bool TGlobalVars::*f) { g.*f = ini.readBool(kSystem, key, g.*f); },
                       // Byte settings keep the low eight bits of any integer.
                       [&](quint8 TGlobalVars::*f) {
                           g.*f = quint8(ini.readInteger(kSystem, key, g.*f) & 0xFF);
                       },
                       [&](qint32 TGlobalVars::*f) { g.*f = ini.readInteger(kSystem, key, g.*f); },
                   },
                   s.field);
    }
    return true;
}

void SaveSettings(const TGlobalVars &g)
{
    orm::IniFile ini(SettingsFileName(g));
    for (const SettingKey &s : kSystemSettings) {
        const QString key = QString::fromLatin1(s.key);
        std::visit(Overloaded{
                       [&](QString TGlobalVars::*f) { ini.writeString(kSystem, key, g.*f); },
                       [&](bool TGlobalVars::*f) { ini.writeBool(kSystem, key, g.*f); },
                       [&](quint8 TGlobalVars::*f) { ini.writeInteger(kSystem, key, g.*f); },
                       [&](qint32 TGlobalVars::*f) { ini.writeInteger(kSystem, key, g.*f); },
                   },
                   s.field);
    }
    ini.save();
}

} // namespace marbeck

// Random bytes as an INI file: every read must stay within bounds and never crash.
#include "shared/ini.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    orm::IniFile ini = orm::IniFile::fromBytes(bytes);
    for (const QString &section : ini.sectionNames()) {
        for (const QString &key : ini.keyNames(section)) {
            (void)ini.readString(section, key, {});
            (void)ini.readInteger(section, key, 7);
            (void)ini.readBool(section, key, true);
        }
        (void)ini.sectionValues(section);
    }
    // Writing into whatever was read keeps the text readable.
    ini.writeString(u"System", u"OutputPath", QStringLiteral("/tmp/out"));
    ini.writeInteger(u"form", u"x", -1);
    if (ini.readString(u"System", u"OutputPath", {}) != u"/tmp/out")
        __builtin_trap();
    const orm::IniFile again = orm::IniFile::fromBytes(ini.toBytes());
    if (again.readInteger(u"form", u"x", 0) != -1)
        __builtin_trap();
    return 0;
}

// Random bytes as skin.ini: loading reads every key into the table, and the
// texts it stores go through the colour and number readers without trouble.
#include "shared/ini.h"
#include "skins/skinres.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    marbeck::SkinTable table;
    marbeck::LoadSkin(orm::IniFile::fromBytes(bytes), table);
    for (const marbeck::SkinSection *section : {&table.Main, &table.Profile}) {
        for (const marbeck::SkinElement &e : section->Elements) {
            (void)marbeck::ParseSkinColor(e.Font.Color);
            (void)marbeck::ParseSkinInteger(e.Font.Charset);
            (void)marbeck::ParseSkinInteger(e.Font.Pitch);
            for (const QString &picture : e.Pictures) {
                // A stored value is already normal: normalising again changes nothing.
                if (marbeck::NormalizeSkinValue(picture) != picture && !picture.contains(u"\r\n"))
                    __builtin_trap();
                (void)marbeck::ReplaceExtension(picture, QStringLiteral(".1st_fr.bmp"));
            }
        }
    }
    return 0;
}

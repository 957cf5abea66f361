// Random bytes as a skin picture: both decoders either give a picture within
// the size limits or throw orm::Error; nothing else may happen.
#include "shared/error.h"
#include "skins/skinpicture.h"

#include <cstddef>
#include <cstdint>

namespace {

void decode(QImage (*decoder)(const QByteArray &, const QString &), const QByteArray &bytes)
{
    try {
        const QImage image = decoder(bytes, QStringLiteral("fuzz"));
        if (image.width() > marbeck::kMaxPictureSide || image.height() > marbeck::kMaxPictureSide)
            __builtin_trap();
    } catch (const orm::Error &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    decode(marbeck::DecodePng, bytes);
    decode(marbeck::DecodeBmp, bytes);
    return 0;
}

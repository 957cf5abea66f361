#include "skins/skinpicture.h"

#include "platform/platform.h"
#include "shared/error.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace marbeck {

namespace {

// Deflate cannot shrink data by more than about 1032 to 1, so a PNG whose
// pixels would need more than that many times its own size lies about them.
constexpr qint64 kMaxDeflateRatio = 1100;

orm::Error cannotRead(const QString &name, const QString &reason)
{
    return orm::Error(QStringLiteral("Cannot read the picture \"%1\": %2").arg(name, reason));
}

// libpng reports errors through a callback that must not return; it jumps
// back to the setjmp of the read in progress with the message kept here.
struct PngContext {
    const unsigned char *data;
    size_t size;
    size_t offset;
    char message[256];
    std::jmp_buf jump;
};

void pngError(png_structp png, png_const_charp message)
{
    auto *context = static_cast<PngContext *>(png_get_error_ptr(png));
    std::snprintf(context->message, sizeof context->message, "%s", message ? message : "error");
    std::longjmp(context->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, png_size_t length)
{
    auto *context = static_cast<PngContext *>(png_get_io_ptr(png));
    if (length > context->size - context->offset)
        png_error(png, "the file ends early");
    std::memcpy(out, context->data + context->offset, length);
    context->offset += length;
}

class PngReader {
public:
    explicit PngReader(PngContext &context)
    {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, pngError, pngWarning);
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngReader() { png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr); }
    PngReader(const PngReader &) = delete;
    PngReader &operator=(const PngReader &) = delete;
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

struct PngHeader {
    png_uint_32 width = 0, height = 0;
    size_t rowBytes = 0;
};

// These two functions hold no objects with destructors: a longjmp out of
// libpng lands in them and they only report failure.
bool readPngHeader(PngContext &context, png_structp png, png_infop info, PngHeader &header)
{
    if (setjmp(context.jump))
        return false;
    png_set_read_fn(png, &context, pngRead);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool readPngRows(PngContext &context, png_structp png, png_bytepp rows)
{
    if (setjmp(context.jump))
        return false;
    png_read_image(png, rows);
    return true;
}

// BMP header fields, little-endian.
quint32 u32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}
quint16 u16(const QByteArray &b, int at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

} // namespace

QImage DecodePng(const QByteArray &bytes, const QString &name)
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.constData(), kSignature, 8) != 0)
        throw cannotRead(name, QStringLiteral("it is not a PNG picture"));
    PngContext context{reinterpret_cast<const unsigned char *>(bytes.constData()),
                       size_t(bytes.size()),
                       0,
                       {},
                       {}};
    PngReader reader(context);
    if (!reader.png() || !reader.info())
        throw cannotRead(name, QStringLiteral("out of memory"));
    PngHeader header;
    if (!readPngHeader(context, reader.png(), reader.info(), header))
        throw cannotRead(name, QString::fromLatin1(context.message));
    const qint64 pixels = qint64(header.width) * header.height;
    if (header.width == 0 || header.height == 0 || pixels > kMaxPicturePixels ||
        header.rowBytes != size_t(header.width) * 4)
        throw cannotRead(name, QStringLiteral("its size %1 x %2 is not supported")
                                   .arg(header.width)
                                   .arg(header.height));
    if (pixels * 4 > qint64(bytes.size()) * kMaxDeflateRatio)
        throw cannotRead(name, QStringLiteral("the file is too short for its size"));

    QImage image(int(header.width), int(header.height), QImage::Format_RGBA8888);
    if (image.isNull())
        throw cannotRead(name, QStringLiteral("out of memory"));
    QList<png_bytep> rows(header.height);
    for (png_uint_32 y = 0; y < header.height; ++y)
        rows[y] = image.scanLine(int(y));
    if (!readPngRows(context, reader.png(), rows.data()))
        throw cannotRead(name, QString::fromLatin1(context.message));
    return image;
}

QImage DecodeBmp(const QByteArray &bytes, const QString &name)
{
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        throw cannotRead(name, QStringLiteral("it is not a BMP picture"));
    const quint32 offset = u32(bytes, 10);
    const quint32 infoSize = u32(bytes, 14);
    qint64 width = 0, height = 0;
    quint16 bits = 0;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = u16(bytes, 18);
        height = qint16(u16(bytes, 20));
        bits = u16(bytes, 24);
    } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
               infoSize == 108 || infoSize == 124) {
        if (bytes.size() < 14 + 40)
            throw cannotRead(name, QStringLiteral("the file ends early"));
        width = qint32(u32(bytes, 18));
        height = qint32(u32(bytes, 22));
        bits = u16(bytes, 28);
        compression = u32(bytes, 30);
    } else {
        throw cannotRead(name, QStringLiteral("its header is not supported"));
    }
    const qint64 rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || width > kMaxPictureSide || rows > kMaxPictureSide ||
        width * rows > kMaxPicturePixels)
        throw cannotRead(
            name, QStringLiteral("its size %1 x %2 is not supported").arg(width).arg(height));
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw cannotRead(name, QStringLiteral("%1 bits per pixel are not supported").arg(bits));
    if (offset < 14 + infoSize || offset >= quint32(bytes.size()))
        throw cannotRead(name, QStringLiteral("its pixel data offset is wrong"));
    // Uncompressed rows must all be in the file; run-length data is bounded by the size check.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    const qint64 stride = ((width * bits + 31) / 32) * 4;
    if (uncompressed && qint64(offset) + stride * rows > bytes.size())
        throw cannotRead(name, QStringLiteral("the file ends early"));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image = reader.read();
    if (image.isNull())
        throw cannotRead(name, reader.errorString());
    return image;
}

QString SkinPicturePath(const QString &skinFolder, const QString &name)
{
    return skinFolder +
           QString::fromStdString(orm::platform::toPlatformSeparators(name.toStdString()));
}

QImage LoadSkinPicture(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool known =
        ext == u"bmp" || ext == u"png" || ext == u"ico" || ext == u"wmf" || ext == u"emf";
    if (!known)
        throw orm::Error(QStringLiteral("Unknown picture file extension (.%1)").arg(ext));
    const QString found =
        QString::fromStdString(orm::platform::resolveCaseInsensitive(path.toStdString()));
    QFile file(found);
    if (!QFileInfo(found).isFile() || !file.open(QIODevice::ReadOnly))
        throw orm::Error(
            QStringLiteral("Cannot open file \"%1\". No such file or directory.").arg(path));
    if (file.size() > kMaxPictureFileBytes)
        throw cannotRead(path, QStringLiteral("the file is too large"));
    const QByteArray bytes = file.read(kMaxPictureFileBytes);
    if (ext == u"png")
        return DecodePng(bytes, path);
    if (ext == u"bmp")
        return DecodeBmp(bytes, path);
    // Icons and metafiles go to whatever reader the toolkit has for them.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, ext.toLatin1());
    QImage image = reader.read();
    if (image.isNull())
        throw cannotRead(path, reader.errorString());
    return image;
}

} // namespace marbeck

// Skin pictures: PNG through libpng and BMP through the toolkit, and what
// broken, lying or misnamed files do.
#include "shared/error.h"
#include "skins/skinpicture.h"
#include "support/errors.h"
#include "support/testfiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage sample()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            image.setPixel(x, y, qRgba(x * 30, y * 50, 200 - x * 20, 255 - y * 40));
    return image;
}

bool samePixels(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG signature and IHDR chunk claiming the size, then the real file's other chunks.
QByteArray withHeaderSize(const QByteArray &png, quint32 width, quint32 height)
{
    QByteArray out = png;
    QByteArray ihdr = out.mid(12, 17); // "IHDR" + 13 data bytes
    qToBigEndian(width, ihdr.data() + 4);
    qToBigEndian(height, ihdr.data() + 8);
    out.replace(12, 17, ihdr);
    QByteArray crc(4, 0);
    qToBigEndian(crc32(ihdr), crc.data());
    out.replace(29, 4, crc);
    return out;
}

void put32(QByteArray &b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

} // namespace

TEST(SkinPicture, PngKindsDecodeToTheirPixels)
{
    const QImage argb = sample();
    EXPECT_TRUE(samePixels(DecodePng(encoded(argb, "PNG"), "a.png"), argb));
    const QImage rgb = argb.convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(samePixels(DecodePng(encoded(rgb, "PNG"), "b.png"), rgb));
    const QImage grey = argb.convertToFormat(QImage::Format_Grayscale8);
    EXPECT_TRUE(samePixels(DecodePng(encoded(grey, "PNG"), "c.png"), grey));
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8);
    EXPECT_TRUE(samePixels(DecodePng(encoded(indexed, "PNG"), "d.png"), indexed));
    const QImage mono = rgb.convertToFormat(QImage::Format_Mono);
    EXPECT_TRUE(samePixels(DecodePng(encoded(mono, "PNG"), "e.png"), mono));
    const QImage deep = argb.convertToFormat(QImage::Format_RGBA64);
    EXPECT_EQ(DecodePng(encoded(deep, "PNG"), "f.png").size(), QSize(7, 5));
}

TEST(SkinPicture, BrokenPngsAreRefusedWithTheirName)
{
    const QByteArray png = encoded(sample(), "PNG");
    // Cut at every length: an error naming the file, never a crash.
    for (qsizetype cut = 0; cut < png.size() - 12; ++cut) {
        const QString error = errorOf([&] { DecodePng(png.left(cut), "cut.png"); });
        EXPECT_TRUE(error.contains("cut.png")) << cut;
    }
    // A damaged byte anywhere gives an error or a picture of the stated size.
    for (qsizetype at = 0; at < png.size(); ++at) {
        QByteArray flipped = png;
        flipped[at] = char(flipped[at] ^ 0x55);
        QImage image;
        const QString error = errorOf([&] { image = DecodePng(flipped, "flip.png"); });
        EXPECT_TRUE(!error.isEmpty() || image.size() == QSize(7, 5)) << at;
    }

    const QByteArray jpeg = encoded(sample().convertToFormat(QImage::Format_RGB32), "JPEG");
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_TRUE(errorOf([&] { DecodePng(jpeg, "photo.png"); }).contains("not a PNG"));
}

TEST(SkinPicture, PngSizesBeyondTheLimitsOrTheFileAreRefusedBeforeAllocating)
{
    const QByteArray png = encoded(sample(), "PNG");
    for (auto [w, h] : {std::pair<quint32, quint32>{100000, 1},
                        {1, 0x7FFFFFFF},
                        {0, 5},
                        {8192, 8192},
                        {4000, 4000}}) {
        const QString error = errorOf([&] { DecodePng(withHeaderSize(png, w, h), "big.png"); });
        EXPECT_TRUE(error.contains("big.png")) << w << "x" << h;
    }
}

TEST(SkinPicture, BmpRoundTripAndLyingHeaders)
{
    const QImage rgb = sample().convertToFormat(QImage::Format_RGB32);
    const QByteArray bmp = encoded(rgb, "BMP");
    ASSERT_GT(bmp.size(), 54);
    EXPECT_TRUE(samePixels(DecodeBmp(bmp, "ok.bmp"), rgb));

    auto lying = [&](const std::function<void(QByteArray &)> &change) {
        QByteArray b = bmp;
        change(b);
        return errorOf([&] { DecodeBmp(b, "lie.bmp"); });
    };
    EXPECT_FALSE(lying([](QByteArray &b) { put32(b, 18, 0x7FFFFFFF); }).isEmpty());  // huge width
    EXPECT_FALSE(lying([](QByteArray &b) { put32(b, 22, 0); }).isEmpty());           // zero height
    EXPECT_FALSE(lying([](QByteArray &b) { put32(b, 22, 0x80000000u); }).isEmpty()); // INT_MIN rows
    EXPECT_FALSE(
        lying([](QByteArray &b) { put32(b, 18, quint32(-7)); }).isEmpty()); // negative width
    EXPECT_FALSE(
        lying([](QByteArray &b) { put32(b, 10, 0x7FFFFFFF); }).isEmpty());  // offset past end
    EXPECT_FALSE(lying([](QByteArray &b) { put32(b, 10, 20); }).isEmpty()); // inside header
    EXPECT_FALSE(lying([](QByteArray &b) { put32(b, 14, 77); }).isEmpty()); // header size
    EXPECT_FALSE(lying([](QByteArray &b) { b[28] = 7; }).isEmpty());        // bits per pixel
    EXPECT_FALSE(
        lying([](QByteArray &b) { put32(b, 22, 4000); }).isEmpty()); // rows not in the file
    for (qsizetype cut = 0; cut < bmp.size(); cut += 3)
        EXPECT_FALSE(errorOf([&] { DecodeBmp(bmp.left(cut), "cut.bmp"); }).isEmpty()) << cut;
    // Top-down rows are fine.
    QByteArray topDown = bmp;
    put32(topDown, 22, quint32(-5));
    EXPECT_EQ(DecodeBmp(topDown, "down.bmp").size(), QSize(7, 5));
    EXPECT_TRUE(errorOf([&] { DecodeBmp(encoded(rgb, "PNG"), "png.bmp"); }).contains("not a BMP"));
}

TEST(SkinPicture, FilesAreFoundByNameWithoutRegardToCaseAndNamedInErrors)
{
    QTemporaryDir dir;
    const QImage rgb = sample().convertToFormat(QImage::Format_RGB32);
    writeFile(dir.filePath("Button_Normal.BMP"), encoded(rgb, "BMP"));
    EXPECT_TRUE(samePixels(LoadSkinPicture(dir.filePath("button_normal.bmp")), rgb));
    writeFile(dir.filePath("back.png"), encoded(rgb, "PNG"));
    EXPECT_TRUE(samePixels(LoadSkinPicture(dir.filePath("back.png")), rgb));

    const QString missing = dir.filePath("missing.bmp");
    EXPECT_TRUE(
        errorOf([&] { LoadSkinPicture(missing); }).contains("Cannot open file \"" + missing));
    EXPECT_TRUE(errorOf([&] {
                    LoadSkinPicture(dir.filePath("pic.gif"));
                }).contains("Unknown picture file extension (.gif)"));
    EXPECT_TRUE(errorOf([&] {
                    LoadSkinPicture(dir.path() + "/");
                }).contains("Unknown picture file extension"));
    writeFile(dir.filePath("empty.bmp"), {});
    EXPECT_TRUE(errorOf([&] { LoadSkinPicture(dir.filePath("empty.bmp")); }).contains("empty.bmp"));
    EXPECT_EQ(SkinPicturePath("/skin/", "sub\\pic.bmp"), "/skin/sub/pic.bmp");
}

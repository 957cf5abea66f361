#pragma once
// Pictures of the skin: PNG decoded with libpng, BMP through the toolkit's
// reader once its header has been checked. Sizes are bounded so that a file
// with a lying header never makes the program allocate without limit.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace marbeck {

inline constexpr int kMaxPictureSide = 8192;
inline constexpr qint64 kMaxPicturePixels = 16 * 1024 * 1024;
inline constexpr qint64 kMaxPictureFileBytes = 64 * 1024 * 1024;

// Loads the picture file; the extension picks the decoder. A path that does
// not exist is looked up without regard to letter case. Throws orm::Error
// naming the file that cannot be opened or read, or the extension that no
// picture format claims (an empty name included).
QImage LoadSkinPicture(const QString &path);

// The decoders on bytes in memory; throw orm::Error with a reason that names `name`.
QImage DecodePng(const QByteArray &bytes, const QString &name);
QImage DecodeBmp(const QByteArray &bytes, const QString &name);

// The skin folder path of a picture name as the skin writes it (backslashes
// in the name are folder separators).
QString SkinPicturePath(const QString &skinFolder, const QString &name);

} // namespace marbeck

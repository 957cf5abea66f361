#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace orm {

namespace {

QFont pixelFont(QFont font, int pixels)
{
    font.setPixelSize(pixels);
    return font;
}

} // namespace

QFont WindowFont()
{
    return pixelFont(QFont(QStringLiteral("Tahoma")), 11);
}

QFont ReportFont()
{
    const QStringList families = QFontDatabase::families();
    for (const QString &family :
         {QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono")}) {
        if (families.contains(family))
            return pixelFont(QFont(family), 11);
    }
    return pixelFont(QFontDatabase::systemFont(QFontDatabase::FixedFont), 11);
}

} // namespace orm

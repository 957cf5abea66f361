// Draws Ormolux's skin: the backgrounds of the main window and the profile
// chooser, every button in its four states, the family buttons with their
// first-place and translated variants, the four family pictures, and the
// skin.ini that names them all. Argument: the skin folder to write into.
// With --icons it draws the desktop icon from the same product mark instead.
//
// Buttons are drawn over the part of the background they will stand on, so
// that their anti-aliased corners need no key colour of their own: the top-left
// pixel (the background there) is what the button keys out.
#include "shared/ini.h"
#include "skins/skinres.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <cstdio>
#include <functional>

using namespace marbeck;

namespace {

// One accent colour, a dark slate ground, light text.
const QColor kGround(0x16, 0x1B, 0x23);
const QColor kHeader(0x1C, 0x23, 0x2E);
const QColor kCard(0x20, 0x28, 0x34);
const QColor kLine(0x2E, 0x39, 0x48);
const QColor kAccent(0x2F, 0x7C, 0xF6);
const QColor kAccentHover(0x4A, 0x90, 0xFF);
const QColor kAccentDown(0x23, 0x62, 0xC8);
const QColor kNeutral(0x34, 0x41, 0x54);
const QColor kNeutralHover(0x40, 0x50, 0x67);
const QColor kNeutralDown(0x2A, 0x34, 0x44);
const QColor kDisabled(0x27, 0x2F, 0x3B);
const QColor kText(0xF4, 0xF7, 0xFB);
const QColor kMuted(0x9A, 0xA8, 0xBA);
const QColor kDevice(0xD9, 0xE0, 0xEA);
const QColor kDeviceEdge(0x8E, 0x9B, 0xAD);
constexpr qreal kRadius = 6;
constexpr qreal kCardRadius = 10;

QString g_folder;
int g_written = 0;

enum class Look { Normal, Over, Down, Disabled };
constexpr Look kLooks[] = {Look::Normal, Look::Over, Look::Down, Look::Disabled};
const char *const kLookNames[] = {"Normal", "Over", "Down", "Disabled"};

void save(const QImage &image, const QString &name)
{
    const QString path = g_folder + u'/' + name;
    const bool png = name.endsWith(u".png");
    const QImage out = png ? image.convertToFormat(QImage::Format_ARGB32)
                           : image.convertToFormat(QImage::Format_RGB32);
    if (!out.save(path, png ? "PNG" : "BMP")) {
        std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++g_written;
}

QFont uiFont(int pixels, bool bold = true)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void roundedCard(QPainter &p, const QRectF &r, const QColor &fill, qreal radius = kCardRadius)
{
    p.setPen(QPen(kLine, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// ---------------------------------------------------------------- geometry

// The places of the shipped skin. Buttons are wider than the built-in skin's
// so that the longest caption of the four languages fits beside the icon.
constexpr int kButtonWidth = 134;
constexpr int kButtonHeight = 27;
constexpr int kChrome = 18;

struct Place {
    const char *control;
    QRect rect;
};

const Place kMainPlaces[] = {
    {"ButtonHelp", {566, 12, kChrome, kChrome}},
    {"ButtonMin", {590, 12, kChrome, kChrome}},
    {"ButtonClose", {614, 12, kChrome, kChrome}},
    {"ButtonAddFiles", {16, 312, kButtonWidth, kButtonHeight}},
    {"ButtonDelete", {158, 312, kButtonWidth, kButtonHeight}},
    {"ButtonClearList", {300, 312, kButtonWidth, kButtonHeight}},
    {"ButtonChooseProfile", {16, 500, kButtonWidth, kButtonHeight}},
    {"ButtonSettings", {158, 500, kButtonWidth, kButtonHeight}},
    {"ButtonEditPresets", {300, 500, kButtonWidth, kButtonHeight}},
    {"ButtonBrowse", {500, 433, kButtonWidth, kButtonHeight}},
    {"ButtonConvert", {500, 500, kButtonWidth, kButtonHeight}},
    {"ListViewFiles", {16, 88, 618, 196}},
    {"ComboBoxProfile", {16, 392, 618, 22}},
    {"EditOutputDir", {16, 436, 472, 22}},
    {"LabelProfile", {16, 373, 0, 0}},
    {"LabelProfileInfo", {80, 373, 0, 0}},
    {"LabelOutputDirectory", {16, 419, 0, 0}},
    {"LabelStatusBar", {18, 290, 0, 0}},
    {"LabelAppTitle", {80, 26, 0, 0}},
};

const Place kProfilePlaces[] = {
    {"ButtonPSP", {0, 0, 75, 63}},
    {"ButtoniPod", {75, 0, 74, 63}},
    {"Button3GP", {149, 0, 74, 63}},
    {"ButtonOther", {223, 0, 74, 63}},
    {"ImageOther", {32, 118, 120, 144}},
    {"Image3GP", {32, 118, 120, 144}},
    {"ImagePSP", {32, 118, 120, 144}},
    {"ImageiPod", {32, 118, 120, 144}},
    // Only the Other list is skinned; the other three keep this design place,
    // so the skin must give it the same one or it shows beside them.
    {"ListBoxOther", {184, 80, 345, 220}},
    {"MemoDiscription", {16, 346, 513, 89}},
    {"LabelDiscription", {16, 326, 0, 0}},
    // Language and the two buttons on one row, the check box on its own row
    // below, so that its long translations have the whole width.
    {"LabelLanguage", {28, 475, 0, 0}},
    {"ComboBoxLanguage", {110, 471, 120, 22}},
    {"LabelDoNotDisplay", {48, 507, 0, 0}},
    {"CheckBoxDoNotDisplay", {28, 507, 13, 13}},
    {"ButtonApply", {297, 469, 112, 27}},
    {"ButtonCancel", {417, 469, 112, 27}},
};

QRect placeOf(const char *control)
{
    for (const Place &p : kMainPlaces)
        if (qstrcmp(p.control, control) == 0)
            return p.rect;
    for (const Place &p : kProfilePlaces)
        if (qstrcmp(p.control, control) == 0)
            return p.rect;
    std::fprintf(stderr, "skinart: no place for %s\n", control);
    std::exit(1);
}

// ---------------------------------------------------------------- glyphs

using Glyph = std::function<void(QPainter &, const QRectF &)>;

QPen glyphPen(const QColor &c, qreal w = 1.8)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void glyphPlus(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawLine(QPointF(c.x() - 5, c.y()), QPointF(c.x() + 5, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - 5), QPointF(c.x(), c.y() + 5));
}

void glyphMinusFile(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawRoundedRect(QRectF(c.x() - 5, c.y() - 6, 10, 12), 1.5, 1.5);
    p.drawLine(QPointF(c.x() - 2.5, c.y()), QPointF(c.x() + 2.5, c.y()));
}

void glyphClear(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawLine(QPointF(c.x() - 4, c.y() - 4), QPointF(c.x() + 4, c.y() + 4));
    p.drawLine(QPointF(c.x() + 4, c.y() - 4), QPointF(c.x() - 4, c.y() + 4));
}

void glyphProfile(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    for (int i = -1; i <= 1; ++i)
        p.drawLine(QPointF(c.x() - 6, c.y() + i * 4), QPointF(c.x() + 6, c.y() + i * 4));
    p.setBrush(p.pen().color());
    p.drawEllipse(QPointF(c.x() - 2, c.y() - 4), 1.6, 1.6);
    p.drawEllipse(QPointF(c.x() + 3, c.y()), 1.6, 1.6);
    p.drawEllipse(QPointF(c.x() - 3, c.y() + 4), 1.6, 1.6);
    p.setBrush(Qt::NoBrush);
}

void glyphGear(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawEllipse(c, 4.2, 4.2);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45);
        p.drawLine(QPointF(0, -5.2), QPointF(0, -7));
        p.restore();
    }
    p.drawEllipse(c, 1.3, 1.3);
}

void glyphPencil(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawLine(QPointF(c.x() - 5, c.y() + 5), QPointF(c.x() + 4, c.y() - 4));
    p.drawLine(QPointF(c.x() - 3, c.y() + 7), QPointF(c.x() + 6, c.y() - 2));
    p.drawLine(QPointF(c.x() + 4, c.y() - 4), QPointF(c.x() + 6, c.y() - 2));
    p.drawLine(QPointF(c.x() - 5, c.y() + 5), QPointF(c.x() - 6, c.y() + 8));
    p.drawLine(QPointF(c.x() - 6, c.y() + 8), QPointF(c.x() - 3, c.y() + 7));
}

void glyphFolder(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    QPainterPath path;
    path.moveTo(c.x() - 7, c.y() + 5);
    path.lineTo(c.x() - 7, c.y() - 5);
    path.lineTo(c.x() - 2, c.y() - 5);
    path.lineTo(c.x(), c.y() - 3);
    path.lineTo(c.x() + 7, c.y() - 3);
    path.lineTo(c.x() + 7, c.y() + 5);
    path.closeSubpath();
    p.drawPath(path);
}

void glyphPlay(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    QPainterPath path;
    path.moveTo(c.x() - 4, c.y() - 6);
    path.lineTo(c.x() + 6, c.y());
    path.lineTo(c.x() - 4, c.y() + 6);
    path.closeSubpath();
    p.setBrush(p.pen().color());
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
}

// ---------------------------------------------------------------- buttons

QColor fillOf(Look look, bool primary)
{
    switch (look) {
    case Look::Normal: return primary ? kAccent : kNeutral;
    case Look::Over: return primary ? kAccentHover : kNeutralHover;
    case Look::Down: return primary ? kAccentDown : kNeutralDown;
    case Look::Disabled: return kDisabled;
    }
    return kNeutral;
}

// A captioned button: rounded face, icon at the left (the caption, drawn by
// the button, keeps clear of it with leading blanks).
QImage captionedButton(const QImage &ground, const QRect &at, Look look, bool primary,
                       const Glyph &glyph)
{
    QImage image = ground.copy(at).convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(0, 0, at.width(), at.height()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor fill = fillOf(look, primary);
    QLinearGradient shade(0, 0, 0, at.height());
    shade.setColorAt(0, fill.lighter(look == Look::Down ? 100 : 108));
    shade.setColorAt(1, fill);
    p.setBrush(shade);
    p.setPen(QPen(look == Look::Disabled ? kLine : fill.darker(125), 1));
    p.drawRoundedRect(face, kRadius, kRadius);
    if (look != Look::Down && look != Look::Disabled) {
        // A one-pixel highlight along the top edge.
        p.setPen(QPen(QColor(255, 255, 255, 40), 1));
        p.drawLine(QPointF(kRadius, 1.5), QPointF(at.width() - kRadius, 1.5));
    }
    if (glyph) {
        const qreal shift = look == Look::Down ? 1 : 0;
        p.setPen(glyphPen(look == Look::Disabled ? QColor(0x80, 0x80, 0x80) : kText));
        glyph(p, QRectF(6 + shift, shift, 20, at.height()));
    }
    return image;
}

// The title-bar buttons: a glyph on a round face that shows on hover.
QImage chromeButton(const QImage &ground, const QRect &at, Look look, const char *control)
{
    QImage image = ground.copy(at).convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const bool close = qstrcmp(control, "ButtonClose") == 0;
    const QRectF face(0.5, 0.5, at.width() - 1, at.height() - 1);
    if (look == Look::Over || look == Look::Down) {
        QColor c = close ? QColor(0xE0, 0x4B, 0x4B) : kNeutralHover;
        if (look == Look::Down)
            c = c.darker(120);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(face, 5, 5);
    }
    p.setPen(glyphPen(look == Look::Disabled ? kLine : kText, 1.6));
    const QPointF c = face.center();
    if (close) {
        p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
        p.drawLine(c + QPointF(4, -4), c + QPointF(-4, 4));
    } else if (qstrcmp(control, "ButtonMin") == 0) {
        p.drawLine(c + QPointF(-4.5, 3), c + QPointF(4.5, 3));
    } else {
        p.setFont(uiFont(13));
        p.drawText(face, Qt::AlignCenter, QStringLiteral("?"));
    }
    return image;
}

// ---------------------------------------------------------------- main window

// The product mark: a play sign on the accent colour. The window's title band
// and the desktop icon draw the same one.
void drawProductMark(QPainter &p, const QRectF &mark)
{
    const qreal unit = mark.height() / 38; // the title band's mark is 38 pixels high
    p.setPen(Qt::NoPen);
    QLinearGradient markShade(mark.topLeft(), mark.bottomRight());
    markShade.setColorAt(0, kAccentHover);
    markShade.setColorAt(1, kAccentDown);
    p.setBrush(markShade);
    p.drawRoundedRect(mark, 9 * unit, 9 * unit);
    QPainterPath play;
    play.moveTo(mark.center() + QPointF(-6, -9) * unit);
    play.lineTo(mark.center() + QPointF(10, 0) * unit);
    play.lineTo(mark.center() + QPointF(-6, 9) * unit);
    play.closeSubpath();
    p.setBrush(kText);
    p.drawPath(play);
}

QImage mainBackground()
{
    QImage image(650, 550, QImage::Format_RGB32);
    image.fill(kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Title band.
    p.fillRect(QRect(0, 0, 650, 68), kHeader);
    p.fillRect(QRect(0, 68, 650, 1), kLine);
    p.fillRect(QRect(0, 0, 650, 2), kAccent);
    drawProductMark(p, QRectF(22, 16, 42, 38));

    // Cards: the source list with its buttons, the profile and output folder,
    // and the row of the three main actions.
    roundedCard(p, QRectF(8, 80, 634, 268), kCard);
    roundedCard(p, QRectF(8, 360, 634, 110), kCard);
    roundedCard(p, QRectF(8, 484, 634, 58), kCard);
    return image;
}

// ---------------------------------------------------------------- chooser

const char *const kFamilyControls[] = {"ButtonPSP", "ButtoniPod", "Button3GP", "ButtonOther"};
const char *const kFamilyFiles[] = {"Psp", "iPod", "3gp", "Other"};

struct Caption {
    const char *suffix;
    const char *other;
};
const Caption kOtherCaptions[] = {
    {"", "Other"}, {"_fr", "Autre"}, {"_de", "Andere"}, {"_it", "Altro"}};

QImage chooserBackground()
{
    QImage image(556, 544, QImage::Format_ARGB32);
    image.fill(kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, 556, 63), kHeader);
    p.fillRect(QRect(0, 63, 556, 1), kLine);
    p.setPen(kMuted);
    p.setFont(uiFont(15));
    p.drawText(QRect(300, 0, 240, 63), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Ormolux"));
    roundedCard(p, QRectF(16, 80, 152, 220), kCard);
    roundedCard(p, QRectF(8, 456, 540, 80), kCard);
    return image;
}

void deviceGlyph(QPainter &p, int family, const QRectF &r, const QColor &c)
{
    p.setPen(glyphPen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    const QPointF m = r.center();
    switch (family) {
    case 0: // PSP
        p.drawRoundedRect(QRectF(m.x() - 13, m.y() - 6, 26, 12), 6, 6);
        p.drawRect(QRectF(m.x() - 5, m.y() - 3.5, 10, 7));
        break;
    case 1: // iPod
        p.drawRoundedRect(QRectF(m.x() - 6, m.y() - 9, 12, 18), 3, 3);
        p.drawEllipse(QPointF(m.x(), m.y() + 3.5), 3, 3);
        break;
    case 2: // phone
        p.drawRoundedRect(QRectF(m.x() - 5.5, m.y() - 10, 11, 20), 2.5, 2.5);
        p.drawLine(QPointF(m.x() - 2, m.y() + 7), QPointF(m.x() + 2, m.y() + 7));
        break;
    default: // film
        p.drawRoundedRect(QRectF(m.x() - 10, m.y() - 7, 20, 14), 2, 2);
        p.setBrush(c);
        QPainterPath play;
        play.moveTo(m + QPointF(-3, -4));
        play.lineTo(m + QPointF(4.5, 0));
        play.lineTo(m + QPointF(-3, 4));
        play.closeSubpath();
        p.drawPath(play);
        break;
    }
}

// A family tile of the chooser's top band; the disabled look marks the
// active family. The first-place variant drops the divider at its left.
QImage familyTile(int family, const QSize &size, Look look, bool first, const QString &text)
{
    QImage image(size, QImage::Format_RGB32);
    QColor fill = kHeader, ink = kMuted;
    switch (look) {
    case Look::Normal: break;
    case Look::Over:
        fill = kNeutral;
        ink = kText;
        break;
    case Look::Down:
        fill = kNeutralDown;
        ink = kText;
        break;
    case Look::Disabled:
        fill = QColor(0x22, 0x34, 0x52);
        ink = kText;
        break;
    }
    image.fill(fill);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (!first)
        p.fillRect(QRect(0, 10, 1, size.height() - 20), kLine);
    p.fillRect(QRect(0, size.height() - 1, size.width(), 1), kLine);
    if (look == Look::Disabled)
        p.fillRect(QRect(0, size.height() - 3, size.width(), 3), kAccent);
    const qreal shift = look == Look::Down ? 1 : 0;
    if (family >= 0)
        deviceGlyph(p, family, QRectF(shift, 8 + shift, size.width(), 24),
                    look == Look::Disabled ? kAccentHover : ink);
    p.setPen(ink);
    p.setFont(uiFont(12));
    p.drawText(QRectF(shift, 36 + shift, size.width(), 18), Qt::AlignCenter, text);
    return image;
}

// The family pictures beside the lists: the devices drawn in light grey. They
// are opaque (on the card's colour): all four stand at one place and only the
// one in front may show.
QImage familyPicture(int family)
{
    QImage image(120, 144, QImage::Format_ARGB32);
    image.fill(kCard);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient screen(0, 0, 0, 144);
    screen.setColorAt(0, kAccentHover);
    screen.setColorAt(1, kAccentDown);
    p.setPen(QPen(kDeviceEdge, 1.5));
    p.setBrush(kDevice);
    switch (family) {
    case 0: { // PSP: a wide handheld
        p.drawRoundedRect(QRectF(4, 46, 112, 52), 24, 24);
        p.setBrush(screen);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(32, 54, 56, 36), 3, 3);
        p.setBrush(kDeviceEdge);
        p.drawRect(QRectF(13, 68, 12, 4));
        p.drawRect(QRectF(17, 64, 4, 12));
        for (QPointF c : {QPointF(102, 64), QPointF(102, 80), QPointF(95, 72), QPointF(109, 72)})
            p.drawEllipse(c, 3, 3);
        break;
    }
    case 1: { // iPod: screen above a click wheel
        p.drawRoundedRect(QRectF(25, 6, 70, 132), 14, 14);
        p.setBrush(screen);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(33, 16, 54, 44), 4, 4);
        p.setBrush(Qt::white);
        p.setPen(QPen(kDeviceEdge, 1.5));
        p.drawEllipse(QPointF(60, 98), 25, 25);
        p.setBrush(kDevice);
        p.drawEllipse(QPointF(60, 98), 9, 9);
        break;
    }
    case 2: { // phone: screen above a keypad
        p.drawRoundedRect(QRectF(30, 4, 60, 136), 12, 12);
        p.setBrush(screen);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(37, 18, 46, 46), 3, 3);
        p.setBrush(kDeviceEdge);
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 3; ++col)
                p.drawRoundedRect(QRectF(39 + col * 15, 74 + row * 14, 12, 9), 3, 3);
        break;
    }
    default: { // other players: a film frame with a play sign
        p.drawRoundedRect(QRectF(6, 34, 108, 76), 6, 6);
        p.setBrush(QColor(0x3A, 0x46, 0x58));
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 7; ++i) {
            p.drawRoundedRect(QRectF(13 + i * 14.5, 39, 8, 7), 1.5, 1.5);
            p.drawRoundedRect(QRectF(13 + i * 14.5, 98, 8, 7), 1.5, 1.5);
        }
        p.setBrush(screen);
        p.drawRoundedRect(QRectF(14, 51, 92, 42), 3, 3);
        QPainterPath play;
        play.moveTo(52, 61);
        play.lineTo(72, 72);
        play.lineTo(52, 83);
        play.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(play);
        break;
    }
    }
    return image;
}

// ---------------------------------------------------------------- skin.ini

QString stateName(const char *stem, int look, const char *suffix = "")
{
    return QStringLiteral("%1_%2%3.bmp")
        .arg(QLatin1String(stem), QLatin1String(kLookNames[look]), QLatin1String(suffix));
}

void writeSkinIni(SkinTable &table)
{
    // Every key is written: with a skin.ini present a missing key would not
    // fall back to the built-in value.
    QByteArray text = "; The skin of Ormolux, written by tools/skinart.\n";
    QString section;
    for (const SkinField &f : SkinFields(table)) {
        if (*f.section != section) {
            section = *f.section;
            text += "\n[" + section.toUtf8() + "]\n";
        }
        QString value;
        switch (f.type) {
        case SkinField::Picture:
        case SkinField::Text: value = *static_cast<QString *>(f.value); break;
        case SkinField::Integer: value = QString::number(*static_cast<qint32 *>(f.value)); break;
        case SkinField::Flag:
            value = *static_cast<bool *>(f.value) ? QStringLiteral("1") : QStringLiteral("0");
            break;
        }
        text += f.key.toUtf8() + '=' + value.toUtf8() + '\n';
    }
    QFile file(g_folder + QStringLiteral("/skin.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        std::fprintf(stderr, "skinart: cannot write skin.ini\n");
        std::exit(1);
    }
    ++g_written;
}

void place(SkinTable &table, const Place &p)
{
    SkinElement &e = table.element((p.control));
    e.Left = p.rect.left();
    e.Top = p.rect.top();
    if (e.hasSize()) {
        e.Width = p.rect.width();
        e.Height = p.rect.height();
    }
}

// ---------------------------------------------------------------- icons

// The desktop icon in the hicolor layout: a scalable SVG and PNGs of the
// usual sizes, each drawn at its size rather than scaled from another.
int writeIcons(const QString &themeFolder, const QString &name)
{
    const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    // The mark fills a square icon with a small margin, as desktop icons do.
    const auto markIn = [](qreal size) {
        const qreal margin = size >= 32 ? size / 16 : 0;
        return QRectF(margin, margin, size - 2 * margin, size - 2 * margin);
    };
    int written = 0;
    for (int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        drawProductMark(p, markIn(size));
        p.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(themeFolder).arg(size);
        QDir().mkpath(folder);
        if (!image.save(folder + u'/' + name + QStringLiteral(".png")))
            return -1;
        ++written;
    }
    const QString folder = themeFolder + QStringLiteral("/scalable/apps");
    QDir().mkpath(folder);
    QSvgGenerator svg;
    svg.setFileName(folder + u'/' + name + QStringLiteral(".svg"));
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Ormolux"));
    QPainter p;
    if (!p.begin(&svg))
        return -1;
    p.setRenderHint(QPainter::Antialiasing);
    drawProductMark(p, markIn(256));
    p.end();
    return written + 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--icons") == 0) {
        const int written =
            writeIcons(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (written < 0) {
            std::fprintf(stderr, "skinart: cannot write the icons into %s\n", argv[2]);
            return 1;
        }
        std::printf("skinart: %d icons in %s\n", written, argv[2]);
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: orm_skinart <skin folder>\n"
                             "       orm_skinart --icons <hicolor folder> <icon name>\n");
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);
    for (const char *font :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        if (QFile::exists(QLatin1String(font)))
            QFontDatabase::addApplicationFont(QLatin1String(font));

    SkinTable table;
    for (const Place &p : kMainPlaces)
        place(table, p);
    for (const Place &p : kProfilePlaces)
        place(table, p);

    // Main window.
    const QImage ground = mainBackground();
    save(ground, table.element(u"ImageMain").Pictures[StateNormal]);
    struct MainButton {
        const char *control;
        const char *stem;
        bool primary;
        Glyph glyph;
    };
    const MainButton mainButtons[] = {
        {"ButtonAddFiles", "imgMainform_Addfiles", false, glyphPlus},
        {"ButtonDelete", "imgMainform_Delete", false, glyphMinusFile},
        {"ButtonClearList", "imgMainform_Clearlist", false, glyphClear},
        {"ButtonChooseProfile", "imgMainform_Chooseprofile", false, glyphProfile},
        {"ButtonSettings", "imgMainform_Settings", false, glyphGear},
        {"ButtonEditPresets", "imgMainform_Editpresets", false, glyphPencil},
        {"ButtonBrowse", "imgMainform_Browse", false, glyphFolder},
        {"ButtonConvert", "imgMainform_Convert", true, glyphPlay},
    };
    for (const MainButton &b : mainButtons) {
        SkinElement &e = table.element((b.control));
        e.Font.Bold = true;
        for (int look = 0; look < 4; ++look) {
            e.Pictures[look] = stateName(b.stem, look);
            save(captionedButton(ground, placeOf(b.control), kLooks[look], b.primary, b.glyph),
                 e.Pictures[look]);
        }
    }
    const std::pair<const char *, const char *> chromeButtons[] = {
        {"ButtonMin", "imgMainform_Min"},
        {"ButtonHelp", "imgMainform_Help"},
        {"ButtonClose", "imgMainform_Close"}};
    for (const auto &[control, stem] : chromeButtons) {
        SkinElement &e = table.element((control));
        for (int look = 0; look < 4; ++look) {
            e.Pictures[look] = stateName(stem, look);
            save(chromeButton(ground, placeOf(control), kLooks[look], control), e.Pictures[look]);
        }
    }
    for (const char *label : {"LabelProfile", "LabelProfileInfo", "LabelOutputDirectory",
                              "LabelStatusBar", "LabelAppTitle"})
        table.element((label)).Font.Bold = true;
    table.element(u"LabelAppTitle").Font.Size = 11;
    table.element(u"LabelAppTitle").Font.Height = -15;
    table.element(u"LabelProfileInfo").Font.Color = QStringLiteral("$00FFB070");

    // Profile chooser.
    const QImage chooser = chooserBackground();
    save(chooser, table.element(u"ImageProfile").Pictures[StateNormal]);
    const char *const familyLabels[] = {"PSP", "iPod", "3GP"};
    for (int family = 0; family < 4; ++family) {
        SkinElement &e = table.element((kFamilyControls[family]));
        const QSize size = placeOf(kFamilyControls[family]).size();
        const QString stem =
            QStringLiteral("imgProfileform_") + QLatin1String(kFamilyFiles[family]);
        for (int look = 0; look < 4; ++look)
            e.Pictures[look] = stateName(qPrintable(stem), look);
        for (const Caption &c : kOtherCaptions) {
            if (family < 3 && c.suffix[0] != 0)
                continue;
            const QString text = QLatin1String(family < 3 ? familyLabels[family] : c.other);
            for (int look = 0; look < 4; ++look) {
                const QString base = stateName(qPrintable(stem), look);
                const QString suffix = QLatin1String(c.suffix);
                // The picture of the button in its own place, and in the first place.
                save(familyTile(family, size, kLooks[look], false, text),
                     ReplaceExtension(base, suffix + QStringLiteral(".bmp")));
                save(familyTile(family, size, kLooks[look], true, text),
                     ReplaceExtension(base,
                                      QStringLiteral(".1st") + suffix + QStringLiteral(".bmp")));
            }
        }
    }
    // "NONE" state values of the built-in skin become NONE.1st.bmp in first place.
    for (const Caption &c : kOtherCaptions)
        save(familyTile(-1, QSize(75, 63), Look::Normal, true, {}),
             QStringLiteral("NONE.1st%1.bmp").arg(QLatin1String(c.suffix)));
    const char *const pictureControls[] = {"ImagePSP", "ImageiPod", "Image3GP", "ImageOther"};
    for (int family = 0; family < 4; ++family)
        save(familyPicture(family), table.element((pictureControls[family])).Pictures[StateNormal]);
    const std::pair<const char *, const char *> dialogButtons[] = {
        {"ButtonApply", "imgProfileform_Apply"}, {"ButtonCancel", "imgProfileform_Cancel"}};
    for (const auto &[control, stem] : dialogButtons) {
        SkinElement &e = table.element((control));
        e.Font.Bold = true;
        const bool primary = qstrcmp(control, "ButtonApply") == 0;
        for (int look = 0; look < 4; ++look) {
            e.Pictures[look] = stateName(stem, look);
            save(captionedButton(chooser, placeOf(control), kLooks[look], primary, {}),
                 e.Pictures[look]);
        }
    }
    for (const char *label : {"LabelDiscription", "LabelLanguage", "LabelDoNotDisplay"})
        table.element((label)).Font.Bold = true;

    writeSkinIni(table);

    // The captions the buttons draw must fit beside the icon in every language.
    const QFontMetrics metrics(uiFont(11));
    const QString longest = QStringLiteral("          Profil wählen...");
    if (metrics.horizontalAdvance(longest) > kButtonWidth - 4)
        std::fprintf(stderr, "skinart: warning: \"%s\" is %d pixels wide\n", qPrintable(longest),
                     metrics.horizontalAdvance(longest));
    std::printf("skinart: %d files in %s\n", g_written, qPrintable(g_folder));
    return 0;
}

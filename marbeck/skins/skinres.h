#pragma once
// The skin value table: pictures, places, fonts and visibility of every
// skinned element of the main window and the profile chooser, filled with the
// built-in skin at start and overwritten once by "skin.ini".
#include <QList>
#include <QString>

#include <optional>

namespace orm {
class IniFile;
}

namespace marbeck {

struct TSkinFont {
    QString Charset = QStringLiteral("ANSI_CHARSET");
    QString Color;
    qint32 Height = -11;
    QString Name = QStringLiteral("Tahoma");
    QString Pitch = QStringLiteral("fpDefault");
    qint32 Size = 8;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

enum class SkinKind { Background, ChromeButton, Button, Control, Label, Image };

enum SkinState { StateNormal = 0, StateOn = 1, StateDown = 2, StateDisabled = 3 };
inline constexpr int kStateCount = 4;

// One skinned element. Which fields it has follows its kind: a background uses
// Pictures[0]; an image Pictures[0] and the four integers; buttons the four
// state pictures; labels only Left and Top of the geometry.
struct SkinElement {
    SkinKind Kind = SkinKind::Background;
    QString Stem;    // key stem, e.g. "FORMMAIN_BUTTON_CLOSE"
    QString Control; // object name of the control it drives, e.g. "ButtonClose"
    QString Pictures[kStateCount];
    qint32 Left = 0, Top = 0, Width = 0, Height = 0;
    TSkinFont Font;
    bool Visible = true;

    bool hasFont() const
    {
        return Kind == SkinKind::Button || Kind == SkinKind::Control || Kind == SkinKind::Label;
    }
    bool hasSize() const { return Kind != SkinKind::Label && Kind != SkinKind::Background; }
    bool hasStates() const { return Kind == SkinKind::ChromeButton || Kind == SkinKind::Button; }
};

struct SkinSection {
    QString Name;
    QList<SkinElement> Elements;
};

class SkinTable {
public:
    // The built-in skin.
    SkinTable();

    SkinSection Main;    // "MAINFORM"
    SkinSection Profile; // "PROFILEFORM"

    // The element of a key stem or of a control name; throws orm::Error for a name the table lacks.
    const SkinElement &element(QStringView stemOrControl) const;
    SkinElement &element(QStringView stemOrControl);
    SkinElement &element(const char *name) { return element(QString::fromLatin1(name)); }
    const SkinElement &element(const char *name) const
    {
        return element(QString::fromLatin1(name));
    }
};

// The table the program runs with.
SkinTable &skin();

// One key of the file, in the order the file is read.
struct SkinField {
    enum Type { Picture, Integer, Flag, Text };
    const QString *section;
    QString key;
    Type type;
    void *value; // QString *, qint32 * or bool * by type
    qint32 keyDefault = 0;
};
QList<SkinField> SkinFields(SkinTable &table);

// The state picture value that means "no picture of its own".
inline constexpr QStringView kNoPicture = u"NONE";

// Reads every key of "skin.ini" at the path into the table; a missing file
// leaves the built-in skin in force.
void LoadSkin(const QString &path, SkinTable &table = skin());
// The same from a file already read.
void LoadSkin(const orm::IniFile &ini, SkinTable &table);

// Trims characters up to blank at both ends, folds runs of spaces into one,
// and turns every "#13" into a line break (CR LF).
QString NormalizeSkinValue(const QString &value);

// A colour identifier ("clWhite", any case) or an integer colour (0x00BBGGRR,
// system colours 0xFF000000 + index); nothing for any other text.
std::optional<qint32> ParseSkinColor(const QString &text);
inline constexpr qint32 kColorNone = 0x1FFFFFFF;
inline constexpr qint32 kColorDefault = 0x20000000;

// An integer skin text ("charset" and "pitch" take effect only as numbers).
std::optional<qint32> ParseSkinInteger(const QString &text);

// "_fr", "_de", "_it" by the language file name, else empty.
QString LanguageSuffix(const QString &languageFile);
// The name without the part from its last "." on, followed by the new ending.
QString ReplaceExtension(const QString &name, const QString &ending);

} // namespace marbeck

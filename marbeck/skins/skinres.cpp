#include "skins/skinres.h"

#include "platform/platform.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "shared/utilfuncs.h"

#include <QFileInfo>

#include <array>

namespace marbeck {

namespace {

const QString kMainSection = QStringLiteral("MAINFORM");
const QString kProfileSection = QStringLiteral("PROFILEFORM");

struct BuiltIn {
    SkinKind kind;
    const char *stem;
    const char *control;
    const char *picture;
    qint32 left, top, width, height;
    const char *color;
    bool bold;
};

constexpr BuiltIn kMainBuiltIn[] = {
    {SkinKind::Background, "FORMMAIN_BACKGROUND_IMAGE", "ImageMain", "imgMainform_background.bmp",
     0, 0, 0, 0, "", false},
    {SkinKind::ChromeButton, "FORMMAIN_BUTTON_MIN", "ButtonMin", "imgMainform_Min_Normal.bmp", 613,
     3, 11, 11, "", false},
    {SkinKind::ChromeButton, "FORMMAIN_BUTTON_HELP", "ButtonHelp", "imgMainform_Help_Normal.bmp",
     613, 21, 31, 31, "", false},
    {SkinKind::ChromeButton, "FORMMAIN_BUTTON_CLOSE", "ButtonClose", "imgMainform_Close_Normal.bmp",
     632, 3, 11, 11, "", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_ADDFILES", "ButtonAddFiles",
     "imgMainform_Addfiles_Normal.bmp", 16, 315, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_DELETE", "ButtonDelete", "imgMainform_Delete_Normal.bmp",
     136, 315, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_CLEARLIST", "ButtonClearList",
     "imgMainform_Clearlist_Normal.bmp", 256, 315, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_CHOOSEPROFILE", "ButtonChooseProfile",
     "imgMainform_Chooseprofile_Normal.bmp", 16, 488, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_SETTINGS", "ButtonSettings",
     "imgMainform_Settings_Normal.bmp", 136, 488, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_EDITPRESETS", "ButtonEditPresets",
     "imgMainform_Editpresets_Normal.bmp", 256, 488, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_BROWSE", "ButtonBrowse", "imgMainform_Browse_Normal.bmp",
     512, 429, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMMAIN_BUTTON_CONVERT", "ButtonConvert", "imgMainform_Convert_Normal.bmp",
     512, 488, 111, 27, "clWhite", false},
    {SkinKind::Control, "FORMMAIN_LISTVIEW_LISTVIEWFILES", "ListViewFiles", "", 16, 88, 617, 209,
     "clWindowText", false},
    {SkinKind::Control, "FORMMAIN_COMBOBOX_COMBOBOXPROFILE", "ComboBoxProfile", "", 16, 384, 609,
     21, "clWindowText", false},
    {SkinKind::Control, "FORMMAIN_EDIT_EDITOUTPUTDIR", "EditOutputDir", "", 16, 432, 473, 21,
     "clWindowText", false},
    {SkinKind::Label, "FORMMAIN_LABEL_LABELPROFILE", "LabelProfile", "", 16, 368, 0, 0, "clWhite",
     false},
    {SkinKind::Label, "FORMMAIN_LABEL_LABELPROFILEINFO", "LabelProfileInfo", "", 72, 368, 0, 0,
     "clWhite", true},
    {SkinKind::Label, "FORMMAIN_LABEL_LABELOUTPUTDIRECTORY", "LabelOutputDirectory", "", 16, 416, 0,
     0, "clWhite", false},
    {SkinKind::Label, "FORMMAIN_LABEL_LABELSTATUSBAR", "LabelStatusBar", "", 18, 295, 0, 0,
     "clWhite", true},
    {SkinKind::Label, "FORMMAIN_LABEL_LABELAPPTITLE", "LabelAppTitle", "", 106, 26, 0, 0, "clWhite",
     true},
};

constexpr BuiltIn kProfileBuiltIn[] = {
    {SkinKind::Background, "FORMPROFILE_BACKGROUND_IMAGE", "ImageProfile",
     "pngProfileform_Background.png", 0, 0, 0, 0, "", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_PSP", "ButtonPSP", "imgProfileform_Psp_Normal.bmp", 0, 0,
     75, 63, "clWhite", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_IPOD", "ButtoniPod", "imgProfileform_iPod_Normal.bmp",
     75, 0, 74, 63, "clWhite", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_3GP", "Button3GP", "imgProfileform_3gp_Normal.bmp", 149,
     0, 74, 63, "clWhite", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_OTHER", "ButtonOther", "imgProfileform_Other_Normal.bmp",
     223, 0, 74, 63, "clWhite", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_BUTTONAPPLY", "ButtonApply",
     "imgProfileform_Apply_Normal.bmp", 296, 480, 111, 27, "clWhite", false},
    {SkinKind::Button, "FORMPROFILE_BUTTON_BUTTONCANCEL", "ButtonCancel",
     "imgProfileform_Cancel_Normal.bmp", 424, 480, 111, 27, "clWhite", false},
    {SkinKind::Image, "FORMPROFILE_OTHER", "ImageOther", "pngProfileform_Other.png", 32, 120, 120,
     144, "", false},
    {SkinKind::Image, "FORMPROFILE_3GP", "Image3GP", "pngProfileform_3GP.png", 32, 120, 120, 144,
     "", false},
    {SkinKind::Image, "FORMPROFILE_PSP", "ImagePSP", "pngProfileform_PSP.png", 32, 120, 120, 144,
     "", false},
    {SkinKind::Image, "FORMPROFILE_IPOD", "ImageiPod", "pngProfileform_iPod.png", 32, 120, 120, 144,
     "", false},
    {SkinKind::Control, "FORMPROFILE_LISTBOX_LISTBOXOTHER", "ListBoxOther", "", 184, 80, 345, 220,
     "clWindowText", false},
    {SkinKind::Control, "FORMPROFILE_MEMO_MEMODISCRIPTION", "MemoDiscription", "", 16, 352, 529, 89,
     "clWindowText", false},
    {SkinKind::Control, "FORMPROFILE_COMBOBOX_COMBOBOXLANGUAGE", "ComboBoxLanguage", "", 88, 464,
     105, 21, "clWindowText", false},
    {SkinKind::Control, "FORMPROFILE_CHECKBOX_CHECKBOXDONOTDISPLAY", "CheckBoxDoNotDisplay", "", 16,
     506, 13, 13, "clWhite", false},
    {SkinKind::Label, "FORMPROFILE_LABEL_LABELDISCRIPTION", "LabelDiscription", "", 16, 328, 0, 0,
     "clWhite", false},
    {SkinKind::Label, "FORMPROFILE_LABEL_LABELLANGUAGE", "LabelLanguage", "", 16, 468, 0, 0,
     "clWhite", false},
    {SkinKind::Label, "FORMPROFILE_LABEL_LABELDONOTDISPLAY", "LabelDoNotDisplay", "", 42, 505, 0, 0,
     "clWhite", false},
};

// The order in which the chooser's elements are read: family buttons, family
// pictures, then the controls with the two dialog buttons last.
constexpr std::array<const char *, 18> kProfileReadOrder{
    "ImageProfile",     "ButtonPSP",        "ButtoniPod",
    "Button3GP",        "ButtonOther",      "ButtonApply",
    "ButtonCancel",     "ImageOther",       "Image3GP",
    "ImagePSP",         "ImageiPod",        "ListBoxOther",
    "MemoDiscription",  "ComboBoxLanguage", "CheckBoxDoNotDisplay",
    "LabelDiscription", "LabelLanguage",    "LabelDoNotDisplay"};

SkinElement fromBuiltIn(const BuiltIn &b)
{
    SkinElement e;
    e.Kind = b.kind;
    e.Stem = QLatin1String(b.stem);
    e.Control = QLatin1String(b.control);
    e.Pictures[StateNormal] = QLatin1String(b.picture);
    if (e.hasStates()) {
        for (int s = StateOn; s < kStateCount; ++s)
            e.Pictures[s] = kNoPicture.toString();
    }
    e.Left = b.left;
    e.Top = b.top;
    e.Width = b.width;
    e.Height = b.height;
    e.Font.Color = QLatin1String(b.color);
    e.Font.Bold = b.bold;
    return e;
}

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

SkinTable::SkinTable()
{
    Main.Name = kMainSection;
    Profile.Name = kProfileSection;
    for (const BuiltIn &b : kMainBuiltIn)
        Main.Elements << fromBuiltIn(b);
    for (const BuiltIn &b : kProfileBuiltIn)
        Profile.Elements << fromBuiltIn(b);
}

SkinElement &SkinTable::element(QStringView name)
{
    for (SkinSection *section : {&Main, &Profile}) {
        for (SkinElement &e : section->Elements) {
            if (e.Stem == name || e.Control == name)
                return e;
        }
    }
    throw orm::Error(QStringLiteral("The skin has no element \"%1\"").arg(name));
}

const SkinElement &SkinTable::element(QStringView name) const
{
    return const_cast<SkinTable *>(this)->element(name);
}

SkinTable &skin()
{
    static SkinTable table;
    return table;
}

QList<SkinField> SkinFields(SkinTable &table)
{
    QList<SkinField> fields;
    auto add = [&fields](const SkinSection &section, const QString &key, SkinField::Type type,
                         void *value, qint32 keyDefault = 0) {
        fields.append(SkinField{&section.Name, key, type, value, keyDefault});
    };
    auto addElement = [&](const SkinSection &section, SkinElement &e) {
        const QString &s = e.Stem;
        switch (e.Kind) {
        case SkinKind::Background:
            add(section, s, SkinField::Picture, &e.Pictures[StateNormal]);
            return;
        case SkinKind::Image:
            add(section, s + QLatin1String("_IMAGE"), SkinField::Picture, &e.Pictures[StateNormal]);
            break;
        case SkinKind::ChromeButton:
        case SkinKind::Button:
            add(section, s + QLatin1String("_NORMAL"), SkinField::Picture,
                &e.Pictures[StateNormal]);
            add(section, s + QLatin1String("_ON"), SkinField::Picture, &e.Pictures[StateOn]);
            add(section, s + QLatin1String("_DOWN"), SkinField::Picture, &e.Pictures[StateDown]);
            add(section, s + QLatin1String("_DISABLED"), SkinField::Picture,
                &e.Pictures[StateDisabled]);
            break;
        case SkinKind::Control:
        case SkinKind::Label: break;
        }
        // The close button keeps a place of its own when the file does not give one.
        const bool close = s == u"FORMMAIN_BUTTON_CLOSE";
        add(section, s + QLatin1String("_LEFT"), SkinField::Integer, &e.Left, close ? 685 : 0);
        add(section, s + QLatin1String("_TOP"), SkinField::Integer, &e.Top, close ? 15 : 0);
        if (e.hasSize()) {
            add(section, s + QLatin1String("_WIDTH"), SkinField::Integer, &e.Width, close ? 15 : 0);
            add(section, s + QLatin1String("_HEIGHT"), SkinField::Integer, &e.Height,
                close ? 15 : 0);
        }
        if (e.Kind == SkinKind::Image)
            return;
        if (e.hasFont()) {
            TSkinFont &f = e.Font;
            add(section, s + QLatin1String("_FONT_CHARSET"), SkinField::Text, &f.Charset);
            add(section, s + QLatin1String("_FONT_COLOR"), SkinField::Text, &f.Color);
            add(section, s + QLatin1String("_FONT_HEIGHT"), SkinField::Integer, &f.Height);
            add(section, s + QLatin1String("_FONT_NAME"), SkinField::Text, &f.Name);
            add(section, s + QLatin1String("_FONT_PITCH"), SkinField::Text, &f.Pitch);
            add(section, s + QLatin1String("_FONT_SIZE"), SkinField::Integer, &f.Size);
            add(section, s + QLatin1String("_FONT_STYLE_FSBOLD"), SkinField::Flag, &f.Bold);
            add(section, s + QLatin1String("_FONT_STYLE_FSITALIC"), SkinField::Flag, &f.Italic);
            add(section, s + QLatin1String("_FONT_STYLE_FSUNDERLINE"), SkinField::Flag,
                &f.Underline);
            add(section, s + QLatin1String("_FONT_STYLE_FSSTRIKEOUT"), SkinField::Flag,
                &f.StrikeOut);
        }
        add(section, s + QLatin1String("_VISIBLE"), SkinField::Flag, &e.Visible);
    };
    for (SkinElement &e : table.Main.Elements)
        addElement(table.Main, e);
    for (const char *control : kProfileReadOrder)
        addElement(table.Profile, table.element(QString::fromLatin1(control)));
    return fields;
}

void LoadSkin(const QString &path, SkinTable &table)
{
    const QString found =
        QString::fromStdString(orm::platform::resolveCaseInsensitive(path.toStdString()));
    if (!QFileInfo(found).isFile())
        return;
    LoadSkin(orm::IniFile(found), table);
}

void LoadSkin(const orm::IniFile &ini, SkinTable &table)
{
    for (const SkinField &field : SkinFields(table)) {
        const QString &section = *field.section;
        switch (field.type) {
        case SkinField::Picture:
        case SkinField::Text:
            *static_cast<QString *>(field.value) =
                NormalizeSkinValue(ini.readString(section, field.key, {}));
            break;
        case SkinField::Integer:
            *static_cast<qint32 *>(field.value) =
                ini.readInteger(section, field.key, field.keyDefault);
            break;
        case SkinField::Flag:
            *static_cast<bool *>(field.value) = ini.readBool(section, field.key, true);
            break;
        }
    }
    // A skin made before "Edit Presets..." has no place for that button: it
    // takes the Settings button's pictures and font, one step further along
    // the row that Choose Profile and Settings begin.
    if (!ini.keyNames(kMainSection)
             .contains(QStringLiteral("FORMMAIN_BUTTON_EDITPRESETS_NORMAL"), Qt::CaseInsensitive)) {
        const SkinElement &settings = table.element(u"ButtonSettings");
        const SkinElement &choose = table.element(u"ButtonChooseProfile");
        SkinElement &edit = table.element(u"ButtonEditPresets");
        const QString stem = edit.Stem, control = edit.Control;
        edit = settings;
        edit.Stem = stem;
        edit.Control = control;
        edit.Left = settings.Left + (settings.Left - choose.Left);
    }
}

QString NormalizeSkinValue(const QString &value)
{
    qsizetype begin = 0, end = value.size();
    while (begin < end && isBlankOrControl(value.at(begin)))
        ++begin;
    while (end > begin && isBlankOrControl(value.at(end - 1)))
        --end;
    QString folded;
    folded.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = value.at(i);
        if (c == u' ' && !folded.isEmpty() && folded.back() == u' ')
            continue;
        folded.append(c);
    }
    // One pass replaces every "#13": the replacement holds no '#', so no new one can form.
    folded.replace(QStringLiteral("#13"), QStringLiteral("\r\n"));
    return folded;
}

namespace {

struct NamedColor {
    const char *name;
    quint32 value;
};

constexpr quint32 kSystem = 0xFF000000u;

constexpr NamedColor kColorNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", kSystem | 10},
    {"clActiveCaption", kSystem | 2},
    {"clAppWorkSpace", kSystem | 12},
    {"clBackground", kSystem | 1},
    {"clBtnFace", kSystem | 15},
    {"clBtnHighlight", kSystem | 20},
    {"clBtnShadow", kSystem | 16},
    {"clBtnText", kSystem | 18},
    {"clCaptionText", kSystem | 9},
    {"clDefault", 0x20000000},
    {"clGradientActiveCaption", kSystem | 27},
    {"clGradientInactiveCaption", kSystem | 28},
    {"clGrayText", kSystem | 17},
    {"clHighlight", kSystem | 13},
    {"clHighlightText", kSystem | 14},
    {"clHotLight", kSystem | 26},
    {"clInactiveBorder", kSystem | 11},
    {"clInactiveCaption", kSystem | 3},
    {"clInactiveCaptionText", kSystem | 19},
    {"clInfoBk", kSystem | 24},
    {"clInfoText", kSystem | 23},
    {"clMenu", kSystem | 4},
    {"clMenuBar", kSystem | 30},
    {"clMenuHighlight", kSystem | 29},
    {"clMenuText", kSystem | 7},
    {"clNone", 0x1FFFFFFF},
    {"clScrollBar", kSystem | 0},
    {"cl3DDkShadow", kSystem | 21},
    {"cl3DLight", kSystem | 22},
    {"clWindow", kSystem | 5},
    {"clWindowFrame", kSystem | 6},
    {"clWindowText", kSystem | 8},
};

} // namespace

std::optional<qint32> ParseSkinColor(const QString &text)
{
    for (const NamedColor &c : kColorNames) {
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return static_cast<qint32>(c.value);
    }
    return ParseSkinInteger(text);
}

std::optional<qint32> ParseSkinInteger(const QString &text)
{
    return orm::ParseInteger(text);
}

QString LanguageSuffix(const QString &languageFile)
{
    const QString name = languageFile.toLower();
    if (name == u"french.ini")
        return QStringLiteral("_fr");
    if (name == u"italian.ini")
        return QStringLiteral("_it");
    if (name == u"deutsch.ini")
        return QStringLiteral("_de");
    return {};
}

QString ReplaceExtension(const QString &name, const QString &ending)
{
    const qsizetype folder = std::max(name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'));
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot > folder ? name.left(dot) : name) + ending;
}

} // namespace marbeck

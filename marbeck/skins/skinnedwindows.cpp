#include "skins/skinnedwindows.h"

#include "shared/error.h"
#include "shared/interaction.h"
#include "skins/skinpicture.h"
#include "skins/suibutton.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace marbeck {

namespace {

// Places and sizes a skin can give; beyond them a garbage value would only
// make the toolkit work on areas nobody can see.
constexpr int kMaxCoordinate = 32767;
constexpr int kMaxFontPixels = 512;

int clampCoordinate(qint32 v)
{
    return std::clamp<qint32>(v, -kMaxCoordinate, kMaxCoordinate);
}
int clampExtent(qint32 v)
{
    return std::clamp<qint32>(v, 0, kMaxCoordinate);
}

// System colour indices to the toolkit's palette roles.
QColor systemColor(int index)
{
    const QPalette p = QApplication::palette();
    switch (index) {
    case 1:
    case 2:
    case 13:
    case 27:
    case 29: return p.color(QPalette::Highlight);
    case 3:
    case 10:
    case 11:
    case 16:
    case 28: return p.color(QPalette::Mid);
    case 5: return p.color(QPalette::Base);
    case 6:
    case 21: return p.color(QPalette::Shadow);
    case 7:
    case 8: return p.color(QPalette::Text);
    case 9:
    case 14: return p.color(QPalette::HighlightedText);
    case 0:
    case 4:
    case 12:
    case 15:
    case 30: return p.color(QPalette::Button);
    case 17:
    case 19: return p.color(QPalette::Disabled, QPalette::Text);
    case 18: return p.color(QPalette::ButtonText);
    case 20:
    case 22: return p.color(QPalette::Light);
    case 23: return p.color(QPalette::ToolTipText);
    case 24: return p.color(QPalette::ToolTipBase);
    case 26: return p.color(QPalette::Link);
    default: return p.color(QPalette::WindowText);
    }
}

// Nothing for "no colour" and "default": the control keeps its own.
std::optional<QColor> toColor(qint32 value)
{
    const auto v = static_cast<quint32>(value);
    if (value == kColorNone || value == kColorDefault)
        return std::nullopt;
    if ((v & 0xFF000000u) == 0xFF000000u)
        return systemColor(int(v & 0xFFu));
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QImage loadPicture(const QString &skinFolder, const QString &name)
{
    return LoadSkinPicture(SkinPicturePath(skinFolder, name));
}

void applyFont(QWidget &control, const TSkinFont &f,
               std::initializer_list<QPalette::ColorRole> roles)
{
    QFont font = control.font();
    // Charset: the toolkit picks scripts per character, so a number has nothing to change.
    const std::optional<qint32> colour = ParseSkinColor(f.Color);
    if (!colour)
        throw orm::Error(QStringLiteral("'%1' is not a valid integer value").arg(f.Color));
    if (f.Height != 0)
        font.setPixelSize(int(std::clamp<qint64>(std::abs(qint64(f.Height)), 1, kMaxFontPixels)));
    if (!f.Name.isEmpty())
        font.setFamily(f.Name);
    if (const auto pitch = ParseSkinInteger(f.Pitch)) {
        if (*pitch == 1 || *pitch == 2)
            font.setFixedPitch(*pitch == 2);
    }
    if (f.Size != 0) {
        const double pixels = double(f.Size) * control.logicalDpiY() / 72.0;
        font.setPixelSize(int(std::clamp(std::abs(pixels), 1.0, double(kMaxFontPixels)) + 0.5));
    }
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    control.setFont(font);
    if (const auto c = toColor(*colour)) {
        QPalette p = control.palette();
        for (QPalette::ColorRole role : roles) {
            p.setColor(QPalette::Active, role, *c);
            p.setColor(QPalette::Inactive, role, *c);
        }
        control.setPalette(p);
    }
}

// The window takes the size of its background picture.
void fitWindow(QWidget &window, QSize size)
{
    if (window.minimumSize() == window.maximumSize())
        window.setFixedSize(size);
    else
        window.resize(size);
}

class Applier {
public:
    Applier(QWidget &window, const SkinSection &section, const QString &skinFolder)
        : m_window(window), m_section(section), m_folder(skinFolder)
    {
    }

    const SkinElement &element(const char *control) const
    {
        for (const SkinElement &e : m_section.Elements) {
            if (e.Control == QLatin1String(control)) {
                m_currentKey = e.Stem;
                return e;
            }
        }
        throw orm::Error(QStringLiteral("The skin has no element \"%1\"").arg(control));
    }

    QWidget *find(const SkinElement &e) const { return m_window.findChild<QWidget *>(e.Control); }

    void background(const char *control)
    {
        const SkinElement &e = element(control);
        const QImage picture = loadPicture(m_folder, e.Pictures[StateNormal]);
        QWidget *w = find(e);
        if (!w)
            return;
        const QPixmap pixmap = QPixmap::fromImage(picture);
        if (auto *label = qobject_cast<QLabel *>(w)) {
            label->setPixmap(pixmap);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        } else {
            QPalette p = w->palette();
            p.setBrush(QPalette::Window, pixmap);
            w->setPalette(p);
            w->setAutoFillBackground(true);
        }
        w->setGeometry(0, 0, picture.width(), picture.height());
        fitWindow(m_window, picture.size());
    }

    // State pictures; `nameOf` turns a value into the file name to load.
    void statePictures(const SkinElement &e, const std::function<QString(const QString &)> &nameOf)
    {
        auto *button = qobject_cast<TsuiImageButton *>(find(e));
        for (int s = 0; s < kStateCount; ++s) {
            if (e.Pictures[s] == kNoPicture)
                continue;
            QImage picture = loadPicture(m_folder, nameOf(e.Pictures[s]));
            if (button)
                button->pictureRef(TsuiImageButton::Picture(s)) = std::move(picture);
        }
        if (button)
            button->update();
    }

    void geometry(const SkinElement &e)
    {
        QWidget *w = find(e);
        if (!w)
            return;
        if (e.hasSize())
            w->setGeometry(clampCoordinate(e.Left), clampCoordinate(e.Top), clampExtent(e.Width),
                           clampExtent(e.Height));
        else
            w->move(clampCoordinate(e.Left), clampCoordinate(e.Top));
    }

    void font(const SkinElement &e)
    {
        QWidget *w = find(e);
        if (!w) {
            // The value is checked all the same, so a broken skin shows the same way.
            if (!ParseSkinColor(e.Font.Color))
                throw orm::Error(
                    QStringLiteral("'%1' is not a valid integer value").arg(e.Font.Color));
            return;
        }
        switch (e.Kind) {
        case SkinKind::Button: applyFont(*w, e.Font, {QPalette::ButtonText}); break;
        case SkinKind::Label:
            applyFont(*w, e.Font, {QPalette::WindowText});
            // Labels size themselves to their text.
            if (auto *label = qobject_cast<QLabel *>(w))
                label->adjustSize();
            break;
        default:
            applyFont(*w, e.Font, {QPalette::Text, QPalette::WindowText, QPalette::ButtonText});
            break;
        }
    }

    void visibility(const SkinElement &e)
    {
        if (QWidget *w = find(e))
            w->setVisible(e.Visible);
    }

    void button(
        const char *control,
        const std::function<QString(const QString &)> &nameOf = [](const QString &n) { return n; })
    {
        const SkinElement &e = element(control);
        statePictures(e, nameOf);
        geometry(e);
        if (e.hasFont())
            font(e);
        visibility(e);
    }

    void image(const char *control)
    {
        const SkinElement &e = element(control);
        const QImage picture = loadPicture(m_folder, e.Pictures[StateNormal]);
        if (auto *label = qobject_cast<QLabel *>(find(e))) {
            label->setPixmap(QPixmap::fromImage(picture));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
        geometry(e);
    }

    void control(const char *name)
    {
        const SkinElement &e = element(name);
        geometry(e);
        font(e);
        visibility(e);
    }

    // Runs the steps of one window; a value that cannot be applied is
    // reported with the skin file and the key it came from.
    template <class Steps> void run(Steps steps)
    {
        try {
            steps(*this);
        } catch (const orm::Error &e) {
            throw orm::Error(QStringLiteral("%1skin.ini, [%2] %3: %4")
                                 .arg(m_folder, m_section.Name, m_currentKey, e.text()));
        }
    }

private:
    QWidget &m_window;
    const SkinSection &m_section;
    QString m_folder;
    mutable QString m_currentKey; // the element being applied
};

QString firstPositionName(const QString &value, const QString &suffix)
{
    return ReplaceExtension(value, QStringLiteral(".1st") + suffix + QStringLiteral(".bmp"));
}

} // namespace

void ApplyMainSkin(QWidget &window, const SkinTable &table, const QString &skinFolder)
{
    Applier(window, table.Main, skinFolder).run([](Applier &a) {
        a.background("ImageMain");
        for (const char *chrome : {"ButtonMin", "ButtonHelp", "ButtonClose"})
            a.button(chrome);
        for (const char *button :
             {"ButtonAddFiles", "ButtonDelete", "ButtonClearList", "ButtonChooseProfile",
              "ButtonSettings", "ButtonEditPresets", "ButtonBrowse", "ButtonConvert"})
            a.button(button);
        a.control("ListViewFiles");
        for (const char *label : {"LabelProfile", "LabelProfileInfo", "LabelOutputDirectory",
                                  "LabelStatusBar", "LabelAppTitle"})
            a.control(label);
        a.control("ComboBoxProfile");
        a.control("EditOutputDir");
    });
}

void ApplyProfileSkin(QWidget &window, const SkinTable &table, const QString &skinFolder,
                      const QString &languageFile)
{
    Applier(window, table.Profile, skinFolder).run([&languageFile](Applier &a) {
        a.background("ImageProfile");
        for (const char *family : {"ButtonPSP", "ButtoniPod", "Button3GP"})
            a.button(family);
        const QString suffix = LanguageSuffix(languageFile);
        a.button("ButtonOther", [&suffix](const QString &name) {
            return ReplaceExtension(name, suffix + QStringLiteral(".bmp"));
        });
        for (const char *image : {"ImageOther", "Image3GP", "ImagePSP", "ImageiPod"})
            a.image(image);
        for (const char *control :
             {"ListBoxOther", "MemoDiscription", "LabelDiscription", "LabelLanguage",
              "ComboBoxLanguage", "LabelDoNotDisplay", "CheckBoxDoNotDisplay"})
            a.control(control);
        a.button("ButtonApply");
        a.button("ButtonCancel");
    });
}

void ArrangeFamilyButtons(QWidget &window, const SkinTable &table, const QString &skinFolder,
                          DeviceFamily family, const QString &languageFile)
{
    if (family == DeviceFamily::All)
        return;
    auto button = [&window](const char *name) { return window.findChild<QWidget *>(name); };
    auto hide = [&](const char *name) {
        if (QWidget *w = button(name))
            w->hide();
    };
    // Takes the left of another button; the top stays.
    auto moveTo = [&](const char *name, const char *place) {
        QWidget *w = button(name);
        QWidget *at = button(place);
        if (w && at)
            w->move(at->x(), w->y());
    };
    auto firstPosition = [&](const char *control, const QString &suffix) {
        const SkinElement &e = table.element(QString::fromLatin1(control));
        auto *b = qobject_cast<TsuiImageButton *>(button(control));
        // The pressed picture stays; "NONE" is a file name here like any other.
        for (int s : {StateNormal, StateOn, StateDisabled}) {
            QImage picture = LoadSkinPicture(
                SkinPicturePath(skinFolder, firstPositionName(e.Pictures[s], suffix)));
            if (b)
                b->pictureRef(TsuiImageButton::Picture(s)) = std::move(picture);
        }
        if (b)
            b->update();
    };
    const QString suffix = LanguageSuffix(languageFile);
    switch (family) {
    case DeviceFamily::Phones:
        hide("ButtoniPod");
        hide("ButtonPSP");
        moveTo("ButtonOther", "ButtoniPod");
        moveTo("Button3GP", "ButtonPSP");
        firstPosition("ButtonOther", suffix);
        firstPosition("Button3GP", {});
        break;
    case DeviceFamily::IPod:
        hide("Button3GP");
        hide("ButtonPSP");
        moveTo("ButtonOther", "ButtoniPod");
        moveTo("ButtoniPod", "ButtonPSP");
        firstPosition("ButtonOther", suffix);
        firstPosition("ButtoniPod", {});
        break;
    case DeviceFamily::PSP:
        hide("Button3GP");
        hide("ButtoniPod");
        moveTo("ButtonOther", "ButtoniPod");
        firstPosition("ButtonOther", suffix);
        break;
    case DeviceFamily::All: break;
    }
}

bool RunSkinStep(QWidget &window, const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const orm::Error &e) {
        // Shown once the window is up, as the error box of the show handler would be.
        QTimer::singleShot(0, &window, [text = e.text()] {
            orm::ShowMessageBox(text, QApplication::applicationName(), orm::mb::kIconError);
        });
        return false;
    }
}

} // namespace marbeck

// Pictures of the skinned windows for looking at after a change to the skin:
// the main window empty and with a dozen real files, the profile chooser for
// -all, -3gp and -psp, each in the four languages, and the image button in its
// four states. Arguments: the staged installation, the folder for the pictures.
// Run with QT_SCALE_FACTOR=2 to see the windows at 200 %.
#include "lang/marbeckmessages.h"
#include "profiles/tfrmprofile.h"
#include "screenkit.h"
#include "settings/globalvars.h"
#include "shared/ui/qtinteraction.h"
#include "shell/choosersettings.h"
#include "shell/tfrmmain.h"
#include "skins/skinnedwindows.h"
#include "skins/skinpicture.h"
#include "skins/suibutton.h"
#include "sources/listviewfiles.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace marbeck;

namespace {

int g_failures = 0;

void save(QWidget *widget, const QString &path)
{
    if (!screenkit::save(widget, path))
        ++g_failures;
}

struct Language {
    const char *file;
    const char *tag;
};
constexpr Language kLanguages[] = {
    {"english.ini", "en"}, {"french.ini", "fr"}, {"deutsch.ini", "de"}, {"italian.ini", "it"}};

void writeSettings(const QString &installation, const Language &language)
{
    QFile::remove(installation + "/vuzu.ini");
    QFile settings(installation + "/vuzu.ini");
    settings.open(QIODevice::WriteOnly);
    settings.write(QStringLiteral("[System]\nLanguageFile=%1\nShowWindow=0\nOutputPath=%2/out\n"
                                  "DeleteFileAfterProcessing=1\nShutdownWindowsWhenDone=1\n"
                                  "ProfilePath=%2/default_setting/Transcoding_iPod.ini\n")
                       .arg(QLatin1String(language.file), installation)
                       .toUtf8());
}

// Two buttons of the main window in their four states, over the background.
void buttonStates(const QString &skinFolder, const QString &out)
{
    const SkinTable &table = skin();
    QWidget strip;
    strip.setFixedSize(4 * 150 + 10, 2 * 40 + 10);
    auto *ground = new QLabel(&strip);
    const QImage back =
        LoadSkinPicture(SkinPicturePath(skinFolder, table.element("ImageMain").Pictures[0]));
    ground->setPixmap(QPixmap::fromImage(back.copy(0, 484, strip.width(), strip.height())));
    ground->setGeometry(strip.rect());
    int row = 0;
    for (const char *control : {"ButtonAddFiles", "ButtonConvert"}) {
        const SkinElement &e = table.element(control);
        for (int state = 0; state < 4; ++state) {
            auto *b = new TsuiImageButton(&strip);
            b->setTransparent(true);
            b->setGeometry(10 + state * 150, 10 + row * 40, e.Width, e.Height);
            for (int s = 0; s < 4; ++s)
                if (e.Pictures[s] != kNoPicture)
                    b->pictureRef(TsuiImageButton::Picture(s)) =
                        LoadSkinPicture(SkinPicturePath(skinFolder, e.Pictures[s]));
            QFont f(QStringLiteral("Tahoma"));
            f.setPixelSize(11);
            f.setBold(true);
            b->setFont(f);
            QPalette p = b->palette();
            p.setColor(QPalette::ButtonText, Qt::white);
            b->setPalette(p);
            b->setCaption(row == 0 ? "      Add Files..." : "         Convert Now");
            if (state == 1) {
                QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
                QApplication::sendEvent(b, &enter);
            } else if (state == 2) {
                b->setDown(true);
            } else if (state == 3) {
                b->setEnabled(false);
            }
        }
        ++row;
    }
    strip.show();
    save(&strip, out + "/button_states.png");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    orm::RegisterLayoutFonts();
    const auto folders = screenkit::folders(argc, argv, "skins_screens");
    if (!folders)
        return 2;
    const QString stage = folders->stage, out = folders->out;

    QTemporaryDir installation;
    if (!screenkit::copyInstallation(stage, installation.path()))
        return 1;
    QDir().mkpath(installation.filePath("out"));
    const QStringList clips = screenkit::makeListClips(
        installation.filePath("clips"), installation.filePath("cores/avcore.dll"), 12);
    std::printf("%lld clips\n", static_cast<long long>(clips.size()));

    for (const Language &language : kLanguages) {
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = installation.path();
        SetDefaultSettings(g, DeviceFamily::All, installation.path());
        writeSettings(installation.path(), language);
        QFile::remove(installation.filePath("vuzu.list")); // each language starts empty
        messages().resetToEnglish();
        skin() = SkinTable();
        const QString tag = QLatin1String(language.tag);

        TfrmMain window;
        if (!window.FormCreate())
            return 1;
        window.show();
        save(&window, out + "/main_" + tag + "_empty.png");
        window.listViewFiles()->AddFiles(clips);
        save(&window, out + "/main_" + tag + "_files.png");

        for (auto [family, name, formatType] :
             {std::tuple{DeviceFamily::All, "all", 0}, std::tuple{DeviceFamily::Phones, "3gp", 2},
              std::tuple{DeviceFamily::PSP, "psp", 0}}) {
            g.Family = family;
            g.FormatType = quint8(formatType);
            TfrmProfile chooser(ChooserSettingsOf(g), &window);
            chooser.PrepareChooser();
            chooser.show();
            save(&chooser, out + "/chooser_" + name + "_" + tag + ".png");
            chooser.hide();
        }
        if (language.tag == std::string_view("en"))
            buttonStates(AppRelativePath(g, g.SkinFolder), out);
        window.hide();
    }
    return g_failures == 0 ? 0 : 1;
}

// Pictures of the main window, the profile chooser and the settings window in
// the four languages, drawn offscreen, for looking at after a change.
// Arguments: the staged installation, the folder for the pictures.
#include "lang/marbeckmessages.h"
#include "presets/tfrmpreseteditor.h"
#include "profiles/tfrmprofile.h"
#include "screenkit.h"
#include "settings/globalvars.h"
#include "shared/ui/qtinteraction.h"
#include "shell/choosersettings.h"
#include "shell/tfrmfailurelog.h"
#include "shell/tfrmmain.h"
#include "shell/tfrmsettings.h"
#include "sources/listviewfiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace marbeck;

namespace {

struct Language {
    const char *file;
    const char *tag;
    const char *profiles;
};

constexpr Language kLanguages[] = {
    {"english.ini", "en", "default_setting"},
    {"french.ini", "fr", "default_setting_fr"},
    {"deutsch.ini", "de", "default_setting_de"},
    {"italian.ini", "it", "default_setting_it"},
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    orm::RegisterLayoutFonts();
    const auto folders = screenkit::folders(argc, argv, "shell_screens");
    if (!folders)
        return 2;
    const QString stage = folders->stage, out = folders->out;

    // A copy of the installation, so the settings file lands there.
    QTemporaryDir installation;
    if (!screenkit::copyInstallation(stage, installation.path()))
        return 1;
    const QStringList clips =
        screenkit::makeListClips(installation.path(), installation.filePath("cores/avcore.dll"), 3);

    // 2,000 small files for the pictures of the window while they are added.
    QStringList many;
    QDir().mkpath(installation.filePath("many"));
    for (int i = 0; i < 2000; ++i) {
        many << installation.filePath(
            QStringLiteral("many/clip %1.mp4").arg(i, 4, 10, QChar(u'0')));
        if (!QFile::copy(clips.first(), many.last()))
            return 1;
    }

    int failures = 0;
    for (const Language &language : kLanguages) {
        TGlobalVars &g = globals();
        g = TGlobalVars{};
        g.AppFolder = installation.path();
        SetDefaultSettings(g, DeviceFamily::All, installation.path());
        QFile::remove(installation.filePath("vuzu.ini"));
        QFile::remove(installation.filePath("vuzu.list")); // each language starts empty
        QFile settings(installation.filePath("vuzu.ini"));
        settings.open(QIODevice::WriteOnly);
        settings.write(QStringLiteral("[System]\nLanguageFile=%1\nShowWindow=0\nOutputPath=%2\n"
                                      "DeleteFileAfterProcessing=1\nShutdownWindowsWhenDone=1\n"
                                      "ProfilePath=%3/%4/Transcoding_iPod.ini\n")
                           .arg(QLatin1String(language.file), installation.path(),
                                installation.path(), QLatin1String(language.profiles))
                           .toUtf8());
        settings.close();
        messages().resetToEnglish();

        const QString tag = QLatin1String(language.tag);
        {
            TfrmMain window;
            if (!window.FormCreate())
                return 1;
            window.show();
            if (!screenkit::save(&window, out + "/main_" + tag + "_empty.png"))
                ++failures;
            window.listViewFiles()->AddFiles(clips);
            if (!screenkit::save(&window, out + "/main_" + tag + ".png"))
                ++failures;
            {
                // A second program while this one holds the list.
                TfrmMain second;
                if (!second.FormCreate())
                    return 1;
                second.show();
                if (!screenkit::save(&second, out + "/main_" + tag + "_list_in_use.png"))
                    ++failures;
            }

            ListViewFiles &list = *window.listViewFiles();
            list.BeginAdding(many);
            while (list.isAdding() && list.adder().done() < 340)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            if (!screenkit::save(&window, out + "/main_" + tag + "_adding.png"))
                ++failures;
            list.StopAdding();
            list.ActionClearListExecute();
            list.AddFiles(clips);

            TfrmProfile chooser(ChooserSettingsOf(g), &window);
            chooser.PrepareChooser();
            chooser.show();
            if (!screenkit::save(&chooser, out + "/chooser_" + tag + ".png"))
                ++failures;
            chooser.hide();

            {
                // The preset editor on the shipped profile, on a copy of its
                // first preset, and after a try of that copy.
                list.SelectItem(0);
                TfrmPresetEditor editor(window.presetEditorSetup(), &window);
                editor.show();
                if (!screenkit::save(&editor, out + "/presets_" + tag + "_shipped.png"))
                    ++failures;
                editor.ButtonDuplicatePreset()->click();
                editor.ButtonTry()->click();
                while (editor.trial() && editor.trial()->running())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                if (!screenkit::save(&editor, out + "/presets_" + tag + "_tried.png"))
                    ++failures;
                QFile::remove(editor.profilePath());
            }

            TfrmSettings settingsWindow(&window);
            settingsWindow.LoadControls(g);
            settingsWindow.show();
            if (!screenkit::save(&settingsWindow, out + "/settings_" + tag + ".png"))
                ++failures;
            settingsWindow.hide();

            orm::FailureLog lastBatch;
            lastBatch.add(clips.first(), msg(Msg::MSG_OUTPUT_NONE));
            lastBatch.add(
                installation.filePath("holiday.avi"),
                QStringLiteral("holiday.avi: Invalid data found when processing input\n") +
                    msg(Msg::MSG_CAUSE_NOT_VIDEO));
            TfrmFailureLog failureWindow(lastBatch, &window);
            failureWindow.show();
            if (!screenkit::save(&failureWindow, out + "/failurelog_" + tag + ".png"))
                ++failures;
            failureWindow.hide();
            window.hide();
        }
    }
    return failures == 0 ? 0 : 1;
}

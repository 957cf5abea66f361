#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "settings/globalvars.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/ui/qtinteraction.h"
#include "shared/ui/termination.h"
#include "shell/tfrmmain.h"
#include "sources/listviewfiles.h"

#include <QApplication>
#include <QFileInfo>

namespace {

// The language the program speaks until a language file says otherwise.
constexpr int kBuildLanguage = 0;

QString buildLanguageFile(int code)
{
    switch (code) {
    case 0: return QStringLiteral("english.ini");
    case 1: return QStringLiteral("french.ini");
    case 2: return QStringLiteral("deutsch.ini");
    case 3: return QStringLiteral("italian.ini");
    default: return {};
    }
}

// Paths given after the family, made absolute against the folder the program started in.
QStringList CommandLineFiles(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths)
        files.append(QFileInfo(path).absoluteFilePath());
    return files;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ormolux"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ormolux.Marbeck")); // the menu entry
    orm::RegisterLayoutFonts();
    orm::InstallInteraction();
    // What a killed run of either program left: its jobs' processes, scripts
    // and unfinished outputs.
    orm::EndLeftoversOfCrashedRuns();
    orm::SetErrorBoxCaption([] { return marbeck::msg(marbeck::Msg::MSG_APPLICATION_TITLE); });
    orm::SetShellOpenTexts([] { return marbeck::msg(marbeck::Msg::MSG_SHELL_OPEN_FAILED); },
                           [] { return marbeck::msg(marbeck::Msg::MSG_ERROR); });

    const QStringList arguments = QApplication::arguments();
    const auto family =
        arguments.size() > 1 ? marbeck::ParseDeviceFamily(arguments.at(1)) : std::nullopt;
    if (!family) {
        orm::ShowMessageBox(QStringLiteral("Start Ormolux with the device family to convert for:\n"
                                           "-3gp, -ipod, -psp or -all."),
                            marbeck::msg(marbeck::Msg::MSG_ERROR), orm::mb::kIconError);
        return 2;
    }

    marbeck::TGlobalVars &g = marbeck::globals();
    g.AppFolder = QString::fromStdString(orm::platform::programFolder());
    marbeck::SetDefaultSettings(g, *family,
                                QString::fromStdString(orm::platform::documentsFolder()),
                                buildLanguageFile(kBuildLanguage));
    try {
        marbeck::TfrmMain window;
        orm::OnTerminationRequest(&window, [&window] { window.close(); });
        if (!window.FormCreate())
            return window.exitCode();
        // Files after the family ("Open with" in a file manager) join the list as if dropped.
        window.listViewFiles()->DropFiles(CommandLineFiles(arguments.mid(2)));
        const int status = app.exec();
        return window.exitCode() ? window.exitCode() : status;
    } catch (const orm::Error &e) {
        orm::ShowMessageBox(e.text(), marbeck::msg(marbeck::Msg::MSG_APPLICATION_TITLE),
                            orm::mb::kIconError);
        return 1;
    }
}

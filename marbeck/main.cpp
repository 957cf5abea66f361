#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "shell/globalvars.h"
#include "shell/tfrmmain.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/ui/qtinteraction.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ormolux"));
    orm::RegisterLayoutFonts();
    orm::InstallInteraction();

    const QStringList arguments = QApplication::arguments();
    const auto family =
        arguments.size() > 1 ? marbeck::ParseDeviceFamily(arguments.at(1)) : std::nullopt;
    if (!family) {
        orm::ShowMessageBox(
            QStringLiteral("Start Ormolux with the device family to convert for:\n"
                           "-3gp, -ipod, -psp or -all."),
            marbeck::msg(marbeck::Msg::MSG_ERROR), orm::mb::kIconError);
        return 2;
    }

    marbeck::TGlobalVars &g = marbeck::globals();
    g.AppFolder = QString::fromStdString(orm::platform::programFolder());
    marbeck::SetDefaultSettings(g, *family,
                                QString::fromStdString(orm::platform::documentsFolder()));
    try {
        marbeck::TfrmMain window;
        window.show();
        return app.exec();
    } catch (const orm::Error &e) {
        orm::ShowMessageBox(e.text(), QStringLiteral("Ormolux"), orm::mb::kIconError);
        return 1;
    }
}

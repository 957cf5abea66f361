#include "platform/platform.h"
#include "shared/ui/qtinteraction.h"
#include "tfrmconvert.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    orm::RegisterLayoutFonts();
    orm::InstallInteraction();
    cordane::TfrmConvert window(QString::fromStdString(orm::platform::programFolder()));
    return app.exec();
}

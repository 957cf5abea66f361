#include "shared/interaction.h"
#include "shared/ui/qtinteraction.h"
#include "tfrmconvert.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    orm::RegisterLayoutFonts();
    orm::setInteraction(std::make_unique<orm::QtInteraction>());
    cordane::TfrmConvert window;
    window.show();
    return app.exec();
}

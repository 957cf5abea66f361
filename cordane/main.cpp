#include "platform/platform.h"
#include "shared/conversionjob.h"
#include "shared/ui/qtinteraction.h"
#include "shared/ui/termination.h"
#include "tfrmconvert.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The layout's fonts are registered by the window once its job has started.
    orm::InstallInteraction();
    // What a killed run of either program left: its jobs' processes, scripts
    // and unfinished outputs.
    orm::EndLeftoversOfCrashedRuns();
    cordane::TfrmConvert window(QString::fromStdString(orm::platform::programFolder()));
    orm::OnTerminationRequest(&window, [&window] { window.TerminationRequested(); });
    return app.exec();
}

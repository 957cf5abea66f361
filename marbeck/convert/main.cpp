// ormolux-convert: Marbeck's batch from a terminal, for scripts and servers.
#include "convertoptions.h"
#include "convertrun.h"
#include "platform/platform.h"
#include "shared/conversionjob.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ormolux"));
    const auto options = marbeck::ParseConvertArguments(QCoreApplication::arguments().mid(1));
    if (!options) {
        std::fprintf(stderr, "ormolux-convert: %s\nTry 'ormolux-convert --help'.\n",
                     qUtf8Printable(options.error()));
        return 2;
    }
    switch (options->mode) {
    case marbeck::ConvertMode::Help:
        std::fputs(qUtf8Printable(marbeck::ConvertUsageText()), stdout);
        return 0;
    case marbeck::ConvertMode::Version: std::printf("ormolux-convert %s\n", ORM_VERSION); return 0;
    default: break;
    }
    // What a killed run of any of the programs left: its jobs' processes,
    // scripts and unfinished outputs.
    orm::EndLeftoversOfCrashedRuns();
    return marbeck::RunConvert(*options, QString::fromStdString(orm::platform::programFolder()));
}

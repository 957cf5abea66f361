#include "jobcount.h"

#include "profilecatalogue.h"
#include "shared/commandtemplate.h"
#include "shared/ini.h"

#include <QRegularExpression>

#include <algorithm>

namespace marbeck {

namespace {

// Video encoders that use every core by default: frame or slice threads of
// their own.
bool spreadsOverCores(const QString &encoder)
{
    static const QStringList kThreaded = {
        "libx264", "libx265",    "libvpx",     "libvpx-vp9", "libaom-av1", "libsvtav1", "librav1e",
        "mpeg4",   "mpeg2video", "mpeg1video", "prores",     "prores_ks",  "dnxhd",     "ffv1",
    };
    return kThreaded.contains(encoder);
}

int threadsOf(const QString &command, int cores)
{
    static const QRegularExpression kThreads(
        QStringLiteral(R"((?:^|\s)-threads(?::v)?\s+"?(\d+))"));
    static const QRegularExpression kVideoEncoder(
        QStringLiteral(R"((?:^|\s)-(?:c|codec|vcodec)(?::v)?\s+"?([\w-]+))"));
    int threads = 1;
    for (auto it = kVideoEncoder.globalMatch(command); it.hasNext();) {
        if (spreadsOverCores(it.next().captured(1)))
            threads = cores;
    }
    // A limit the command sets itself wins (0 is the encoder's own choice).
    const QRegularExpressionMatch limit = kThreads.match(command);
    if (limit.hasMatch() && limit.captured(1).toInt() > 0)
        threads = limit.captured(1).toInt();
    return std::clamp(threads, 1, std::max(1, cores));
}

} // namespace

int AutomaticJobCount(int cores, int threadsPerJob)
{
    return std::max(1, std::max(1, cores) / std::max(1, threadsPerJob));
}

int ThreadsPerJob(const QStringList &commands, int cores)
{
    int threads = 1;
    for (const QString &command : commands)
        threads = std::max(threads, threadsOf(command, cores));
    return threads;
}

int PresetThreadsPerJob(const TProfileDetailItem &preset, int cores)
{
    const orm::IniFile profile(preset.FileName);
    QStringList commands;
    for (const QString &key : profile.keyNames(preset.Section)) {
        if (orm::IsCommandKey(key))
            commands << profile.readString(preset.Section, key, {});
    }
    return ThreadsPerJob(commands, cores);
}

} // namespace marbeck

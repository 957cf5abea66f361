// Bytes of the iPod 320x240 default preset against a peer's legacy iPod
// settings on the same natural-looking clip, with both SSIM values: the ratio
// counts only where our SSIM is not lower. The clip is 640x480, as sources are
// mostly larger than the iPod's screen, and the one the presets were tuned on.
#include "shared/batchscript.h"
#include "testclips.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

QByteArray outputOf(const QString &program, const QStringList &arguments, bool errorChannel)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return errorChannel ? process.readAllStandardError() : process.readAllStandardOutput();
}

qint64 videoBytes(const QString &file)
{
    const QByteArray json = outputOf("ffprobe",
                                     {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                      "packet=size", "-of", "json", file},
                                     false);
    qint64 bytes = 0;
    for (const QJsonValue p : QJsonDocument::fromJson(json).object()["packets"].toArray())
        bytes += p.toObject()["size"].toString().toLongLong();
    return bytes;
}

// SSIM of the file's picture against the source shown at the file's rate and
// size.
double ssimAgainst(const QString &encoder, const QString &file, const QString &source)
{
    const QList<QByteArray> stream =
        outputOf("ffprobe",
                 {"-v", "error", "-select_streams", "v:0", "-show_entries",
                  "stream=width,height,avg_frame_rate", "-of", "csv=p=0", file},
                 false)
            .trimmed()
            .split(',');
    if (stream.size() != 3)
        return 0;
    const QString width = QString::fromLatin1(stream[0]);
    const QString height = QString::fromLatin1(stream[1]);
    const QString rate = QString::fromLatin1(stream[2]);
    const QString graph = "[1:v]fps=" + rate + ",scale=" + width + ":" + height +
                          ",setsar=1[r];[0:v]setsar=1[m];[m][r]ssim";
    const QByteArray log = outputOf(
        encoder,
        {"-nostats", "-i", file, "-i", source, "-filter_complex", graph, "-f", "null", "-"}, true);
    const auto m =
        QRegularExpression(QStringLiteral("All:([0-9.]+)")).match(QString::fromLatin1(log));
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

// The reporter prints counters only, so a reason for skipping goes to stderr too.
void skip(benchmark::State &state, const char *reason)
{
    std::fprintf(stderr, "ipod_bytes_vs_peer_ratio: %s\n", reason);
    state.SkipWithError(reason);
}

void IpodBytesVsPeer(benchmark::State &state)
{
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    const QString encoder = stage + "/cores/avcore.dll";
    QTemporaryDir dir;
    const QString clip = dir.filePath("natural.mkv");
    using namespace orm::testclips;
    if (!MakeClip(encoder, clip,
                  {.size = {640, 480},
                   .picture = Picture::Natural,
                   .seconds = 20,
                   .codec = {"-c:v", "libx264", "-preset", "ultrafast", "-qp", "0", "-c:a",
                             "pcm_s16le"}})
             .ok)
        return skip(state, "no clip");

    orm::ScriptJob job;
    job.programFolder = dir.path();
    job.profileFile = stage + "/default_setting/Transcoding_iPod.ini";
    job.section = "Item0";
    job.values.AppPath = stage + "/";
    job.values.InputFile = clip;
    job.values.OutputPath = dir.path() + "/";
    job.values.OutputFile = dir.path() + "/ours.mp4";
    const QString script = orm::WriteJobScripts(job);
    const QString ours = dir.filePath("ours.mp4");
    const QString peer = dir.filePath("peer.mp4");
    for (auto _ : state) {
        if (std::system(("sh '" + script + "' > /dev/null 2>&1").toLocal8Bit().constData()) != 0)
            return skip(state, "our preset failed");
        QProcess process;
        process.start(encoder,
                      {"-y",         "-v",       "error",  "-i",   clip,   "-c:v", "libx264",
                       "-profile:v", "baseline", "-level", "1.3",  "-crf", "22",   "-maxrate",
                       "768k",       "-bufsize", "2000k",  "-r",   "30",   "-s",   "320x240",
                       "-c:a",       "aac",      "-f",     "ipod", peer});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            return skip(state, "the peer's settings failed");
    }
    const qint64 ourBytes = videoBytes(ours);
    const qint64 peerBytes = videoBytes(peer);
    if (ourBytes <= 0 || peerBytes <= 0)
        return skip(state, "no video");
    const double ourSsim = ssimAgainst(encoder, ours, clip);
    const double peerSsim = ssimAgainst(encoder, peer, clip);
    state.counters["ipod_bytes_vs_peer_ratio:ratio"] = double(ourBytes) / double(peerBytes);
    state.counters["ipod_ssim_ours:ssim"] = ourSsim;
    state.counters["ipod_ssim_peer:ssim"] = peerSsim;
    state.counters["ipod_ssim_not_lower:bool"] = ourSsim >= peerSsim ? 1 : 0;
}
BENCHMARK(IpodBytesVsPeer)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

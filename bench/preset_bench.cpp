// Bytes of the iPod 320x240 default preset against a peer's legacy iPod
// settings, at equal SSIM.
//
// The method. Each side encodes each clip at five quality points: ours is the
// shipped preset (Transcoding_iPod.ini [Item0]) expanded by the batch-script
// writer with its "-crf" moved by -6, -3, 0, +3 and +6; the peer runs its own
// settings as it runs them (the source's frame rate kept) at CRF 16 to 28. A
// point is the video stream's bytes and its SSIM: the encoder's mean over Y, U,
// V and all frames, against the source shown at the output's rate and size.
// The bit-rate cap makes the best points of a side pile up at the same bytes;
// a point that needs no fewer bytes than another of its side for no higher
// SSIM is dropped, so that each curve rises in both.
//
// "Equal SSIM": the two curves are compared at the same SSIM, taken in decibels
// (-10 log10(1 - SSIM)), with log bytes interpolated linearly between points.
// The overlap is the SSIM range that both curves cover, from the higher of
// their lowest points to the lower of their highest; the log of ours/peer
// bytes is averaged over it (as a BD-rate is) and turned back into a ratio.
// ipod_bytes_vs_peer_ratio is the geometric mean of the clips' ratios, each
// clip counting once. Curves that do not overlap give no figure: the
// benchmark is skipped with the reason.
#include "shared/batchscript.h"
#include "shared/ini.h"
#include "testclips.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using orm::testclips::ClipSpec;
using orm::testclips::Picture;

const QStringList kLosslessCodec = {"-c:v", "libx264", "-preset", "ultrafast",
                                    "-qp",  "0",       "-c:a",    "pcm_s16le"};

struct BenchClip {
    const char *name;
    ClipSpec spec;
};

// A PAL-sized picture with 16:15 pixels, cut from a larger one as a camera
// pans across it, with a scene cut every four seconds (the picture turned
// round and its colours shifted).
const char kPanAndCuts[] =
    "crop=720:576:'(iw-ow)*(0.5+0.5*sin(t*0.9))':'(ih-oh)*(0.5+0.5*cos(t*0.6))',"
    "rotate='PI*mod(floor(t/4),2)',hue=h='90*floor(t/4)',setsar=16/15";

const BenchClip kClips[] = {
    {"natural640",
     {.size = {640, 480}, .picture = Picture::Natural, .seconds = 20, .codec = kLosslessCodec}},
    {"pan576",
     {.size = {960, 720},
      .picture = Picture::Natural,
      .seconds = 20,
      .codec = QStringList{"-vf", kPanAndCuts} + kLosslessCodec}},
};

const int kCrfSteps[] = {-6, -3, 0, 3, 6};
const int kPeerCrf = 22;

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

struct RatePoint {
    double bytes;
    double ssim;
};

// SSIM in decibels against log bytes, rising in both.
using Curve = std::vector<std::pair<double, double>>;

Curve curveOf(std::vector<RatePoint> points)
{
    std::sort(points.begin(), points.end(), [](const RatePoint &a, const RatePoint &b) {
        return a.bytes != b.bytes ? a.bytes < b.bytes : a.ssim > b.ssim;
    });
    Curve curve;
    double best = 0;
    for (const RatePoint &p : points) {
        if (p.ssim > best && p.ssim < 1 && p.bytes > 0) {
            best = p.ssim;
            curve.emplace_back(-10 * std::log10(1 - p.ssim), std::log(p.bytes));
        }
    }
    return curve;
}

double logBytesAt(const Curve &curve, double db)
{
    for (size_t i = 1; i < curve.size(); ++i) {
        const auto [x0, y0] = curve[i - 1];
        const auto [x1, y1] = curve[i];
        if (db <= x1)
            return y0 + (y1 - y0) * (db - x0) / (x1 - x0);
    }
    return curve.back().second;
}

struct Comparison {
    double ratio; // ours/peer bytes, averaged in log over the overlap
    double lowDb; // the overlap
    double highDb;
};

std::optional<Comparison> compareAtEqualSsim(const Curve &ours, const Curve &peer)
{
    if (ours.size() < 2 || peer.size() < 2)
        return std::nullopt;
    const double low = std::max(ours.front().first, peer.front().first);
    const double high = std::min(ours.back().first, peer.back().first);
    if (!(high > low))
        return std::nullopt;
    // Between the two curves' points the difference is linear: trapezoids
    // over them integrate it exactly.
    std::vector<double> xs = {low, high};
    for (const Curve *c : {&ours, &peer}) {
        for (const auto &[x, y] : *c) {
            if (x > low && x < high)
                xs.push_back(x);
        }
    }
    std::sort(xs.begin(), xs.end());
    double area = 0;
    for (size_t i = 1; i < xs.size(); ++i) {
        const double d0 = logBytesAt(ours, xs[i - 1]) - logBytesAt(peer, xs[i - 1]);
        const double d1 = logBytesAt(ours, xs[i]) - logBytesAt(peer, xs[i]);
        area += (d0 + d1) / 2 * (xs[i] - xs[i - 1]);
    }
    return Comparison{std::exp(area / (high - low)), low, high};
}

double ssimOfDb(double db)
{
    return 1 - std::pow(10.0, -db / 10);
}

// The reporter prints counters only, so a reason for skipping goes to stderr too.
void skip(benchmark::State &state, const std::string &reason)
{
    std::fprintf(stderr, "ipod_bytes_vs_peer_ratio: %s\n", reason.c_str());
    state.SkipWithError(reason.c_str());
}

void IpodBytesVsPeer(benchmark::State &state)
{
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    const QString encoder = stage + "/cores/avcore.dll";
    const QString shippedFile = stage + "/default_setting/Transcoding_iPod.ini";
    QTemporaryDir dir;

    QFile shipped(shippedFile);
    if (!shipped.open(QIODevice::ReadOnly))
        return skip(state, "no shipped iPod preset");
    const QByteArray shippedBytes = shipped.readAll();
    const QString command =
        orm::IniFile::fromBytes(shippedBytes).readString(u"Item0", u"Command", {});
    const QRegularExpression crfOption(QStringLiteral("-crf ([0-9]+)"));
    const auto crfMatch = crfOption.match(command);
    if (!crfMatch.hasMatch())
        return skip(state, "the iPod preset has no -crf");
    const int shippedCrf = crfMatch.captured(1).toInt();

    // The preset with another CRF, in a copy of its file, through the script
    // writer and run as a job runs it.
    const QString presetCopy = dir.filePath("Transcoding_iPod.ini");
    auto encodeOurs = [&](const QString &clip, int crf, const QString &output) {
        orm::IniFile preset = orm::IniFile::fromBytes(shippedBytes, presetCopy);
        QString moved = command;
        moved.replace(crfOption, QStringLiteral("-crf %1").arg(crf));
        preset.writeString(u"Item0", u"Command", moved);
        preset.save();
        orm::ScriptJob job;
        job.programFolder = dir.path();
        job.profileFile = presetCopy;
        job.section = "Item0";
        job.values.AppPath = stage + "/";
        job.values.InputFile = clip;
        job.values.OutputPath = dir.path() + "/";
        job.values.OutputFile = output;
        const QString script = orm::WriteJobScripts(job);
        return std::system(("sh '" + script + "' > /dev/null 2>&1").toLocal8Bit().constData()) == 0;
    };
    auto encodePeer = [&](const QString &clip, int crf, const QString &output) {
        QProcess process;
        process.start(encoder, {"-y",
                                "-v",
                                "error",
                                "-i",
                                clip,
                                "-c:v",
                                "libx264",
                                "-profile:v",
                                "baseline",
                                "-level",
                                "1.3",
                                "-crf",
                                QString::number(crf),
                                "-maxrate",
                                "768k",
                                "-bufsize",
                                "2000k",
                                "-s",
                                "320x240",
                                "-c:a",
                                "aac",
                                "-f",
                                "ipod",
                                output});
        return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    };

    for (auto _ : state) {
        double logRatioSum = 0;
        for (const BenchClip &c : kClips) {
            const QString name = QString::fromLatin1(c.name);
            const QString clip = dir.filePath(name + ".mkv");
            if (!orm::testclips::MakeClip(encoder, clip, c.spec).ok)
                return skip(state, std::string("no clip ") + c.name);
            std::vector<RatePoint> ours;
            std::vector<RatePoint> peer;
            double oursShippedSsim = 0;
            double peerShippedSsim = 0;
            for (const int step : kCrfSteps) {
                const QString oursFile = dir.filePath(QStringLiteral("ours-%1.mp4").arg(step));
                const QString peerFile = dir.filePath(QStringLiteral("peer-%1.mp4").arg(step));
                QElapsedTimer timer;
                timer.start();
                if (!encodeOurs(clip, shippedCrf + step, oursFile))
                    return skip(state, "our preset failed");
                if (step == 0 && &c == &kClips[0])
                    state.counters["ipod_encode_natural640:s"] = timer.elapsed() / 1000.0;
                if (!encodePeer(clip, kPeerCrf + step, peerFile))
                    return skip(state, "the peer's settings failed");
                ours.push_back(
                    {double(videoBytes(oursFile)), ssimAgainst(encoder, oursFile, clip)});
                peer.push_back(
                    {double(videoBytes(peerFile)), ssimAgainst(encoder, peerFile, clip)});
                if (step == 0) {
                    oursShippedSsim = ours.back().ssim;
                    peerShippedSsim = peer.back().ssim;
                }
            }
            const auto compared = compareAtEqualSsim(curveOf(ours), curveOf(peer));
            if (!compared)
                return skip(state,
                            std::string("our and the peer's SSIM ranges do not overlap on ") +
                                c.name);
            logRatioSum += std::log(compared->ratio);
            const std::string clipName = c.name;
            state.counters["ipod_bytes_vs_peer_ratio_" + clipName + ":ratio"] = compared->ratio;
            state.counters["ipod_ssim_overlap_low_" + clipName + ":ssim"] =
                ssimOfDb(compared->lowDb);
            state.counters["ipod_ssim_overlap_high_" + clipName + ":ssim"] =
                ssimOfDb(compared->highDb);
            state.counters["ipod_ssim_ours_shipped_crf_" + clipName + ":ssim"] = oursShippedSsim;
            state.counters["ipod_ssim_peer_crf22_" + clipName + ":ssim"] = peerShippedSsim;
            QFile::remove(clip);
        }
        state.counters["ipod_bytes_vs_peer_ratio:ratio"] =
            std::exp(logRatioSum / double(std::size(kClips)));
    }
}
BENCHMARK(IpodBytesVsPeer)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

// Cordane started by the stand-in parent, against the same encode run
// directly; and how soon after its start Cordane's encoder runs.
#include "shared/batchscript.h"
#include "shared/utilfuncs.h"
#include "testclips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char **environ;

namespace {

double secondsOf(const QByteArray &command)
{
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.constData()) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CordaneOverhead(benchmark::State &state)
{
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mp4");
    using namespace orm::testclips;
    if (!MakeClip(stage + "/cores/avcore.dll", clip,
                  {.size = {640, 360}, .seconds = 20, .codec = h264Aac("ultrafast")})
             .ok)
        return state.SkipWithError("no clip");

    // The same command Cordane runs: its default profile's first preset.
    orm::ScriptJob job;
    job.programFolder = dir.path();
    job.profileFile = stage + "/default_setting/Transcoding_iPod.ini";
    job.section = "Item0";
    job.values.AppPath = stage + "/";
    job.values.InputFile = clip;
    job.values.OutputPath = dir.path() + "/";
    job.values.OutputFile = dir.path() + "/direct.mp4";
    const QString script = orm::WriteJobScripts(job);
    const QByteArray direct = ("sh '" + script + "' > /dev/null 2>&1").toLocal8Bit();
    const QByteArray viaCordane =
        ("QT_QPA_PLATFORM=offscreen ORM_ANSWER_DIALOGS=1 '" + stage + "/lanthorn-stub' '" + clip +
         "' '" + dir.path() + "/cordane.mp4' > /dev/null 2>&1")
            .toLocal8Bit();
    // Method: five pairs of runs, each the direct script and then the stand-in
    // parent with Cordane; the figure is the median of the pairs' ratios, so
    // that load which changes from pair to pair falls on both runs of a pair.
    // Goal: at most 1.05.
    std::vector<double> ratios;
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) {
            const double plain = secondsOf(direct);
            const double cordane = secondsOf(viaCordane);
            if (plain <= 0 || cordane <= 0)
                return state.SkipWithError("a run failed");
            ratios.push_back(cordane / plain);
        }
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["cordane_overhead_ratio:ratio"] = ratios[ratios.size() / 2];
}
BENCHMARK(CordaneOverhead)->Iterations(1)->Unit(benchmark::kSecond);

// A copy of the staged installation whose encoder is the stamp program:
// it notes the clock as it starts, then runs the real encoder.
bool makeStampedInstallation(const QString &stage, const QString &folder)
{
    bool ok = QDir().mkpath(folder + "/cores") && QDir().mkpath(folder + "/lang") &&
              QDir().mkpath(folder + "/default_setting");
    for (const char *file : {"Cordane", "ormolux-jobholder", "avs.dat", "cores/DirectShow.avs",
                             "default_setting/Transcoding_iPod.ini", "lang/english_Cordane.ini"})
        ok = ok && QFile::copy(stage + "/" + file, folder + "/" + file);
    return ok && QFile::copy(stage + "/cores/avcore.dll", folder + "/cores/avcore.dll.real") &&
           QFile::copy(QStringLiteral(ORM_EXEC_STAMP), folder + "/cores/avcore.dll");
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Method: Cordane's start to its encoder's exec. Cordane (offscreen, no parent:
// "Parent" 0) converts a 2 s 320x240 clip with its default preset (iPod, Item0)
// from a copy of the installation whose cores/avcore.dll is a stamp program
// that writes the clock (CLOCK_REALTIME) as it starts and then execs the real
// encoder. The clock is read again right before Cordane is spawned; the figure
// is the median of 10 runs in ms. Goal: at most 150.
void CordaneStart(benchmark::State &state)
{
    const QString stage = QStringLiteral(ORM_STAGE_DIR);
    QTemporaryDir dir;
    const QString app = dir.filePath("app");
    if (!makeStampedInstallation(stage, app))
        return state.SkipWithError("cannot copy the installation");
    const QString clip = dir.filePath("clip.mp4");
    using namespace orm::testclips;
    if (!MakeClip(stage + "/cores/avcore.dll", clip, {.seconds = 2, .codec = h264Aac()}).ok)
        return state.SkipWithError("no clip");

    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("ORM_ANSWER_DIALOGS="))
            environment.push_back(entry);
    }
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    environment.push_back("ORM_ANSWER_DIALOGS=1");
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = (app + "/Cordane").toStdString();
    char *argv[] = {program.data(), nullptr};

    const QString stamps = app + "/cores/avcore.dll.stamps";
    std::vector<double> ms;
    for (auto _ : state) {
        for (int run = 0; run < 10; ++run) {
            QFile::remove(stamps);
            const QString output = dir.filePath(QStringLiteral("out%1.mp4").arg(run));
            QFile handOff(app + "/lnh.ini");
            if (!handOff.open(QIODevice::WriteOnly))
                return state.SkipWithError("cannot write lnh.ini");
            handOff.write(("[ExternApp]\nParent=0\nTempFile=" + clip + "\nOutputFile=" + output +
                           "\n[config]\nLanguagePath=lang\\\nLanguageFileName=english.ini\n")
                              .toUtf8());
            handOff.close();
            const qint64 start = nowNs();
            pid_t pid = 0;
            if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
                return state.SkipWithError("cannot start Cordane");
            int status = 0;
            ::waitpid(pid, &status, 0);
            QFile stamp(stamps);
            if (!stamp.open(QIODevice::ReadOnly))
                return state.SkipWithError("the encoder did not run");
            ms.push_back(double(stamp.readLine().trimmed().toLongLong() - start) / 1e6);
            QFile::remove(output);
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["cordane_start_ms:ms"] = (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
}
BENCHMARK(CordaneStart)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

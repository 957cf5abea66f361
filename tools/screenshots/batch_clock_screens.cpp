// A real batch with the real encoder, its jobs reading their sources at
// their own pace, once with one job and once with two at a time: every
// second the progress window's times are logged, and pictures are taken
// early, halfway and late, to see that the times follow the clock.
// Arguments: the staged installation, the folder for the pictures.
#include "engine/batchdriver.h"
#include "engine/tfrmprogress.h"
#include "screenkit.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelistmodel.h"
#include "testclips.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace marbeck;

namespace {

void runBatch(const QString &stage, const QString &out, const QStringList &clips, int jobs)
{
    QTemporaryDir dir;
    QFile profile(stage + "/default_setting/3GPP_Phone.ini");
    if (!profile.open(QIODevice::ReadOnly))
        return;
    QByteArray text = profile.readAll();
    text.replace("avcore.dll -y -i", "avcore.dll -y -re -i");
    const QString slow = dir.filePath("slow.ini");
    QFile copy(slow);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(text) != text.size())
        return;
    copy.close();

    QWidget mainWindow;
    mainWindow.resize(760, 520);
    auto *list = new ListViewFiles(&mainWindow);
    list->setInputFileTypes({"Video=*.mp4"});
    list->resize(740, 400);
    mainWindow.show();
    for (const QString &clip : clips)
        list->AddFile(clip);
    BatchDriver driver(list->sources(), &mainWindow, list);
    BatchOptions options;
    options.programFolder = stage;
    options.simultaneousJobs = jobs;
    QDir().mkpath(dir.filePath("out"));

    QElapsedTimer clock;
    QTimer tick;
    int second = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        TfrmProgress *w = driver.progressWindow();
        if (!w)
            return;
        ++second;
        std::printf("%d jobs, %3d s: elapsed %s remaining %s estimated %s %s\n", jobs, second,
                    qPrintable(w->LabelBatchElapsed()->text()),
                    qPrintable(w->LabelBatchRemaining()->text()),
                    qPrintable(w->LabelBatchEstimated()->text()),
                    qPrintable(w->LabelBatch()->text()));
        std::fflush(stdout);
        if (second == 1 || second == 20 || second == 60)
            screenkit::save(
                w, QStringLiteral("%1/clock-%2jobs-%3s.png").arg(out).arg(jobs).arg(second));
    });
    QEventLoop loop;
    QObject::connect(&driver, &BatchDriver::batchFinished, &loop, &QEventLoop::quit);
    const TProfileDetailItem preset{slow, "Item0", "slow"};
    clock.start();
    driver.ActionConvertExecute(&preset, dir.filePath("out"), options);
    tick.start(1000);
    if (driver.Running())
        loop.exec();
    std::printf("%d jobs: batch took %.1f s, %d rows left\n", jobs, clock.elapsed() / 1000.0,
                int(list->sources().count()));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString stage = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QTemporaryDir clipsDir;
    QStringList clips;
    for (int i = 0; i < 6; ++i) {
        const QString clip = clipsDir.filePath(QStringLiteral("clip %1.mp4").arg(i + 1));
        orm::testclips::ClipSpec spec;
        spec.size = {320, 240};
        spec.seconds = 20 + 5 * (i % 2);
        if (!orm::testclips::MakeClip(stage + "/cores/avcore.dll", clip, spec).ok)
            return 1;
        clips << clip;
    }
    runBatch(stage, out, clips, 1);
    runBatch(stage, out, clips, 2);
    return 0;
}

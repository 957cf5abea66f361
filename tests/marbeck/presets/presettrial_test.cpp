// "Try" with the real encoder: the first seconds of a source through the
// edited preset, the output measured against its device; a preset that
// fails says why, and a source that cannot be read is named.
#include "presets/presettrial.h"
#include "shared/devicelimits.h"
#include "support/apps.h"
#include "support/media.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

TrialResult tryPreset(TrialSetup setup)
{
    testApp<QCoreApplication>();
    PresetTrial trial(std::move(setup));
    TrialResult result;
    QEventLoop loop;
    QObject::connect(&trial, &PresetTrial::finished, &loop, [&](const TrialResult &r) {
        result = r;
        loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    trial.start();
    loop.exec();
    EXPECT_FALSE(trial.running());
    if (result.converted) { // the output lives as long as the trial
        EXPECT_TRUE(QFileInfo::exists(result.outputFile));
    }
    return result;
}

PresetDraft shippedPreset(const QString &file, int index)
{
    return ProfileDraft::read(stageDir() + "/default_setting/" + file).presets.value(index);
}

} // namespace

TEST(PresetTrial, ConvertsTheFirstSecondsAndHoldsThemToTheDevice)
{
    const QString source = sharedNaturalClip("trial source.mp4", 8, {640, 480});
    const QList<orm::DeviceLimits> devices =
        orm::ReadDeviceLimits(stageDir() + "/" + QStringView(orm::kDeviceLimitsFile).toString());
    PresetDraft preset = shippedPreset("Transcoding_iPod.ini", 0);
    const auto limits = orm::LimitsOfPreset(devices, "Transcoding_iPod.ini", "Item0", {});
    ASSERT_TRUE(limits.has_value());

    const TrialResult ok = tryPreset({stageDir(), source, true, preset, limits, 3});
    ASSERT_TRUE(ok.converted) << ok.failureText.toStdString();
    EXPECT_TRUE(ok.outputFile.endsWith(".mp4"));
    EXPECT_NEAR(ok.facts.seconds, 3, 0.6);
    EXPECT_EQ(ok.facts.videoCodec, "h264");
    EXPECT_EQ(ok.facts.level, 13);
    EXPECT_FALSE(ok.checks.isEmpty());
    for (const orm::LimitCheck &c : ok.checks)
        EXPECT_TRUE(c.within) << int(c.kind) << " " << c.measured.toStdString();

    // The same preset edited past its device: the check says where.
    preset.commands[0].replace("-level 1.3", "-level 3.0");
    const TrialResult over = tryPreset({stageDir(), source, true, preset, limits, 3});
    ASSERT_TRUE(over.converted) << over.failureText.toStdString();
    bool levelOver = false;
    for (const orm::LimitCheck &c : over.checks)
        levelOver = levelOver || (c.kind == orm::LimitKind::Level && !c.within);
    EXPECT_TRUE(levelOver);
}

TEST(PresetTrial, AFailingPresetOrAnUnreadableSourceSaysWhy)
{
    const QString source = sharedNaturalClip("trial source.mp4", 8, {640, 480});
    PresetDraft preset = shippedPreset("MP4_H264.ini", 0);
    ASSERT_FALSE(preset.commands.isEmpty());
    preset.commands[0].replace("libx264", "no_such_codec");
    const TrialResult failed = tryPreset({stageDir(), source, true, preset, std::nullopt, 2});
    EXPECT_FALSE(failed.converted);
    EXPECT_FALSE(failed.failureText.isEmpty());

    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.mp4");
    writeFile(broken, QByteArray(4096, 'x'));
    const TrialResult unreadable =
        tryPreset({stageDir(), broken, true, shippedPreset("MP4_H264.ini", 0), std::nullopt, 2});
    EXPECT_FALSE(unreadable.converted);
    EXPECT_TRUE(unreadable.failureText.contains(broken)) << unreadable.failureText.toStdString();
}

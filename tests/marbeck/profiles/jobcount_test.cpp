// "Simultaneous conversions: Automatic": the jobs that keep the cores busy for
// what one job of a preset keeps busy.
#include "profiles/jobcount.h"
#include "profiles/profilecatalogue.h"
#include "support/testfiles.h"

#include <gtest/gtest.h>

using namespace marbeck;

TEST(AutomaticJobs, CoresOverThreadsPerJobAtLeastOne)
{
    EXPECT_EQ(AutomaticJobCount(8, 1), 8);
    EXPECT_EQ(AutomaticJobCount(8, 3), 2);
    EXPECT_EQ(AutomaticJobCount(8, 8), 1);
    EXPECT_EQ(AutomaticJobCount(2, 4), 1);
    EXPECT_EQ(AutomaticJobCount(0, 0), 1); // a system that names no cores
}

TEST(AutomaticJobs, ThreadsFollowTheVideoEncoderAndAnExplicitLimit)
{
    const QString h263 = "avcore.dll -i in -c:v h263 -c:a aac out.3gp";
    const QString x264 = "avcore.dll -i in -c:v libx264 -c:a aac out.mp4";
    struct Case {
        QStringList commands;
        int threads;
    };
    for (const Case &c : {
             Case{{h263}, 1},
             Case{{x264}, 8},
             Case{{"avcore.dll -i in -vn -c:a libmp3lame out.mp3"}, 1},
             Case{{"avcore.dll -i in -threads 2 -c:v libx264 out.mp4"}, 2},
             Case{{"avcore.dll -i in -c:v libx264 -threads 0 out.mp4"}, 8},
             Case{{"avcore.dll -i in -c:v h263 -threads 32 out.3gp"}, 8},
             // A job runs its commands in turn: the busiest counts.
             Case{{h263, "avcore.dll -i in -vcodec mpeg4 out.m4v"}, 8},
         }) {
        EXPECT_EQ(ThreadsPerJob(c.commands, 8), c.threads) << c.commands.join(" / ").toStdString();
    }
    // The shipped phone preset keeps one core busy; the H.264 one all of them.
    const QString folder = ormtest::stageDir() + "/default_setting/";
    EXPECT_EQ(PresetThreadsPerJob({folder + "3GPP_Phone.ini", "Item0", {}}, 8), 1);
    EXPECT_EQ(PresetThreadsPerJob({folder + "MP4_H264.ini", "Item0", {}}, 8), 8);
}

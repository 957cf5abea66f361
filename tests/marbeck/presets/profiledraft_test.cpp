// A profile as the editor holds it: read, copied into the user's folder,
// written and read back; the shipped files are never written; the device
// limits the copies keep.
#include "presets/profiledraft.h"
#include "shared/devicelimits.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

const QByteArray kShipped =
    "[Info]\r\nTitleE=iPod video\r\nDescriptionE=For the iPod.\r\n"
    "[Item0]\r\nTitleE=Small\r\nEXT=mp4\r\nNote=kept\r\n"
    "Command=\"\"<%AppPath%>/x\" -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"\"\r\n"
    "Command2=second\r\ncommand3=not a command\r\n"
    "[Item1]\r\nTitleE=Large\r\nEXT=mp4\r\nCommand=large\r\n";

struct Folders {
    QTemporaryDir dir;
    QString shipped = dir.filePath("default_setting/Transcoding_iPod.ini");
    QString user = dir.filePath("config/profiles");
    QString limits = dir.filePath("devicelimits.ini");
    Folders()
    {
        QDir().mkpath(dir.filePath("default_setting"));
        writeFile(shipped, kShipped);
        writeFile(limits, "[iPod small]\nPresets=Transcoding_iPod.ini:Item0\nVideoCodec=h264\n"
                          "MaxSize=320x240\nMaxFrameRate=30\nMaxAverageKbps=768\nPeakKbps=768\n"
                          "BufferKbit=2000\n");
    }
};

} // namespace

TEST(ProfileDraft, ACopyInTheUserFolderReadsBackAsItWasAndTheShippedFileStays)
{
    Folders f;
    const ProfileDraft shipped = ProfileDraft::read(f.shipped);
    ASSERT_EQ(shipped.presets.size(), 2);
    const PresetDraft &small = shipped.presets[0];
    // The reader's quote rule: one enclosing pair goes, inner quotes stay.
    EXPECT_EQ(
        small.commands,
        QStringList({"\"<%AppPath%>/x\" -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"", "second"}));
    EXPECT_EQ(small.otherKeys, QStringList({"Note=kept", "command3=not a command"}));

    UserProfiles user(f.user);
    EXPECT_FALSE(user.owns(f.shipped));
    ProfileDraft copy = CopyOfProfile(shipped, user.freePathFor(f.shipped), " (copy)", f.limits);
    EXPECT_EQ(copy.path, f.user + "/Transcoding_iPod.ini");
    EXPECT_EQ(copy.title, "iPod video (copy)");
    EXPECT_EQ(copy.presets[0].device, "iPod small");
    EXPECT_EQ(copy.presets[1].device, "");
    PresetDraft added;
    added.title = "New";
    added.commands = {"new one", " ", "two"};
    copy.presets.append(added);
    ASSERT_TRUE(user.save(copy).has_value());
    EXPECT_TRUE(user.owns(copy.path));
    EXPECT_EQ(readFile(f.shipped), kShipped);
    EXPECT_EQ(user.freePathFor(f.shipped), f.user + "/Transcoding_iPod (2).ini");
    // A copy of the copy: one suffix, the next number.
    const ProfileDraft second =
        CopyOfProfile(copy, user.freePathFor(copy.path), " (copy)", f.limits);
    EXPECT_EQ(second.title, copy.title);
    EXPECT_EQ(second.path, f.user + "/Transcoding_iPod (2).ini");

    const ProfileDraft back = ProfileDraft::read(copy.path);
    EXPECT_EQ(back.title, copy.title);
    EXPECT_EQ(back.description, "For the iPod.");
    ASSERT_EQ(back.presets.size(), 3);
    EXPECT_EQ(back.presets[0].commands, small.commands);
    EXPECT_EQ(back.presets[0].otherKeys, small.otherKeys);
    EXPECT_EQ(back.presets[0].device, "iPod small");
    EXPECT_EQ(back.presets[2].section, "Item2");
    EXPECT_EQ(back.presets[2].commands, QStringList({"new one", "two"}));

    // A shipped preset alone makes a profile of its own.
    const ProfileDraft one =
        CopyOfPreset(shipped, 1, user.freePathFor(f.shipped), " (copy)", f.limits);
    ASSERT_EQ(one.presets.size(), 1);
    EXPECT_EQ(one.presets[0].title, "Large");
    EXPECT_EQ(one.presets[0].section, "Item0");
}

TEST(ProfileDraft, NothingIsWrittenOutsideTheUserFolderOrThatWouldNotReadBack)
{
    Folders f;
    UserProfiles user(f.user);
    ProfileDraft shipped = ProfileDraft::read(f.shipped);
    shipped.title = "changed";
    EXPECT_FALSE(user.save(shipped).has_value());
    EXPECT_FALSE(user.remove(f.shipped));
    EXPECT_EQ(readFile(f.shipped), kShipped);

    ProfileDraft draft = CopyOfProfile(shipped, user.freePathFor(f.shipped), "", f.limits);
    draft.presets[0].title = "two\nlines";
    EXPECT_FALSE(user.save(draft).has_value());
    draft.presets[0].title = "one line";
    draft.presets[0].commands = {QString(2100, 'x')};
    const auto tooLong = user.save(draft);
    ASSERT_FALSE(tooLong.has_value());
    EXPECT_TRUE(tooLong.error().contains("2047"));
    EXPECT_FALSE(QFileInfo::exists(draft.path));
}

TEST(DeviceLimits, AShippedDevicePresetOrACopyNamingItsDeviceFindsItsLimits)
{
    const QList<orm::DeviceLimits> devices =
        orm::ReadDeviceLimits(stageDir() + "/" + QStringView(orm::kDeviceLimitsFile).toString());
    ASSERT_GE(devices.size(), 10);
    const auto ipod =
        orm::LimitsOfPreset(devices, "/x/default_setting_fr/Transcoding_iPod.ini", "Item0", {});
    ASSERT_TRUE(ipod.has_value());
    EXPECT_EQ(ipod->maxSize, QSize(320, 240));
    EXPECT_EQ(
        orm::LimitsOfPreset(devices, "/home/u/profiles/mine.ini", "Item0", ipod->device)->device,
        ipod->device);
    EXPECT_FALSE(orm::LimitsOfPreset(devices, "/x/MP4_H264.ini", "Item0", {}).has_value());

    orm::OutputFacts facts{.readable = true,
                           .bytes = 400000,
                           .seconds = 5,
                           .videoCodec = "h264",
                           .videoProfile = "Constrained Baseline",
                           .level = 13,
                           .referenceFrames = 7, // all that level 1.3 holds at 320x240
                           .size = {320, 240},
                           .frameRate = 25,
                           .videoKbps = 600,
                           .audioCodec = "aac",
                           .sampleRate = 44100,
                           .channels = 2};
    for (const orm::LimitCheck &c : orm::CheckLimits(*ipod, facts))
        EXPECT_TRUE(c.within) << int(c.kind);
    facts.size = {400, 240};
    facts.level = 30;
    facts.referenceFrames = 7; // the device's level holds 6 of the larger picture
    facts.videoKbps = 2000;    // beyond what the buffer's start covers over 5 s
    QList<orm::LimitKind> over;
    for (const orm::LimitCheck &c : orm::CheckLimits(*ipod, facts)) {
        if (!c.within)
            over << c.kind;
    }
    EXPECT_EQ(over, QList<orm::LimitKind>({orm::LimitKind::Level, orm::LimitKind::ReferenceFrames,
                                           orm::LimitKind::Size, orm::LimitKind::AverageRate}));

    EXPECT_EQ(orm::MaxH264ReferenceFrames(30, {640, 480}), 6);
    EXPECT_EQ(orm::MaxH264ReferenceFrames(31, {1280, 720}), 5);
    EXPECT_EQ(orm::MaxH264ReferenceFrames(40, {1920, 1080}), 4); // 1088 lines coded
    EXPECT_EQ(orm::MaxH264ReferenceFrames(12, {176, 144}), 16);
    EXPECT_EQ(orm::MaxH264ReferenceFrames(7, {320, 240}), 0);
}

#include "shared/utilfuncs.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace orm;

TEST(PathText, TrailingSeparatorRules)
{
    EXPECT_EQ(IncludeBackslash("/video"), u"/video/");
    EXPECT_EQ(IncludeBackslash("/video/"), u"/video/");
    EXPECT_EQ(IncludeBackslash("/video//"), u"/video//");
    EXPECT_EQ(ExcludeBackslash("/video/"), u"/video");
    EXPECT_EQ(ExcludeBackslash("/video"), u"/video");
}

TEST(PathText, FileNameParts)
{
    EXPECT_EQ(ExtractFileName("/in/holiday.avi"), u"holiday.avi");
    EXPECT_EQ(ExtractFilePath("/in/holiday.avi"), u"/in/");
    EXPECT_EQ(ExtractFileExt("/in/holiday.avi"), u".avi");
    EXPECT_EQ(ExtractFileExt("/in.d/clip"), u"");
    EXPECT_EQ(RemoveFileExt("/video/clip.part1.avi"), u"/video/clip.part1");
    EXPECT_EQ(RemoveFileExt("/video.d/clip"), u"/video.d/clip");
    // A colon is part of a file name here, not a drive.
    EXPECT_EQ(ExtractFileName("/in/take:2.avi"), u"take:2.avi");
}

TEST(PathText, ContainsSplitAndExtract)
{
    EXPECT_FALSE(ContainsText("", "abc"));
    EXPECT_TRUE(ContainsText("iPod", "Apple iPod video"));
    EXPECT_FALSE(ContainsText("psp", "PSP"));

    EXPECT_EQ(SplitText("a:b:", ":"), QStringList({"a", "b", ""}));
    EXPECT_EQ(SplitText("abc", ":"), QStringList({"abc"}));

    const QString progress =
        "frame=  50 fps=0.0 q=0.0 size= 0kB time=00:00:02.00 bitrate= 0.2kbits/s";
    EXPECT_EQ(ExtractBetween(progress, " time=", " "), u"00:00:02.00");
    EXPECT_EQ(ExtractBetween("x time=12.5", " time=", " "), u"");
    EXPECT_EQ(ExtractBetween("no marker", " time=", " "), u"");
    // An end marker right after the start marker is passed over.
    EXPECT_EQ(ExtractBetween("a time= 7.25 b", " time=", " "), u"7.25");
}

TEST(ClockTime, ParsesHoursMinutesSecondsWithoutOverflow)
{
    EXPECT_EQ(ParseClockTime("00:01:23.45"), 83450);
    EXPECT_EQ(ParseClockTime("01:00:00.00"), 3600000);
    EXPECT_EQ(ParseClockTime("00:01:40.00"), 100000);
    EXPECT_EQ(ParseClockTime("00:00:00.0025"), 2); // 2.5 ms, halves to even
    EXPECT_EQ(ParseClockTime("00:00:00.0035"), 4);
    EXPECT_EQ(ParseClockTime("xx:01:00.00"), 60000); // a bad piece counts as 0
    EXPECT_EQ(ParseClockTime("1000:00:00.00"), 3'600'000'000LL);
    const auto early = ParseClockTime("-577014:32:22.77");
    ASSERT_TRUE(early.has_value());
    EXPECT_LT(*early, 0);
    EXPECT_FALSE(ParseClockTime("83.45").has_value());
    EXPECT_FALSE(ParseClockTime("01:23").has_value());
    EXPECT_FALSE(ParseClockTime("N/A").has_value());
}

TEST(ClockTime, FormatsTimeOfDayInWholeSeconds)
{
    EXPECT_EQ(FormatClock(0), u"0:00:00");
    EXPECT_EQ(FormatClock(187'999), u"0:03:07");
    EXPECT_EQ(FormatClock(-187'000), u"0:03:07");
    EXPECT_EQ(FormatClock(13 * 3'600'000LL + 5'000), u"13:00:05");
    EXPECT_EQ(FormatClock(25 * 3'600'000LL), u"1:00:00");
}

TEST(Numbers, IntegerTextAsDataFilesWriteIt)
{
    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("-42"), -42);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("$20"), 32);
    EXPECT_EQ(ParseInteger("0x20"), 32);
    EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    for (const char *bad : {"", "20px", "0x", "$", "2147483648", "1.5", " 1", "0x1FFFFFFFF"})
        EXPECT_FALSE(ParseInteger(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(Numbers, RandomDigitsAreDigitsOfTheAskedCount)
{
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i) {
        const QString digits = RandomDigits(5);
        ASSERT_EQ(digits.size(), 5);
        for (const QChar c : digits)
            ASSERT_TRUE(c >= u'0' && c <= u'9') << digits.toStdString();
        seen.insert(digits);
    }
    EXPECT_GT(seen.size(), 40);
    EXPECT_EQ(RandomDigits(0), u"");
}

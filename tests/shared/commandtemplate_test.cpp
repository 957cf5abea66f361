#include "shared/commandtemplate.h"
#include "shared/ini.h"
#include "support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

using namespace orm;
using namespace ormtest;

namespace {

PlaceholderValues jobValues(const QString &source)
{
    PlaceholderValues v;
    v.AppPath = "/opt/conv";
    v.OutputPath = "/video/";
    v.OutputFile = "/video/" + source.section('/', -1);
    v.TemporaryFile = "/video/04817";
    v.RandomNumber3 = "123";
    v.RandomNumber5 = "98765";
    v.InputFile = source;
    return v;
}

// Runs the expanded line with /bin/sh and returns the words it printed, one a line.
QStringList wordsPrinted(const QString &line, const QString &folder)
{
    const QString script = folder + "/script.sh";
    writeFile(script, line.toUtf8() + "\n");
    const ProcessResult r = runProcess("/bin/sh", {script}, folder);
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    QStringList words = QString::fromUtf8(r.output).split('\n');
    words.removeLast();
    return words;
}

} // namespace

TEST(CommandTemplate, PlainPathsExpandAsWritten)
{
    const auto line = ExpandCommand(
        "<%AppPath%>/cores/avcore.dll -i <%InputFile%> <%OutputFile%>.mp4 <%TimeStamp%>x<%Title%>",
        jobValues("/in/clip.avi"));
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, u"/opt/conv/cores/avcore.dll -i /in/clip.avi /video/clip.mp4 x");

    EXPECT_EQ(*ExpandCommand("rm <%TemporaryFile%>", jobValues("/in/clip.avi")),
              u"rm /video/04817");
    EXPECT_EQ(
        *ExpandCommand("<%inputfile%> <%OUTPUTPATH%>M4V<%randomnumber5%>.MP4 <%RandomNumber3%>",
                       jobValues("/in/clip.part1.avi")),
        u"/in/clip.part1.avi /video/M4V98765.MP4 123");
    EXPECT_EQ(*ExpandCommand("\"<%OutputFile%>.mp4\"", jobValues("/in/clip.part1.avi")),
              u"\"/video/clip.part1.mp4\"");
    EXPECT_EQ(*ExpandCommand("<%OutputFile%>", jobValues("/in/clip")), u"/video/clip");
}

TEST(CommandTemplate, InsertedTextIsNotScannedAgain)
{
    const auto line = ExpandCommand("\"<%InputFile%>\" \"<%OutputFile%>.mp4\"",
                                    jobValues("/in/<%OutputPath%>.avi"));
    EXPECT_EQ(*line, u"\"/in/<%OutputPath%>.avi\" \"/video/<%OutputPath%>.mp4\"");
}

TEST(CommandTemplate, NamesWithShellCharactersReachTheCommandUnchanged)
{
    QTemporaryDir dir;
    const QStringList names = {"a$(touch PWNED)b.avi",
                               "it's \"here\".mp4",
                               "`touch PWNED`.avi",
                               "x;rm -rf y.avi",
                               "-i.avi",
                               "with  two spaces.avi",
                               QString::fromUtf8("Fête à Zürich ✓.mkv"),
                               "100% real.avi",
                               "back\\slash.avi",
                               "~tilde*?[a].avi",
                               "$HOME.avi",
                               "a'b'c.avi"};
    const QStringList templates = {
        "printf '%s\\n' \"<%InputFile%>\" \"<%OutputFile%>.mp4\" \"<%SourceName%>\"",
        "printf '%s\\n' <%InputFile%> <%OutputFile%>.mp4 <%SourceName%>",
        "printf '%s\\n' '<%InputFile%>' '<%OutputFile%>.mp4' '<%SourceName%>'"};
    for (const QString &name : names) {
        const QString source = dir.path() + "/in/" + name;
        for (const QString &t : templates) {
            const auto line = ExpandCommand(t, jobValues(source));
            ASSERT_TRUE(line.has_value()) << name.toStdString();
            const QStringList words = wordsPrinted(*line, dir.path());
            ASSERT_EQ(words.size(), 3) << line->toStdString();
            EXPECT_EQ(words[0], source) << t.toStdString();
            EXPECT_EQ(words[1], "/video/" + name.section('.', 0, -2) + ".mp4") << t.toStdString();
            // The title: no folder, no extension.
            EXPECT_EQ(words[2], name.section('.', 0, -2)) << t.toStdString();
        }
    }
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_NE(it.next().section('/', -1), u"PWNED");
}

TEST(CommandTemplate, ANameWithALineBreakIsRefused)
{
    const auto line = ExpandCommand("ffmpeg -i \"<%InputFile%>\"", jobValues("/in/two\nlines.avi"));
    ASSERT_FALSE(line.has_value());
    EXPECT_TRUE(line.error().contains("line break"));
    // A placeholder the template does not use does not matter.
    EXPECT_TRUE(ExpandCommand("echo <%OutputPath%>", jobValues("/in/two\nlines.avi")).has_value());
}

TEST(CommandTemplate, CommandKeysInFileOrder)
{
    EXPECT_TRUE(IsCommandKey("Command"));
    EXPECT_TRUE(IsCommandKey("CommandPass2"));
    EXPECT_FALSE(IsCommandKey("command3"));
    EXPECT_FALSE(IsCommandKey("Comman"));

    const IniFile profile = IniFile::fromBytes(
        "[Item0]\nTitleE=t\nCommand=first <%RandomNumber3%>\nOption=x\nCommand2=second\n"
        "command3=ignored\n[Item1]\nTitleE=none\n"
        "[Item2]\nCommand=\"quoted whole\"\nCommand1=\"/opt/x\" -i \"<%InputFile%>\" out\n");
    const auto values = jobValues("/in/clip.avi");
    EXPECT_EQ(*ExpandPreset(profile, "Item0", values), QStringList({"first 123", "second"}));
    EXPECT_EQ(*ExpandPreset(profile, "Item1", values), QStringList());
    EXPECT_EQ(*ExpandPreset(profile, "item2", values),
              QStringList({"quoted whole", "\"/opt/x\" -i \"/in/clip.avi\" out"}));
}

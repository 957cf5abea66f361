#include "shared/failurelog.h"
#include "support/scriptedinteraction.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orm;
using ormtest::Asked;

namespace {

FailureLog twoSources()
{
    FailureLog log;
    log.add("/videos/a.mp4", "a.mp4: Invalid data found when processing input\n");
    log.add("/videos/a.mp4", "a.mp4: Invalid data found when processing input"); // again
    log.add("/videos/a.mp4", "The encoder ended with exit status 1.");
    log.add("/videos/b c.avi", "first line\nsecond line");
    log.add("/videos/b c.avi", "   ");
    return log;
}

} // namespace

TEST(FailureLog, GroupsMessagesBySourceOnceEachAndIndentsThem)
{
    EXPECT_TRUE(FailureLog().isEmpty());
    EXPECT_EQ(twoSources().text(), "/videos/a.mp4\n"
                                   "    a.mp4: Invalid data found when processing input\n"
                                   "    The encoder ended with exit status 1.\n"
                                   "\n"
                                   "/videos/b c.avi\n"
                                   "    first line\n"
                                   "    second line\n");
    FailureLog blankOnly;
    blankOnly.add("/videos/a.mp4", "\n");
    EXPECT_TRUE(blankOnly.isEmpty());
}

TEST(FailureLog, TheLogIsWrittenEitherWayAndYesOpensIt)
{
    QTemporaryDir temp;
    const ormtest::EnvScope scope("XDG_RUNTIME_DIR", temp.path());
    const QString path = FailureLogPath();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(temp.path()).filePath("ormolux"));

    ormtest::ScriptedScope script;
    script->answers = {IdNo};
    OfferFailureLog(twoSources(), "View the log?", "Oops");
    ASSERT_EQ(script->asked.size(), 1);
    EXPECT_EQ(script->asked[0].flags, mb::kIconExclamation | mb::kYesNo);
    // Written before the question: the file never holds an older run's failures.
    EXPECT_TRUE(QString::fromUtf8(ormtest::readFile(path)).endsWith(twoSources().text()));

    script->asked.clear();
    script->answers = {IdYes};
    OfferFailureLog(twoSources(), "View the log?", "Oops");
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked[1].kind, Asked::ShellOpen);
    EXPECT_EQ(script->asked[1].text, path);
    const QString written = QString::fromUtf8(ormtest::readFile(path));
    EXPECT_TRUE(written.endsWith(twoSources().text())) << written.toStdString();
}

TEST(FailureLog, AnEmptyLogIsOnlyANoticeAndAnUnwritableOneIsReported)
{
    QTemporaryDir temp;
    ormtest::ScriptedScope script;
    {
        const ormtest::EnvScope scope("XDG_RUNTIME_DIR", temp.path());
        OfferFailureLog(FailureLog(), "View the log?", "Oops");
        ASSERT_EQ(script->asked.size(), 1);
        EXPECT_EQ(script->asked[0].flags, mb::kIconExclamation);
    }
    script->asked.clear();
    // A folder in the log's place cannot be replaced by a file.
    const ormtest::EnvScope scope("XDG_RUNTIME_DIR", temp.path());
    QFile::remove(FailureLogPath()); // the empty log written above
    ASSERT_TRUE(QDir().mkpath(FailureLogPath()));
    script->answers = {IdYes};
    OfferFailureLog(twoSources(), "View the log?", "Oops");
    ASSERT_EQ(script->asked.size(), 2);
    EXPECT_EQ(script->asked[1].kind, Asked::MessageBox);
    EXPECT_TRUE(script->asked[1].text.contains(FailureLogPath()))
        << script->asked[1].text.toStdString();
    EXPECT_EQ(script->asked[1].flags, mb::kIconError);
}

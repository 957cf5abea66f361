// The desktop notice at a batch's end, sent to a stand-in notification service
// on a private session bus: one notice with the counts, and no waiting for a
// service that is missing or hangs.
#include "lang/marbeckmessages.h"
#include "privatebus.h"
#include "shell/batchnotice.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingReply>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

TEST(BatchNotice, TextsGiveTheCountsAndHowTheBatchEndedInTheLoadedLanguage)
{
    BatchNoticeText text = BatchNoticeTextFor(3, 1, false);
    EXPECT_EQ(text.summary, u"Batch finished");
    EXPECT_EQ(text.body, u"3 converted, 1 failed");
    EXPECT_EQ(BatchNoticeTextFor(0, 2, true).summary, u"Batch stopped");

    messages().LoadLanguage(dataDir() + "/Skins/tools/lang/deutsch.ini");
    text = BatchNoticeTextFor(12, 0, true);
    EXPECT_EQ(text.summary, u"Umwandlung abgebrochen");
    EXPECT_EQ(text.body, u"12 umgewandelt, 0 fehlgeschlagen");
    messages().LoadLanguage(dataDir() + "/Skins/tools/lang/english.ini");
    EXPECT_EQ(BatchNoticeTextFor(1, 0, false).summary, u"Batch finished");
}

TEST(BatchNotice, OneNoticeWithTheCountsReachesTheService)
{
    testApp();
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon on this machine";
    ASSERT_TRUE(bus.startService(false));
    const QDBusConnection connection = bus.connect(QStringLiteral("notice"));
    ASSERT_TRUE(connection.isConnected());

    QDBusPendingReply<uint> reply = SendBatchNotice(BatchNoticeTextFor(3, 1, false), connection);
    ASSERT_TRUE(waitFor([&] { return reply.isFinished(); }, 10000));
    EXPECT_FALSE(reply.isError()) << qPrintable(reply.error().message());
    EXPECT_EQ(reply.value(), 1u);
    // The service printed its line before it answered; a second one would
    // follow at once.
    ASSERT_TRUE(waitFor([&] { return !bus.notices().isEmpty(); }, 10000));
    waitFor([&] { return bus.notices().size() > 1; }, 500);
    const QStringList notices = bus.notices();
    ASSERT_EQ(notices.size(), 1) << qPrintable(notices.join(u'\n'));
    EXPECT_EQ(notices.first(), u"notify\tOrmolux\tBatch finished\t3 converted, 1 failed");
    QDBusConnection::disconnectFromBus(QStringLiteral("notice"));
}

TEST(BatchNotice, AMissingOrHungServiceOrNoBusIsNotWaitedFor)
{
    testApp();
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon on this machine";
    const QDBusConnection connection = bus.connect(QStringLiteral("silent"));
    ASSERT_TRUE(connection.isConnected());

    // No service: the bus answers with an error, which is all that happens.
    QDBusPendingCall missing = SendBatchNotice(BatchNoticeTextFor(1, 0, false), connection);
    ASSERT_TRUE(waitFor([&] { return missing.isFinished(); }, 10000));
    EXPECT_EQ(missing.error().type(), QDBusError::ServiceUnknown);

    // A service that takes the call and never answers: the send has returned
    // while the call is still open.
    ASSERT_TRUE(bus.startService(true));
    QDBusPendingCall hung = SendBatchNotice(BatchNoticeTextFor(2, 0, false), connection);
    ASSERT_TRUE(waitFor([&] { return bus.notices().size() == 1; }, 10000));
    EXPECT_FALSE(hung.isFinished());
    QDBusConnection::disconnectFromBus(QStringLiteral("silent"));

    // No bus at all.
    const QTemporaryDir empty;
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + empty.filePath(QStringLiteral("no-bus")),
        QStringLiteral("none"));
    QDBusPendingCall unsent = SendBatchNotice(BatchNoticeTextFor(1, 1, false), none);
    EXPECT_TRUE(unsent.isFinished());
    EXPECT_TRUE(unsent.isError());
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

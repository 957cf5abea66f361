#include "batchnotice.h"

#include "lang/marbeckmessages.h"
#include "shared/resstr.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace marbeck {

BatchNoticeText BatchNoticeTextFor(int converted, int failed, bool stoppedNow)
{
    return {msg(stoppedNow ? Msg::MSG_NOTICE_STOPPED : Msg::MSG_NOTICE_FINISHED),
            orm::FormatMessage(msg(Msg::MSG_NOTICE_COUNTS),
                               {QString::number(converted), QString::number(failed)})};
}

QDBusPendingCall SendBatchNotice(const BatchNoticeText &text, const QDBusConnection &bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kNotificationsService), QString::fromLatin1(kNotificationsPath),
        QString::fromLatin1(kNotificationsService), QStringLiteral("Notify"));
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
    // expire_timeout); -1 leaves the time on screen to the service.
    call << msg(Msg::MSG_APPLICATION_TITLE) << quint32(0) << QStringLiteral("org.ormolux.Marbeck")
         << text.summary << text.body << QStringList() << QVariantMap() << qint32(-1);
    if (!bus.isConnected())
        return QDBusPendingCall::fromError(bus.lastError());
    // asyncCall only queues the message: a hanging service cannot hold the
    // main window, and a missing one answers with an error nobody reads.
    return bus.asyncCall(call);
}

QDBusPendingCall SendBatchNotice(const BatchNoticeText &text)
{
    return SendBatchNotice(text, QDBusConnection::sessionBus());
}

} // namespace marbeck

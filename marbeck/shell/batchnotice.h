#pragma once
// The desktop notice at the end of a batch, for a user who is looking at
// another window: how many sources were converted and how many failed, sent
// to the freedesktop.org notification service on the session bus. Without a
// bus or a service nothing happens: the call is not waited for, and its error
// answer is dropped.
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QString>

namespace marbeck {

struct BatchNoticeText {
    QString summary;
    QString body;
};

// The notice's texts in the loaded language: "finished" or, after "Stop now",
// "stopped", and both counters.
BatchNoticeText BatchNoticeTextFor(int converted, int failed, bool stoppedNow);

inline constexpr char kNotificationsService[] = "org.freedesktop.Notifications";
inline constexpr char kNotificationsPath[] = "/org/freedesktop/Notifications";

// Sends the notice on `bus` without waiting for the answer. The returned call
// is finished later (or never, by a service that hangs); it is only for tests.
// A bus that is not connected gives a finished call holding an error.
QDBusPendingCall SendBatchNotice(const BatchNoticeText &text, const QDBusConnection &bus);
// The same on the session bus; connecting to it happens once per process.
QDBusPendingCall SendBatchNotice(const BatchNoticeText &text);

} // namespace marbeck

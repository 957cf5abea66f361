#pragma once
// A session bus of a test's own (dbus-daemon) and, on it, the stand-in
// notification service that prints each Notify call it takes.
#include "support/testfiles.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace ormtest {

// A session bus of the test's own, ended with the test. The test program's
// application object must exist first.
struct PrivateBus {
    PrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted() || !waitFor([this] { return daemon.canReadLine(); }, 10000))
            return;
        address = QString::fromUtf8(daemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        service.kill();
        service.waitForFinished();
        daemon.kill();
        daemon.waitForFinished();
    }
    // The stand-in service; true once it owns the name.
    bool startService(bool hold)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        service.setProcessEnvironment(env);
        service.start(QStringLiteral(ORM_NOTIFICATION_STANDIN),
                      hold ? QStringList{QStringLiteral("--hold")} : QStringList{});
        if (!waitFor([this] { return service.canReadLine(); }, 10000))
            return false;
        return service.readLine().trimmed() == "ready";
    }
    // The Notify calls the service has printed so far.
    QStringList notices()
    {
        m_output += QString::fromUtf8(service.readAllStandardOutput());
        QStringList lines;
        for (const QString &line : m_output.split(u'\n'))
            if (line.startsWith(QStringLiteral("notify\t")))
                lines << line;
        return lines;
    }
    QDBusConnection connect(const QString &name) const
    {
        return QDBusConnection::connectToBus(address, name);
    }

    QProcess daemon, service;
    QString address;

private:
    QString m_output;
};

} // namespace ormtest

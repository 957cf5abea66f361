// A stand-in for the desktop's notification service on a private session bus.
// Prints "ready" once it owns the service's name, then one line per Notify
// call: "notify<TAB>app<TAB>summary<TAB>body". With --hold it never answers a
// call, as a hung service would.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class Notifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit Notifications(bool hold) : m_hold(hold) {}

public slots:
    uint Notify(const QString &appName, uint /*replacesId*/, const QString & /*appIcon*/,
                const QString &summary, const QString &body, const QStringList & /*actions*/,
                const QVariantMap & /*hints*/, int /*expireTimeout*/)
    {
        printLine(QStringLiteral("notify\t%1\t%2\t%3").arg(appName, summary, body));
        if (m_hold)
            setDelayedReply(true); // and never sent
        return ++m_lastId;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }

private:
    bool m_hold;
    uint m_lastId = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications service(app.arguments().contains(QStringLiteral("--hold")));
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "cannot serve on the session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    printLine(QStringLiteral("ready"));
    return app.exec();
}

#include "notificationstandin.moc"

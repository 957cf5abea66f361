// Stands in for the parent application that hands Cordane one file to convert:
//
//   lanthorn-stub [--profile REL_PATH] [--preset SECTION] [--language english.ini] INPUT OUTPUT
//
// It writes lnh.ini where Cordane reads it (beside Cordane when that folder is
// writable, else the user's configuration folder), listens for the
// completion notice, starts Cordane, answers the notice, and prints what came
// back: the result and the file Cordane wrote. Cordane holds its connection
// while it runs: one that closes without a notice (Cordane was killed
// outright) is counted as "closed". It exits as soon as Cordane has ended and
// every connection has either noticed or closed. Exit status 0 only for the
// complete result with exactly one notice.
#include "cordane/cordanemessages.h"
#include "cordane/handoff.h"
#include "cordane/parentnotice.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <utility>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString profile, preset, language = QStringLiteral("english.ini");
    while (args.size() > 2 && args.front().startsWith(u"--")) {
        const QString option = args.takeFirst();
        const QString value = args.takeFirst();
        if (option == u"--profile")
            profile = value;
        else if (option == u"--preset")
            preset = value;
        else if (option == u"--language")
            language = value;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: lanthorn-stub [--profile REL_PATH] [--preset SECTION] "
                             "[--language english.ini] INPUT OUTPUT\n");
        return 2;
    }
    const QString folder = QCoreApplication::applicationDirPath();
    const QString handOff = orm::UserFolders(folder).settingsFile(cordane::kHandOffFileName);
    const qint64 parent = QCoreApplication::applicationPid();

    orm::IniFile ini(handOff);
    ini.writeInteger(u"ExternApp", u"Parent", qint32(parent));
    const struct {
        const char16_t *section, *key;
        QString value;
    } values[] = {
        {u"ExternApp", u"TempFile", QFileInfo(args[0]).absoluteFilePath()},
        {u"ExternApp", u"OutputFile", QFileInfo(args[1]).absoluteFilePath()},
        {u"ExternApp", u"ProfilePath",
         profile.isEmpty() ? cordane::kDefaultProfile.toString() : profile},
        {u"ExternApp", u"ProfileItem",
         preset.isEmpty() ? cordane::kDefaultPreset.toString() : preset},
        {u"ExternApp", u"RipResult", {}},
        {u"config", u"LanguagePath", QStringLiteral("lang\\")},
        {u"config", u"LanguageFileName", language},
    };
    // A value cut or changed on its way would make Cordane convert another file.
    bool written = true;
    for (const auto &[section, key, value] : values) {
        if (!ini.writeString(section, key, value)) {
            std::fprintf(stderr, "%s holds a line break and cannot be handed over in %s\n",
                         qPrintable(QString::fromUtf16(key)), qPrintable(handOff));
            written = false;
        }
    }
    if (!written)
        return 2;
    try {
        ini.save();
    } catch (const orm::Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 2;
    }

    const QString socketPath = cordane::ParentSocketPath(parent);
    QLocalServer::removeServer(socketPath);
    QLocalServer server;
    if (!server.listen(socketPath)) {
        std::fprintf(stderr, "cannot listen on %s\n", qPrintable(socketPath));
        return 2;
    }
    int notices = 0;
    int closedWithoutNotice = 0;
    int waitingClients = 0; // connected, neither noticed nor closed yet
    bool cordaneEnded = false;
    QString result, outputFile;
    const auto quitWhenDone = [&] {
        if (cordaneEnded && waitingClients == 0)
            app.quit();
    };
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        QLocalSocket *client = server.nextPendingConnection();
        auto noticed = std::make_shared<bool>(false);
        ++waitingClients;
        QObject::connect(client, &QLocalSocket::readyRead, [&, client, noticed] {
            while (client->canReadLine()) {
                const QByteArray line = client->readLine().trimmed();
                if (line != QByteArray::number(cordane::kConvertDone) + " 0 0")
                    continue;
                ++notices;
                // The result is in the file before the notice comes.
                const orm::IniFile ini(handOff);
                result = ini.readString(u"ExternApp", u"RipResult", {});
                outputFile = ini.readString(u"ExternApp", u"RipOutputFile", {});
                client->write("ok\n");
                client->flush();
                if (!std::exchange(*noticed, true))
                    --waitingClients;
            }
        });
        QObject::connect(client, &QLocalSocket::disconnected, client, [&, client, noticed] {
            if (!*noticed) {
                ++closedWithoutNotice;
                --waitingClients;
            }
            client->deleteLater();
            quitWhenDone();
        });
    });

    QProcess cordane;
    cordane.setProcessChannelMode(QProcess::ForwardedChannels);
    // Cordane answers for itself before it ends, so at its end only a
    // connection whose close is still on its way can be outstanding; a
    // second at most is waited for it.
    QObject::connect(&cordane, &QProcess::finished, &app, [&] {
        cordaneEnded = true;
        quitWhenDone();
        QTimer::singleShot(1000, &app, [&] { app.quit(); });
    });
    QObject::connect(&cordane, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(cordane.program()));
            app.exit(2);
        }
    });
    cordane.start(folder + QStringLiteral("/Cordane"), {});
    const qint64 cordanePid = cordane.processId();
    const int status = app.exec();
    if (status == 2)
        return 2;

    cordane::messages().LoadLanguage(
        cordane::CordaneLanguageFile(folder, QStringLiteral("lang\\"), language));
    const QString complete = cordane::msg(cordane::Msg::MSG_CONVERT_COMPLETE);
    std::printf("RipResult=%s\nRipOutputFile=%s\nnotices=%d\nclosed=%d\ncordane=%lld\n",
                result.toUtf8().constData(), outputFile.toUtf8().constData(), notices,
                closedWithoutNotice, static_cast<long long>(cordanePid));
    std::fflush(stdout);
    return result == complete && notices == 1 ? 0 : 1;
}

#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace ormtest {

QString stageDir()
{
    return QStringLiteral(ORM_STAGE_DIR);
}

void copyStagedSkin(const QString &appFolder)
{
    const QDir from(stageDir() + QStringLiteral("/Skins/tools/skin"));
    const QString to = appFolder + QStringLiteral("/Skins/tools/skin");
    QDir().mkpath(to);
    for (const QString &name : from.entryList(QDir::Files))
        QFile::copy(from.filePath(name), to + u'/' + name);
}
QString dataDir()
{
    return QStringLiteral(ORM_DATA_DIR);
}

EnvScope::EnvScope(const char *name, const QString &value)
    : m_name(name), m_saved(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
{
    qputenv(name, QFile::encodeName(value));
}

EnvScope::~EnvScope()
{
    if (m_wasSet)
        qputenv(m_name, m_saved);
    else
        qunsetenv(m_name);
}

bool encoderRunning(const QString &folder)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        if (QFileInfo("/proc/" + pid + "/exe").symLinkTarget().startsWith(folder) &&
            readFile("/proc/" + pid + "/stat").split(' ').value(2) != "Z")
            return true;
    }
    return false;
}

QList<int> processesInGroup(int group)
{
    QList<int> pids;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        const QByteArray stat = readFile("/proc/" + entry + "/stat");
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        // fields: state, ppid, pgrp, ...
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            pids << pid;
    }
    return pids;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

ProcessResult runProcess(const QString &program, const QStringList &arguments,
                         const QString &workingDirectory, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(10000))
        return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = process.readAll();
        return result;
    }
    result.output = process.readAll();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace ormtest

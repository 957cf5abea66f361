#include "userfolders.h"

#include "platform/processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace orm {

namespace {
constexpr auto kFolderName = u"ormolux";
constexpr auto kJobFilesPrefix = u"jobs-";

// A folder only this user can enter: in a shared temporary folder another
// user must not be able to put a script in our place.
bool isPrivateFolder(const QByteArray &path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

QString privateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700); // an existing one is checked below
    if (isPrivateFolder(native))
        return path;
    // Someone else's folder (or a link) under our name: one of our own beside it.
    const QString own = path + u'-' + QString::number(::getpid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return own;
}

QString inFolder(const QString &folder, QStringView name)
{
    return QDir(folder).filePath(name.toString());
}
} // namespace

UserFolders::UserFolders(const QString &programFolder)
    : m_programFolder(programFolder),
      m_portable(::access(QFile::encodeName(programFolder).constData(), W_OK) == 0 &&
                 !QFileInfo::exists(inFolder(programFolder, kInstallMark)))
{
}

QString UserFolders::settingsFile(QStringView name) const
{
    if (m_portable)
        return inFolder(m_programFolder, name);
    const QString folder = configFolder();
    QDir().mkpath(folder);
    return inFolder(folder, name);
}

QString UserFolders::userProfileFolder() const
{
    return inFolder(m_portable ? m_programFolder : configFolder(), u"profiles");
}

QString UserFolders::scriptFile(QStringView name) const
{
    return inFolder(jobFilesFolder(), name);
}

QString UserFolders::handOffFile(QStringView name) const
{
    const QString beside = inFolder(m_programFolder, name);
    if (QFileInfo::exists(beside))
        return beside;
    // With no file anywhere (a start without a parent) a portable copy keeps
    // even that result beside itself.
    const QString users = inFolder(configFolder(), name);
    return QFileInfo::exists(users) || !m_portable ? users : beside;
}

QString UserFolders::configFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The variable names an absolute path or is to be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::home().filePath(QStringLiteral(".config"));
    return inFolder(base, kFolderName);
}

QString UserFolders::runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return privateFolder(inFolder(runtime, kFolderName));
    return privateFolder(inFolder(QDir::tempPath(), QString::fromUtf16(kFolderName) + u'-' +
                                                        QString::number(::geteuid())));
}

} // namespace orm

namespace orm {

QString UserFolders::jobFilesFolder()
{
    static const QString name = [] {
        const qint64 pid = ::getpid();
        const auto start = platform::processStartTime(int(pid));
        return QString::fromUtf16(kJobFilesPrefix) + QString::number(pid) + u'-' +
               QString::number(start.value_or(0));
    }();
    const QString folder = inFolder(runtimeFolder(), name);
    // Made again when something removed it meanwhile.
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    // A program that ends normally takes its folder with it once it is empty
    // (its jobs' files are removed as each job ends).
    static const struct Remover {
        QByteArray path;
        ~Remover() { ::rmdir(path.constData()); }
    } remover{QFile::encodeName(folder)};
    return folder;
}

int UserFolders::removeLeftoverJobFiles()
{
    static const QRegularExpression pattern(QStringLiteral("^jobs-(\\d+)-(\\d+)$"));
    const QDir runtime(runtimeFolder());
    int removed = 0;
    for (const QString &name : runtime.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const auto match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const int pid = match.captured(1).toInt();
        const auto start = platform::processStartTime(pid);
        if (start && QString::number(*start) == match.captured(2) && !platform::isZombie(pid))
            continue; // that process still runs
        if (QDir(runtime.filePath(name)).removeRecursively())
            ++removed;
    }
    return removed;
}

} // namespace orm

#pragma once
// Files for tests: a temporary folder, writing and reading bytes, running a process.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace ormtest {

QString stageDir();
QString dataDir();

// Copies the staged skin folder into a test installation at the program folder.
void copyStagedSkin(const QString &appFolder);

// Sets an environment variable for the lifetime of the scope.
class EnvScope {
public:
    EnvScope(const char *name, const QString &value);
    ~EnvScope();
    EnvScope(const EnvScope &) = delete;
    EnvScope &operator=(const EnvScope &) = delete;

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

struct ProcessResult {
    int exitCode = -1;
    QByteArray output; // standard output and error together
};
// A program run from the folder (an encoder of ours) that is still alive.
bool encoderRunning(const QString &folder);
// The live (not yet ended) processes whose process group is `group`.
QList<int> processesInGroup(int group);
// Waits, processing events, until `done` or `ms` have passed; returns `done()`.
bool waitFor(const std::function<bool()> &done, int ms = 5000);

ProcessResult runProcess(const QString &program, const QStringList &arguments,
                         const QString &workingDirectory = {}, int timeoutMs = 120000);

} // namespace ormtest

#pragma once
// Where a program writes its files. A program folder the user can write (the
// staged or a portable copy) keeps settings beside the program. An installed
// copy (a folder the user cannot write, or one holding the install mark) keeps
// them in $XDG_CONFIG_HOME/ormolux/. Generated scripts always go to a folder
// of the running process in the user's runtime folder, so that two programs
// started from one folder never run each other's scripts.
#include <QString>
#include <QStringView>

namespace orm {

// The file the install rules put beside the programs: even a user who can
// write there (root) then keeps settings in his own folder, so nothing is
// left behind in a packaged folder.
inline constexpr auto kInstallMark = u"installed.txt";

class UserFolders {
public:
    explicit UserFolders(const QString &programFolder);

    // True when files are written beside the program.
    bool isPortable() const { return m_portable; }

    // Settings ("vuzu.ini", window places): the program folder, else the
    // user's configuration folder, made when missing.
    QString settingsFile(QStringView name) const;
    // The user's own profiles, in the same format as the shipped ones:
    // "profiles" beside the settings. Not made here; a missing folder simply
    // holds no profiles. Shipped profile folders are never written.
    QString userProfileFolder() const;
    // Generated scripts: in jobFilesFolder().
    QString scriptFile(QStringView name) const;
    // A file the parent hands over: the program folder's when present there,
    // else the one in the user's configuration folder; with neither there,
    // where settingsFile() would put it.
    QString handOffFile(QStringView name) const;

    // $XDG_CONFIG_HOME/ormolux (~/.config/ormolux when unset).
    static QString configFolder();
    // $XDG_RUNTIME_DIR/ormolux, or ormolux-<user id> in the temporary folder;
    // made private to the user when missing. Holds the failure log too.
    static QString runtimeFolder();
    // This process's own folder for job files, "jobs-<process id>-<start
    // time>" in runtimeFolder(), made on first use.
    static QString jobFilesFolder();
    // Removes the job-file folders of processes that are gone (a crashed
    // run's scripts); a folder whose process still runs, by id and start
    // time, stays. Returns how many went.
    static int removeLeftoverJobFiles();

private:
    QString m_programFolder;
    bool m_portable;
};

} // namespace orm

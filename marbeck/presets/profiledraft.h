#pragma once
// A profile file as the preset editor holds it: its title and description
// and each preset's title, extension, command lines and device, changed in
// memory and written whole. Only files in the user's profile folder are ever
// written or removed; the shipped folders are copied from, never changed.
#include <QList>
#include <QString>
#include <QStringList>

#include <tl/expected.hpp>

#include <optional>

namespace marbeck {

struct PresetDraft {
    QString section; // its section in the file; empty until saved
    QString title;
    QString extension;    // without the dot
    QStringList commands; // one line of the job's script each
    QString device;       // the device whose limits a copy of a device preset keeps
    // Keys of the section the editor does not know, as "name=value", kept.
    QStringList otherKeys;
};

struct ProfileDraft {
    QString path;
    QString title;
    QString description;
    QList<PresetDraft> presets;

    // The presets and their command keys in file order; a missing file gives
    // an empty draft with its path.
    static ProfileDraft read(const QString &path);
    // The file's text: [Info], then one [ItemN] per preset in order, each
    // keeping its section name or taking the next free one, commands as
    // Command, Command2, ... Why it cannot be written (a line break or an
    // over-long value) instead.
    tl::expected<QByteArray, QString> toBytes() const;
};

class UserProfiles {
public:
    explicit UserProfiles(QString folder);

    const QString &folder() const { return m_folder; }
    // The file lies in the user's profile folder, so the editor may change it.
    bool owns(const QString &profilePath) const;

    // A free file name in the folder for a profile copied from `from`:
    // "iPod_Classic.ini", then "iPod_Classic (2).ini", ...
    QString freePathFor(const QString &from) const;
    // Writes the draft to its path, which must lie in the folder (made when
    // missing). The error says why not.
    tl::expected<void, QString> save(const ProfileDraft &draft) const;
    // Removes a profile of the folder; a file elsewhere is left alone.
    bool remove(const QString &profilePath) const;

private:
    QString m_folder;
};

// "Duplicate Profile": a copy of the whole profile for the user's folder,
// with `titleSuffix` after its title so it lands in the same family and can
// be told apart, each device preset naming its device. Not yet written.
ProfileDraft CopyOfProfile(const ProfileDraft &from, const QString &newPath,
                           const QString &titleSuffix, const QString &deviceLimitsFile);
// "Duplicate Preset" of a shipped profile: a new user profile holding only
// that preset (its device named), titled as the profile with the suffix.
ProfileDraft CopyOfPreset(const ProfileDraft &from, int preset, const QString &newPath,
                          const QString &titleSuffix, const QString &deviceLimitsFile);

// A copy's title: the suffix once, also for a copy of a copy.
QString WithSuffix(const QString &title, const QString &suffix);

// The placeholders a command line can hold, for the editor's menu.
QStringList PlaceholderNames();

} // namespace marbeck

#pragma once
// The profiles a command line can name: the shipped profile folder of the
// chosen language and the user's own profile folder, found by file name,
// path or title, with their presets by section or title.
#include "profiles/profilecatalogue.h"

#include <QList>
#include <QString>

#include <optional>

namespace marbeck {

struct ListedProfile {
    TProfileItem entry;
    bool user = false; // from the user's profile folder
};

// Every profile of the folders, the user's first; each folder's by file
// name. A missing folder adds nothing.
QList<ListedProfile> ListAllProfiles(const QString &shippedFolder, const QString &userFolder);

// A path to a profile file, or the file name or the title of a listed
// profile, letter case aside; file names are matched before titles.
std::optional<ListedProfile> FindProfile(const QString &name, const QList<ListedProfile> &profiles);

// A preset by its section ("Item2") or its title, letter case aside.
std::optional<TProfileDetailItem> FindPreset(const QString &name,
                                             const QList<TProfileDetailItem> &presets);

// --list: a line per profile ("file: title [shipped|yours]"), then one per
// preset, indented ("  Item0: title").
QString ProfileListText(const QList<ListedProfile> &profiles);

} // namespace marbeck

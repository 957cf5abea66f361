#include "profilelookup.h"

#include <QFileInfo>

#include <algorithm>

namespace marbeck {

namespace {

QList<ListedProfile> profilesOf(const QString &folder, bool user)
{
    QList<ListedProfile> listed;
    if (folder.isEmpty())
        return listed;
    const auto catalogue =
        user ? ProfileCatalogue::ListUserProfiles(folder) : ProfileCatalogue::ListProfiles(folder);
    if (!catalogue)
        return listed;
    for (int family = 0; family < kFamilyCount; ++family) {
        for (const TProfileItem &item : catalogue->family(FormatType(family)))
            listed.append({item, user});
    }
    std::sort(listed.begin(), listed.end(), [](const ListedProfile &a, const ListedProfile &b) {
        return QFileInfo(a.entry.FileName)
                   .fileName()
                   .compare(QFileInfo(b.entry.FileName).fileName(), Qt::CaseInsensitive) < 0;
    });
    return listed;
}

} // namespace

QList<ListedProfile> ListAllProfiles(const QString &shippedFolder, const QString &userFolder)
{
    return profilesOf(userFolder, true) + profilesOf(shippedFolder, false);
}

std::optional<ListedProfile> FindProfile(const QString &name, const QList<ListedProfile> &profiles)
{
    if (name.contains(u'/') && QFileInfo(name).isFile()) {
        const QString path = QFileInfo(name).absoluteFilePath();
        return ListedProfile{ProfileCatalogue::LoadProfileEntry(path), false};
    }
    for (const ListedProfile &p : profiles) {
        if (QFileInfo(p.entry.FileName).fileName().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    for (const ListedProfile &p : profiles) {
        if (p.entry.Title.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    return std::nullopt;
}

std::optional<TProfileDetailItem> FindPreset(const QString &name,
                                             const QList<TProfileDetailItem> &presets)
{
    for (const TProfileDetailItem &p : presets) {
        if (p.Section.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    for (const TProfileDetailItem &p : presets) {
        if (p.Title.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    return std::nullopt;
}

QString ProfileListText(const QList<ListedProfile> &profiles)
{
    QString text;
    for (const ListedProfile &p : profiles) {
        text += QStringLiteral("%1: %2 [%3]\n")
                    .arg(QFileInfo(p.entry.FileName).fileName(), p.entry.Title,
                         p.user ? QStringLiteral("yours") : QStringLiteral("shipped"));
        for (const TProfileDetailItem &preset : LoadProfileItems(p.entry.FileName).presets)
            text += QStringLiteral("  %1: %2\n").arg(preset.Section, preset.Title);
    }
    return text;
}

} // namespace marbeck

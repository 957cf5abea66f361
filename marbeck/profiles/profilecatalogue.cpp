#include "profilecatalogue.h"

#include "platform/platform.h"
#include "shared/ini.h"
#include "shared/utilfuncs.h"

#include <QDir>
#include <QDirIterator>
#include <QLoggingCategory>

#include <algorithm>

namespace marbeck {

FormatType ClassifyProfile(const QString &title)
{
    if (orm::ContainsText(QStringLiteral("3GPP"), title) ||
        orm::ContainsText(QStringLiteral("3GP2"), title))
        return Format3GP;
    if (orm::ContainsText(QStringLiteral("iPod"), title))
        return FormatiPod;
    if (orm::ContainsText(QStringLiteral("PSP"), title))
        return FormatPSP;
    return FormatOther;
}

QString ProfileFolderForLanguage(const QString &languageFile, const QString &current)
{
    const QString lower = languageFile.toLower();
    if (lower == u"english.ini")
        return QStringLiteral("default_setting");
    if (lower == u"french.ini")
        return QStringLiteral("default_setting_fr");
    if (lower == u"deutsch.ini")
        return QStringLiteral("default_setting_de");
    if (lower == u"italian.ini")
        return QStringLiteral("default_setting_it");
    return current;
}

QString ProfileInFolder(const QString &profilePath, const QString &folder)
{
    if (profilePath.isEmpty())
        return profilePath;
    const QFileInfo profile(profilePath);
    const QDir target(orm::ExcludeBackslash(folder));
    const bool shipped = profile.absoluteDir().dirName().startsWith(u"default_setting");
    const bool besideTarget = QFileInfo(profile.absolutePath()).absolutePath() ==
                              QFileInfo(target.absolutePath()).absolutePath();
    if (!shipped || !besideTarget)
        return profilePath;
    const QString translated = target.absoluteFilePath(profile.fileName());
    return QFileInfo(translated).isFile() ? translated : profilePath;
}

bool IsPresetSection(const QString &sectionName)
{
    return sectionName.startsWith(u"Item");
}

namespace {

Q_LOGGING_CATEGORY(lcProfiles, "ormolux.profiles")

enum class Listing { Everything, ProfilesOnly };

TProfileItem entryOf(const orm::IniFile &ini, const QString &path)
{
    return {ini.readString(u"Info", u"TitleE", {}), path,
            ini.readString(u"Info", u"DescriptionE", {})};
}

std::optional<ProfileCatalogue> listFolder(const QString &folder, Listing listing)
{
    const QString resolved = QString::fromStdString(
        orm::platform::resolveCaseInsensitive(orm::ExcludeBackslash(folder).toStdString()));
    if (!QFileInfo(resolved).isDir())
        return std::nullopt;
    ProfileCatalogue catalogue;
    QDirIterator it(resolved, {QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString path = orm::IncludeBackslash(resolved) + it.fileName();
        if (listing == Listing::ProfilesOnly && !it.fileInfo().isFile()) {
            qCWarning(lcProfiles, "%s is not a regular file; it is not listed.",
                      qUtf8Printable(path));
            continue;
        }
        const orm::IniFile ini(path);
        if (listing == Listing::ProfilesOnly &&
            std::ranges::none_of(ini.sectionNames(), IsPresetSection)) {
            qCWarning(lcProfiles, "%s holds no preset; it is not listed.", qUtf8Printable(path));
            continue;
        }
        catalogue.add(entryOf(ini, path));
    }
    return catalogue;
}

} // namespace

std::optional<ProfileCatalogue> ProfileCatalogue::ListProfiles(const QString &folder)
{
    return listFolder(folder, Listing::Everything);
}

std::optional<ProfileCatalogue> ProfileCatalogue::ListUserProfiles(const QString &folder)
{
    return listFolder(folder, Listing::ProfilesOnly);
}

std::optional<ProfileCatalogue> ProfileCatalogue::ListProfiles(const QString &folder,
                                                               const QString &userFolder)
{
    auto catalogue = ListProfiles(folder);
    if (!catalogue || userFolder.isEmpty())
        return catalogue;
    if (const auto own = ListUserProfiles(userFolder)) {
        for (const QList<TProfileItem> &family : own->m_families) {
            for (const TProfileItem &item : family)
                catalogue->add(item);
        }
    }
    return catalogue;
}

TProfileItem ProfileCatalogue::LoadProfileEntry(const QString &path)
{
    return entryOf(orm::IniFile(path), path);
}

void ProfileCatalogue::add(const TProfileItem &item)
{
    m_families[ClassifyProfile(item.Title)].append(item);
}

ProfilePresets LoadProfileItems(const QString &profilePath)
{
    const orm::IniFile ini(profilePath);
    ProfilePresets result;
    result.profileInfo = QStringLiteral("(%1)").arg(ini.readString(u"Info", u"TitleE", {}));
    for (const QString &section : ini.sectionNames()) {
        if (IsPresetSection(section))
            result.presets.append({profilePath, section, ini.readString(section, u"TitleE", {})});
    }
    return result;
}

} // namespace marbeck

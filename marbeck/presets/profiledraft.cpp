#include "presets/profiledraft.h"

#include "profiles/profilecatalogue.h"
#include "shared/commandtemplate.h"
#include "shared/devicelimits.h"
#include "shared/ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace marbeck {

namespace {

const QString kInfo = QStringLiteral("Info");
const QString kTitle = QStringLiteral("TitleE");
const QString kDescription = QStringLiteral("DescriptionE");
const QString kExtension = QStringLiteral("EXT");
const QString kDevice = QStringLiteral("Device");

// The reader drops one pair of enclosing quotes, so a value that is meant to
// begin and end with one gets another pair around it.
QString stored(const QString &value)
{
    const QString v = value.trimmed();
    return v.size() >= 2 && v.startsWith('"') && v.endsWith('"') ? '"' + v + '"' : v;
}

QString freeSection(QSet<QString> &taken)
{
    for (int n = 0;; ++n) {
        const QString name = QStringLiteral("Item%1").arg(n);
        if (!taken.contains(name.toLower())) {
            taken.insert(name.toLower());
            return name;
        }
    }
}

// A folder's path with links resolved where it exists, so that two names of
// one folder compare equal.
QString folderPath(const QString &folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : real;
}

} // namespace

ProfileDraft ProfileDraft::read(const QString &path)
{
    const orm::IniFile ini(path);
    ProfileDraft draft;
    draft.path = path;
    draft.title = ini.readString(kInfo, kTitle, {});
    draft.description = ini.readString(kInfo, kDescription, {});
    for (const QString &section : ini.sectionNames()) {
        if (!IsPresetSection(section))
            continue;
        PresetDraft preset;
        preset.section = section;
        for (const QString &key : ini.keyNames(section)) {
            const QString value = ini.readString(section, key, {});
            if (orm::IsCommandKey(key))
                preset.commands.append(value);
            else if (key.compare(kTitle, Qt::CaseInsensitive) == 0)
                preset.title = value;
            else if (key.compare(kExtension, Qt::CaseInsensitive) == 0)
                preset.extension = value;
            else if (key.compare(kDevice, Qt::CaseInsensitive) == 0)
                preset.device = value;
            else
                preset.otherKeys.append(key + '=' + value);
        }
        draft.presets.append(preset);
    }
    return draft;
}

tl::expected<QByteArray, QString> ProfileDraft::toBytes() const
{
    orm::IniFile ini = orm::IniFile::fromBytes({}, path);
    QString refused;
    const auto write = [&](const QString &section, const QString &key, const QString &value) {
        const QString text = stored(value);
        if (text.size() > orm::IniFile::kValueLimit && refused.isEmpty())
            refused = QStringLiteral("[%1] %2: %3 characters, at most %4")
                          .arg(section, key)
                          .arg(text.size())
                          .arg(orm::IniFile::kValueLimit);
        if (!ini.writeString(section, key, text) && refused.isEmpty())
            refused = QStringLiteral("[%1] %2: a line break").arg(section, key);
    };
    write(kInfo, kTitle, title);
    write(kInfo, kDescription, description);
    QSet<QString> taken;
    for (const PresetDraft &p : presets) {
        if (!p.section.isEmpty())
            taken.insert(p.section.toLower());
    }
    for (const PresetDraft &p : presets) {
        const QString section = p.section.isEmpty() ? freeSection(taken) : p.section;
        write(section, kTitle, p.title);
        write(section, kExtension, p.extension);
        if (!p.device.isEmpty())
            write(section, kDevice, p.device);
        for (const QString &other : p.otherKeys)
            write(section, other.section('=', 0, 0), other.section('=', 1));
        int number = 1;
        for (const QString &command : p.commands) {
            if (command.trimmed().isEmpty())
                continue;
            write(section,
                  number == 1 ? QStringLiteral("Command") : QStringLiteral("Command%1").arg(number),
                  command);
            ++number;
        }
    }
    if (!refused.isEmpty())
        return tl::unexpected(refused);
    return ini.toBytes();
}

UserProfiles::UserProfiles(QString folder) : m_folder(std::move(folder)) {}

bool UserProfiles::owns(const QString &profilePath) const
{
    if (m_folder.isEmpty() || profilePath.isEmpty())
        return false;
    return folderPath(QFileInfo(profilePath).absolutePath()) == folderPath(m_folder);
}

QString UserProfiles::freePathFor(const QString &from) const
{
    // A copy of a copy is numbered after the first, not "(2) (2)".
    static const QRegularExpression numbered(QStringLiteral(" \\(\\d+\\)$"));
    const QString stem = QFileInfo(from).completeBaseName().remove(numbered);
    QString path = QDir(m_folder).filePath(stem + ".ini");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(m_folder).filePath(QStringLiteral("%1 (%2).ini").arg(stem).arg(n));
    return path;
}

tl::expected<void, QString> UserProfiles::save(const ProfileDraft &draft) const
{
    if (!QDir().mkpath(m_folder))
        return tl::unexpected(QStringLiteral("Unable to write to %1").arg(m_folder));
    if (!owns(draft.path))
        return tl::unexpected(QStringLiteral("Unable to write to %1").arg(draft.path));
    const auto bytes = draft.toBytes();
    if (!bytes)
        return tl::unexpected(bytes.error());
    orm::IniFile ini = orm::IniFile::fromBytes(*bytes, draft.path);
    try {
        ini.save();
    } catch (const std::exception &e) {
        return tl::unexpected(QString::fromUtf8(e.what()));
    }
    return {};
}

bool UserProfiles::remove(const QString &profilePath) const
{
    return owns(profilePath) && QFile::remove(profilePath);
}

namespace {

void nameDevices(QList<PresetDraft> &presets, const QString &fromPath, const QString &limitsFile)
{
    const QList<orm::DeviceLimits> devices = orm::ReadDeviceLimits(limitsFile);
    for (PresetDraft &p : presets) {
        if (const auto d = orm::LimitsOfPreset(devices, fromPath, p.section, p.device))
            p.device = d->device;
    }
}

} // namespace

ProfileDraft CopyOfProfile(const ProfileDraft &from, const QString &newPath,
                           const QString &titleSuffix, const QString &deviceLimitsFile)
{
    ProfileDraft copy = from;
    nameDevices(copy.presets, from.path, deviceLimitsFile);
    copy.path = newPath;
    copy.title = WithSuffix(from.title, titleSuffix);
    return copy;
}

ProfileDraft CopyOfPreset(const ProfileDraft &from, int preset, const QString &newPath,
                          const QString &titleSuffix, const QString &deviceLimitsFile)
{
    ProfileDraft copy = CopyOfProfile(from, newPath, titleSuffix, deviceLimitsFile);
    copy.presets = {copy.presets.value(preset)};
    copy.presets.front().section = QStringLiteral("Item0");
    return copy;
}

QString WithSuffix(const QString &title, const QString &suffix)
{
    return title.endsWith(suffix) ? title : title + suffix;
}

QStringList PlaceholderNames()
{
    QStringList names;
    for (const orm::Placeholder &p : orm::PlaceholdersOf({}))
        names << p.first.toString();
    return names;
}

} // namespace marbeck

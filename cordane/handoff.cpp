#include "handoff.h"

#include "platform/platform.h"
#include "shared/ini.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"

#include <QDir>
#include <QFileInfo>

namespace cordane {

namespace {
constexpr auto kExtern = u"ExternApp";
constexpr auto kConfig = u"config";

QString platformRelative(const QString &relative)
{
    return QString::fromStdString(orm::platform::toPlatformSeparators(relative.toStdString()));
}
} // namespace

QString HandOffFileName(const QString &programFolder)
{
    return orm::UserFolders(programFolder).handOffFile(kHandOffFileName);
}

HandOff HandOff::Read(const QString &handOffFile)
{
    const orm::IniFile ini(handOffFile);
    HandOff h;
    h.Parent = ini.readInteger(kExtern, u"Parent", 0);
    h.TempFile = ini.readString(kExtern, u"TempFile", {});
    h.OutputFile = ini.readString(kExtern, u"OutputFile", {});
    h.ProfilePath = ini.readString(kExtern, u"ProfilePath", h.ProfilePath);
    h.ProfileItem = ini.readString(kExtern, u"ProfileItem", h.ProfileItem);
    h.LanguagePath = ini.readString(kConfig, u"LanguagePath", {});
    h.LanguageFileName = ini.readString(kConfig, u"LanguageFileName", {});
    return h;
}

QString ProfileFileOf(const QString &programFolder, const QString &profilePath)
{
    const QString relative = platformRelative(profilePath);
    if (QDir::isAbsolutePath(relative))
        return relative;
    const QString beside = orm::IncludeBackslash(programFolder) + relative;
    if (QFileInfo::exists(beside))
        return beside;
    // An installed copy keeps the user's profiles beside its settings.
    const QString settingsFolder =
        QFileInfo(orm::UserFolders(programFolder).userProfileFolder()).path();
    const QString own = orm::IncludeBackslash(settingsFolder) + relative;
    return QFileInfo::exists(own) ? own : beside;
}

QString CordaneLanguageFile(const QString &programFolder, const QString &languagePath,
                            const QString &languageFileName)
{
    return orm::IncludeBackslash(programFolder) + platformRelative(languagePath) +
           orm::RemoveFileExt(languageFileName) + QStringLiteral("_Cordane.ini");
}

QStringList ReadAviSynthExtensions(const QString &avsFile)
{
    const orm::IniFile ini(avsFile);
    QStringList list;
    for (int i = 1;; ++i) {
        const QString value =
            ini.readString(u"AVSExt", QString::number(i), QStringLiteral("<none>"));
        if (value == u"<none>")
            break;
        list << value;
    }
    return list;
}

orm::PlaceholderValues JobPlaceholders(const QString &programFolder, const QString &inputFile,
                                       const QString &outputFile)
{
    orm::PlaceholderValues v;
    v.RandomNumber3 = orm::RandomDigits(3);
    v.RandomNumber5 = orm::RandomDigits(5);
    v.InputFile = inputFile;
    v.OutputFile = outputFile;
    // A bare file name lies in the current folder, not in the root.
    const QString folder = orm::ExtractFilePath(outputFile);
    v.OutputPath = folder.isEmpty() ? QString() : orm::IncludeBackslash(folder);
    v.TemporaryFile = v.OutputPath + v.RandomNumber5;
    v.AppPath = orm::IncludeBackslash(programFolder);
    return v;
}

QString MainOutputFile(const QStringList &outputs, const QString &extension)
{
    for (const QString &path : outputs) {
        if (!extension.isEmpty() &&
            orm::ExtractFileExt(path).compare(u'.' + extension, Qt::CaseInsensitive) == 0)
            return path;
    }
    return outputs.value(0);
}

void WriteRipResult(const QString &handOffFile, const QString &result, const QString &outputFile,
                    const orm::Placement *placement)
{
    orm::IniFile ini(handOffFile);
    if (placement)
        orm::WritePlacement(ini, kPlacementSection.toString(), *placement);
    ini.writeString(kExtern, u"RipResult", result);
    ini.writeString(kExtern, u"RipOutputFile", outputFile);
    ini.save();
}

} // namespace cordane

#pragma once
// The hand-off file lnh.ini beside Cordane (or in the user's folder, UserFolders): the job the
// parent asks for, the language it uses, and the result Cordane writes back.
#include "shared/commandtemplate.h"
#include "shared/placement.h"

#include <QString>
#include <QStringList>

namespace cordane {

inline constexpr QStringView kHandOffFileName = u"lnh.ini";
inline constexpr QStringView kDefaultProfile = u"default_setting\\Transcoding_iPod.ini";
inline constexpr QStringView kDefaultPreset = u"Item0";
// The window's place is kept in the hand-off file, in this section.
inline constexpr QStringView kPlacementSection = u"FormConvert";
// The completion notice's message number, as the parent knows it.
inline constexpr int kConvertDone = 1024 + 200;

QString HandOffFileName(const QString &programFolder);

struct HandOff {
    qint64 Parent = 0;
    QString TempFile;
    QString OutputFile;
    QString ProfilePath = kDefaultProfile.toString();
    QString ProfileItem = kDefaultPreset.toString();
    QString LanguagePath;
    QString LanguageFileName;

    static HandOff Read(const QString &handOffFile);
};

// The profile file a hand-off's ProfilePath names: relative to the program
// folder (the shipped profiles, and a portable copy's own "profiles"), else,
// where no such file is there, to the folder that keeps the user's settings,
// so that "profiles\Mine.ini" also names an installed copy's own profile. An
// absolute path stands as it is.
QString ProfileFileOf(const QString &programFolder, const QString &profilePath);

// Program folder + LanguagePath + the language file's name without its
// extension + "_Cordane.ini".
QString CordaneLanguageFile(const QString &programFolder, const QString &languagePath,
                            const QString &languageFileName);

// The extensions of "avs.dat" (section "AVSExt", keys 1, 2, ... until one is missing).
QStringList ReadAviSynthExtensions(const QString &avsFile);

// The placeholder values of Cordane's one job: its program folder keeps its
// trailing separator, and the temporary file takes the same five digits as
// <%RandomNumber5%>.
orm::PlaceholderValues JobPlaceholders(const QString &programFolder, const QString &inputFile,
                                       const QString &outputFile);

// The file the parent is to take of a job's outputs: the first with the
// preset's extension (letter case aside), else the first; empty for none.
QString MainOutputFile(const QStringList &outputs, const QString &extension);

// Writes "RipResult" and, beside it, "RipOutputFile": the path of the file
// the job wrote, which is not always the name the parent asked for (a name
// taken already, a device's own naming); empty when nothing was converted.
// The window's place, when given, goes into the same write. Throws orm::Error
// when the file cannot be written.
void WriteRipResult(const QString &handOffFile, const QString &result,
                    const QString &outputFile = {}, const orm::Placement *placement = nullptr);

} // namespace cordane

#pragma once
// Marbeck's settings record: the settings of "vuzu.ini", the folders the
// program finds its files in, and the device family it was started for.
// Only the shell holds the program's one record (globals()); every subsystem
// takes the values it needs at its entry points.
#include "shared/devicefamily.h"

#include <QString>

#include <optional>
#include <variant>

namespace marbeck {

struct TGlobalVars {
    // Section "System" of vuzu.ini.
    QString LanguageFile;
    bool ShowWindow = false;
    QString InputPath;
    QString OutputPath;
    bool DeleteFileAfterProcessing = false;
    quint8 FormatType = 0;
    qint32 FormatPSPIndex = 0;
    qint32 FormatiPodIndex = 0;
    qint32 Format3GPIndex = 0;
    qint32 FormatOtherIndex = 0;
    QString ProfilePath;
    bool UseDirectShow = false;
    quint8 ShutdownFlag = 0;
    bool ShutdownWindowsWhenDone = false;
    quint8 Priority = 0;
    bool ShowErrorsAtOnce = true;
    quint8 SimultaneousJobs = 0; // 0: Automatic (as many as keep the cores busy)
    bool KeepList = true;        // the source list outlives the program

    // Folders, each relative to the program folder.
    QString AppFolder; // the program folder, without a trailing separator
    QString LanguageFolder = QStringLiteral("Skins\\tools\\lang\\");
    QString SkinFolder = QStringLiteral("Skins\\tools\\skin\\");
    QString SkinFileName = QStringLiteral("skin.ini");
    QString ProfileFolderName = QStringLiteral("default_setting");

    DeviceFamily Family = DeviceFamily::All;
};

// The program's one record. For the shell and start-up only.
TGlobalVars &globals();

// Where a key's start-up value comes from.
enum class DefaultFrom : quint8 {
    Constant,        // SettingKey::number (0 / 1 for switches), or empty text
    BuildLanguage,   // the language the program was built to speak first
    DocumentsFolder, // the user's documents folder
    Family,          // the tab of the device family the program was started for
};

// One key of section "System": its name, the field that holds it, and the
// value start-up puts there before the file is read.
struct SettingKey {
    const char *key;
    std::variant<QString TGlobalVars::*, bool TGlobalVars::*, quint8 TGlobalVars::*,
                 qint32 TGlobalVars::*>
        field;
    qint32 number = 0;
    DefaultFrom from = DefaultFrom::Constant;
};

// Every key of section "System", in the order they are read and written.
inline constexpr SettingKey kSystemSettings[] = {
    {"LanguageFile", &TGlobalVars::LanguageFile, 0, DefaultFrom::BuildLanguage},
    {"ShowWindow", &TGlobalVars::ShowWindow, 1},
    {"InputPath", &TGlobalVars::InputPath, 0, DefaultFrom::DocumentsFolder},
    {"OutputPath", &TGlobalVars::OutputPath, 0, DefaultFrom::DocumentsFolder},
    {"DeleteFileAfterProcessing", &TGlobalVars::DeleteFileAfterProcessing, 0},
    {"FormatType", &TGlobalVars::FormatType, 0, DefaultFrom::Family},
    {"FormatPSPIndex", &TGlobalVars::FormatPSPIndex, 0},
    {"FormatiPodIndex", &TGlobalVars::FormatiPodIndex, 0},
    {"Format3GPIndex", &TGlobalVars::Format3GPIndex, 0},
    {"FormatOtherIndex", &TGlobalVars::FormatOtherIndex, 0},
    {"ProfilePath", &TGlobalVars::ProfilePath, 0},
    {"UseDirectShow", &TGlobalVars::UseDirectShow, 0},
    {"ShutdownFlag", &TGlobalVars::ShutdownFlag, 1},
    {"ShutdownWindowsWhenDone", &TGlobalVars::ShutdownWindowsWhenDone, 0},
    {"Priority", &TGlobalVars::Priority, 1},
    {"ShowErrorsAtOnce", &TGlobalVars::ShowErrorsAtOnce, 1},
    {"SimultaneousJobs", &TGlobalVars::SimultaneousJobs, 0},
    {"KeepListBetweenRuns", &TGlobalVars::KeepList, 1},
};

// The values start-up puts into the record before the file is read.
void SetDefaultSettings(TGlobalVars &g, DeviceFamily family, const QString &documentsFolder,
                        const QString &buildLanguageFile = QStringLiteral("english.ini"));

// Program folder + "vuzu.ini".
QString SettingsFileName(const TGlobalVars &g);
// Program folder + a relative path that data files write with backslashes.
QString AppRelativePath(const TGlobalVars &g, const QString &relative);

// Reads every key with the value in memory as its default and returns true;
// when there is no file, writes one with the values in memory and returns false.
bool LoadSettings(TGlobalVars &g);
// Writes every key; throws orm::Error when the file cannot be written.
void SaveSettings(const TGlobalVars &g);

} // namespace marbeck

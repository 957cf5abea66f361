#pragma once
// Marbeck's one global record: the settings of "vuzu.ini", the folders the
// program finds its files in, and the device family it was started for.
#include <QString>

#include <optional>
#include <variant>

namespace marbeck {

// The first argument: which families the program offers.
enum class DeviceFamily : quint8 { All = 0, Phones = 1, IPod = 2, PSP = 3 };

std::optional<DeviceFamily> ParseDeviceFamily(const QString &argument);

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

    // Folders, each relative to the program folder.
    QString AppFolder; // the program folder, without a trailing separator
    QString LanguageFolder = QStringLiteral("Skins\\tools\\lang\\");
    QString SkinFolder = QStringLiteral("Skins\\tools\\skin\\");
    QString SkinFileName = QStringLiteral("skin.ini");
    QString ProfileFolderName = QStringLiteral("default_setting");

    DeviceFamily Family = DeviceFamily::All;
};

TGlobalVars &globals();

// One key of section "System": its name and the field that holds it.
struct SettingKey {
    const char *key;
    std::variant<QString TGlobalVars::*, bool TGlobalVars::*, quint8 TGlobalVars::*,
                 qint32 TGlobalVars::*>
        field;
};

// Every key of section "System", in the order they are read and written.
inline constexpr SettingKey kSystemSettings[] = {
    {"LanguageFile", &TGlobalVars::LanguageFile},
    {"ShowWindow", &TGlobalVars::ShowWindow},
    {"InputPath", &TGlobalVars::InputPath},
    {"OutputPath", &TGlobalVars::OutputPath},
    {"DeleteFileAfterProcessing", &TGlobalVars::DeleteFileAfterProcessing},
    {"FormatType", &TGlobalVars::FormatType},
    {"FormatPSPIndex", &TGlobalVars::FormatPSPIndex},
    {"FormatiPodIndex", &TGlobalVars::FormatiPodIndex},
    {"Format3GPIndex", &TGlobalVars::Format3GPIndex},
    {"FormatOtherIndex", &TGlobalVars::FormatOtherIndex},
    {"ProfilePath", &TGlobalVars::ProfilePath},
    {"UseDirectShow", &TGlobalVars::UseDirectShow},
    {"ShutdownFlag", &TGlobalVars::ShutdownFlag},
    {"ShutdownWindowsWhenDone", &TGlobalVars::ShutdownWindowsWhenDone},
    {"Priority", &TGlobalVars::Priority},
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

#pragma once
// Profile files: the catalogue of a profile folder by device family, and the
// presets of the chosen profile.
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace marbeck {

// The families of the chooser; also the values of the FormatType setting.
enum FormatType : quint8 { FormatPSP = 0, FormatiPod = 1, Format3GP = 2, FormatOther = 3 };
inline constexpr int kFamilyCount = 4;

struct TProfileItem {
    QString Title;
    QString FileName; // full path of the profile file
    QString Description;
};

struct TProfileDetailItem {
    QString FileName; // full path of the profile file
    QString Section;  // e.g. "Item0"
    QString Title;
};

// The family a profile's title files it under: first "3GPP"/"3GP2", then
// "iPod", then "PSP" (letter case counts), else Other.
FormatType ClassifyProfile(const QString &title);

// The profile folder of a language file; any other language keeps `current`.
QString ProfileFolderForLanguage(const QString &languageFile, const QString &current);

// The chosen profile in another language's profile folder: the file of the
// same name in `folder`, when the profile lies in a shipped profile folder
// ("default_setting…") beside it and that file exists; otherwise unchanged,
// so a profile of the user's own stays.
QString ProfileInFolder(const QString &profilePath, const QString &folder);

// A preset is a section whose name begins with "Item" (letter case counts).
bool IsPresetSection(const QString &sectionName);

class ProfileCatalogue {
public:
    // Reads every "*.ini" of the folder, in the order the folder lists them;
    // nullopt when the folder does not exist.
    static std::optional<ProfileCatalogue> ListProfiles(const QString &folder);
    // The user's own folder, which holds what the user or another program
    // left there: only regular files that hold a preset count; any other
    // "*.ini" is passed over with a log line.
    static std::optional<ProfileCatalogue> ListUserProfiles(const QString &folder);
    // The shipped folder's catalogue with the user's own profiles after the
    // shipped ones of each family, so that a stored row keeps naming the same
    // shipped profile when the user adds one; nullopt when the shipped folder
    // does not exist. A missing user folder holds no profiles.
    static std::optional<ProfileCatalogue> ListProfiles(const QString &folder,
                                                        const QString &userFolder);
    static TProfileItem LoadProfileEntry(const QString &path);

    const QList<TProfileItem> &family(FormatType type) const { return m_families[type]; }
    void add(const TProfileItem &item);

private:
    std::array<QList<TProfileItem>, kFamilyCount> m_families;
};

struct ProfilePresets {
    QString profileInfo; // "(title)", shown beside the preset box
    QList<TProfileDetailItem> presets;
};

// The presets of a profile file in section order; none for a missing file.
ProfilePresets LoadProfileItems(const QString &profilePath);

} // namespace marbeck

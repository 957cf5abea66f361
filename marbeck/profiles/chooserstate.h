#pragma once
// The profile chooser without its window: the four family lists, the row
// selected in each, the active family and what leaving the window does.
#include "profiles/profilecatalogue.h"
#include "shared/devicefamily.h"

#include <QList>

#include <array>
#include <optional>

namespace marbeck {

// What the chooser takes from the settings and gives back: the folders it
// reads, the family the program was started for, and the choice itself.
struct ChooserSettings {
    QString AppFolder;         // without a trailing separator
    QString ProfileFolderName; // relative to AppFolder; the language's folder once chosen
    QString SkinFolder;        // relative to AppFolder
    QString UserProfileFolder; // the user's own profiles, listed after the shipped ones
    QString LanguageFile;
    DeviceFamily Family = DeviceFamily::All;
    bool ShowWindow = true;
    quint8 FormatType = 0;
    QString ProfilePath;
    qint32 FormatPSPIndex = 0;
    qint32 FormatiPodIndex = 0;
    qint32 Format3GPIndex = 0;
    qint32 FormatOtherIndex = 0;
};

// AppFolder + a relative folder (either separator), as the settings name folders.
QString ChooserPath(const ChooserSettings &s, const QString &relative);

// What a press on "Exit" leads to.
enum class ChooserExit { Stay, Close, EndProgram };

class ChooserState {
public:
    // Picks the profile folder for the settings' language, as every opening does.
    explicit ChooserState(ChooserSettings settings);

    // Reads the catalogue and takes the stored rows and family from the settings;
    // false (after telling the user) when the profile folder is missing.
    bool prepare();

    const QList<TProfileItem> &list(FormatType family) const { return m_catalogue.family(family); }
    // -1 when the family's list has no selection.
    int selectedRow(FormatType family) const { return m_selected[family]; }
    // A row outside the list clears the selection.
    void select(FormatType family, int row);

    std::optional<FormatType> activeFamily() const { return m_active; }
    void showFamily(FormatType family) { m_active = family; }

    // The description of the family's selected entry; empty without one.
    QString description(FormatType family) const;

    bool doNotDisplay() const { return m_doNotDisplay; }
    void setDoNotDisplay(bool on) { m_doNotDisplay = on; }

    // Applying needs a selected row in the active family.
    bool canApply() const;
    // Puts the choice into settings(); nothing when canApply() is false.
    bool apply();

    // "Exit": closes at once when leaving is allowed, else asks whether to quit.
    static ChooserExit cancel(bool allowCancel);

    // The family buttons a device family offers, from the left.
    static QList<FormatType> familyButtons(DeviceFamily family);
    // The family the window opens on: the stored one when the program's start
    // offers its button, otherwise the family the program was started for; none
    // for "-all" with a stored value that names no family.
    static std::optional<FormatType> openingFamily(quint8 storedFormatType, DeviceFamily family);

    // The settings with the choice applied, for the owner to keep.
    const ChooserSettings &settings() const { return m_globals; }

private:
    ChooserSettings m_globals;
    ProfileCatalogue m_catalogue;
    std::array<int, kFamilyCount> m_selected{-1, -1, -1, -1};
    std::optional<FormatType> m_active;
    bool m_doNotDisplay = false;
};

// Start-up without the chooser: where the stored family is not one this start
// offers (an iPod start after a PSP choice), the started family's remembered
// profile is taken, or its first one where that row is gone. False when the
// family lists no profile, or the profile folder is missing: the chooser must ask.
bool TakeStartedFamilyProfile(ChooserSettings &g);

} // namespace marbeck

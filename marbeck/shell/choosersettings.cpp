#include "choosersettings.h"

#include "profiles/tfrmprofile.h"
#include "shared/userfolders.h"

namespace marbeck {

ChooserSettings ChooserSettingsOf(const TGlobalVars &g)
{
    ChooserSettings s;
    s.AppFolder = g.AppFolder;
    s.ProfileFolderName = g.ProfileFolderName;
    s.SkinFolder = g.SkinFolder;
    s.UserProfileFolder = orm::UserFolders(g.AppFolder).userProfileFolder();
    s.LanguageFile = g.LanguageFile;
    s.Family = g.Family;
    s.ShowWindow = g.ShowWindow;
    s.FormatType = g.FormatType;
    s.ProfilePath = g.ProfilePath;
    s.FormatPSPIndex = g.FormatPSPIndex;
    s.FormatiPodIndex = g.FormatiPodIndex;
    s.Format3GPIndex = g.Format3GPIndex;
    s.FormatOtherIndex = g.FormatOtherIndex;
    return s;
}

void KeepChooserSettings(TGlobalVars &g, const ChooserSettings &s)
{
    g.ProfileFolderName = s.ProfileFolderName;
    g.ShowWindow = s.ShowWindow;
    g.FormatType = s.FormatType;
    g.ProfilePath = s.ProfilePath;
    g.FormatPSPIndex = s.FormatPSPIndex;
    g.FormatiPodIndex = s.FormatiPodIndex;
    g.Format3GPIndex = s.Format3GPIndex;
    g.FormatOtherIndex = s.FormatOtherIndex;
}

bool TakeStartedFamilyProfile(TGlobalVars &g)
{
    ChooserSettings s = ChooserSettingsOf(g);
    const bool taken = TakeStartedFamilyProfile(s);
    KeepChooserSettings(g, s);
    return taken;
}

bool ShowProfileChooser(TGlobalVars &g, QWidget *owner, bool allowCancel)
{
    ChooserSettings s = ChooserSettingsOf(g);
    const bool chosen = ShowProfileChooser(s, owner, allowCancel);
    KeepChooserSettings(g, s);
    return chosen;
}

} // namespace marbeck

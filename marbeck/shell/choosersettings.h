#pragma once
// The profile chooser's settings taken from the program's record and the
// choice written back to it.
#include "profiles/chooserstate.h"
#include "settings/globalvars.h"

class QWidget;

namespace marbeck {

ChooserSettings ChooserSettingsOf(const TGlobalVars &g);
void KeepChooserSettings(TGlobalVars &g, const ChooserSettings &s);

// The chooser's start-up step and window on the record.
bool TakeStartedFamilyProfile(TGlobalVars &g);
bool ShowProfileChooser(TGlobalVars &g, QWidget *owner, bool allowCancel);

} // namespace marbeck

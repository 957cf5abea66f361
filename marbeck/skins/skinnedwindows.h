#pragma once
// Puts the skin value table onto the two skinned windows. Controls are found
// by object name (the control names of the table), so the functions work on
// any window that carries those names; a control the window lacks is passed over.
#include "shared/devicefamily.h"
#include "skins/skinres.h"

#include <QString>

#include <functional>

class QWidget;

namespace marbeck {

// Each throws orm::Error at the first value that cannot be applied (a picture
// that cannot be loaded, a colour that is not one); what came before stays applied.
void ApplyMainSkin(QWidget &window, const SkinTable &table, const QString &skinFolder);
void ApplyProfileSkin(QWidget &window, const SkinTable &table, const QString &skinFolder,
                      const QString &languageFile);
// Hides and moves the family buttons for the device family and gives the one
// in first place its first-position pictures.
void ArrangeFamilyButtons(QWidget &window, const SkinTable &table, const QString &skinFolder,
                          DeviceFamily family, const QString &languageFile);

// Runs a skin step from a show handler: an error is shown in the application's
// error box once the window is up, and false is returned.
bool RunSkinStep(QWidget &window, const std::function<void()> &step);

} // namespace marbeck

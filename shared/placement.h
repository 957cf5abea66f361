#pragma once
// A window's stored place: keys "x", "y", "width", "height", "maximized" of a
// section of an INI file.
#include <QString>

class QWidget;

namespace orm {

class IniFile;

struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    bool maximized = false;
    bool operator==(const Placement &) const = default;
};

// Keeps a stored place on a screen of the given size: no wider or higher
// than the screen, not past its right or bottom edge, not left of or above it.
Placement ClampPlacement(Placement p, int screenWidth, int screenHeight);

Placement ReadPlacement(const IniFile &ini, const QString &section, const Placement &current);
void WritePlacement(IniFile &ini, const QString &section, const Placement &p);

// The file that an empty file name stands for (each program sets its own).
void SetDefaultPlacementFile(const QString &path);
QString DefaultPlacementFile();

// Toolkit side: read the place into the window, or store the window's place.
bool LoadPlacement(const QString &section, QWidget *window, const QString &fileName = {});
void SavePlacement(const QString &section, QWidget *window, const QString &fileName = {});
// The window's place as SavePlacement stores it: a maximised window keeps the
// size it returns to when it is restored.
Placement PlacementOf(const QWidget *window);

} // namespace orm

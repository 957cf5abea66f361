#pragma once
// The fonts of the programs' own windows, sized in pixels as the windows'
// fixed layouts are.
#include <QFont>

namespace orm {

// The windows' font: Tahoma at 11 pixels (the toolkit substitutes a font
// where Tahoma is not installed).
QFont WindowFont();

// A text report's font: Lucida Console, else DejaVu Sans Mono (which the
// programs depend on), and only then the desktop's fixed font, whose
// "monospace" may be a font the toolkit does not take for fixed pitch.
QFont ReportFont();

} // namespace orm

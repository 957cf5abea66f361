#pragma once
// The application object of tests that show windows, with the fonts the
// windows are laid out for.
#include "apps.h"
#include "shared/ui/qtinteraction.h"

#include <QApplication>

namespace ormtest {

inline QApplication &windowApp()
{
    QApplication &a = testApp<QApplication>();
    static const bool fonts = (orm::RegisterLayoutFonts(), true);
    (void)fonts;
    return a;
}

} // namespace ormtest

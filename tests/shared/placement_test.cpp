#include "shared/error.h"
#include "shared/ini.h"
#include "shared/placement.h"
#include "support/apps.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace orm;
using namespace ormtest;

namespace {
QApplication &app()
{
    return ormtest::testApp<QApplication>();
}
} // namespace

TEST(Placement, KeepsAStoredPlaceOnTheScreen)
{
    EXPECT_EQ(ClampPlacement({1500, 10, 1000, 500}, 1280, 1024), (Placement{280, 10, 1000, 500}));
    EXPECT_EQ(ClampPlacement({1500, 10, 2000, 500}, 1280, 1024), (Placement{0, 10, 1280, 500}));
    EXPECT_EQ(ClampPlacement({-30, -40, 600, 400}, 1280, 1024), (Placement{0, 0, 600, 400}));
    EXPECT_EQ(ClampPlacement({10, 900, 600, 4000, true}, 1280, 1024),
              (Placement{10, 0, 600, 1024, true}));
}

TEST(Placement, ReadsStoredValuesAndKeepsTheWindowsOwnForMissingKeys)
{
    const IniFile ini = IniFile::fromBytes("[form]\nx=5\nwidth=garbage\nmaximized=1\n");
    const Placement p = ReadPlacement(ini, "FORM", {1, 2, 650, 550, false});
    EXPECT_EQ(p, (Placement{5, 2, 650, 550, true}));
}

TEST(Placement, AWindowComesBackWhereItWasLeft)
{
    app();
    QTemporaryDir dir;
    const QString file = dir.filePath("vuzu.ini");
    SetDefaultPlacementFile(file);
    {
        QWidget window;
        window.setGeometry(40, 50, 300, 200);
        SavePlacement("form", &window);
    }
    const IniFile ini(file);
    EXPECT_EQ(ini.keyNames(u"form"), QStringList({"x", "y", "height", "width", "maximized"}));
    QWidget restored;
    restored.setGeometry(0, 0, 100, 100);
    EXPECT_TRUE(LoadPlacement("form", &restored, "  "));
    EXPECT_EQ(restored.geometry(), QRect(40, 50, 300, 200));
    EXPECT_FALSE(restored.isMaximized());

    writeFile(file, "[form]\nx=10\ny=10\nwidth=300\nheight=200\nmaximized=1\n");
    QWidget maximized;
    LoadPlacement("form", &maximized);
    EXPECT_TRUE(maximized.windowState() & Qt::WindowMaximized);
}

TEST(Placement, SavingIntoAMissingFolderIsAnError)
{
    app();
    QWidget window;
    EXPECT_THROW(SavePlacement("form", &window, "/nonexistent-orm-folder/vuzu.ini"), Error);
}

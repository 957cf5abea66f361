#include "shared/placement.h"

#include "shared/ini.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace orm {

namespace {

QString placementFile(const QString &fileName)
{
    return fileName.trimmed().isEmpty() ? DefaultPlacementFile() : fileName;
}

QSize screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

} // namespace

bool LoadPlacement(const QString &section, QWidget *window, const QString &fileName)
{
    const IniFile ini(placementFile(fileName));
    const QRect g = window->geometry();
    const Placement current{g.x(), g.y(), g.width(), g.height(), false};
    const QSize screen = screenSize();
    const Placement p =
        ClampPlacement(ReadPlacement(ini, section, current), screen.width(), screen.height());
    window->setGeometry(p.x, p.y, p.width, p.height);
    window->setWindowState(p.maximized ? (window->windowState() | Qt::WindowMaximized)
                                       : (window->windowState() & ~Qt::WindowMaximized));
    return true;
}

void SavePlacement(const QString &section, QWidget *window, const QString &fileName)
{
    IniFile ini(placementFile(fileName));
    WritePlacement(ini, section, PlacementOf(window));
    ini.save();
}

Placement PlacementOf(const QWidget *window)
{
    const bool maximized = window->isMaximized();
    const QRect g = maximized ? window->normalGeometry() : window->geometry();
    return {g.x(), g.y(), g.width(), g.height(), maximized};
}

} // namespace orm

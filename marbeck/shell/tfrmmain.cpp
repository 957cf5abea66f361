#include "tfrmmain.h"

#include "globalvars.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/placement.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace marbeck {

TfrmMain::TfrmMain(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Ormolux"));
    resize(650, 550);
    TGlobalVars &g = globals();
    orm::SetDefaultPlacementFile(SettingsFileName(g));
    if (!LoadSettings(g)) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QSize s = screen->geometry().size();
            move((s.width() - width()) / 2, (s.height() - height()) / 2);
        }
    } else {
        orm::LoadPlacement(QStringLiteral("form"), this);
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    try {
        SaveSettings(globals());
        orm::SavePlacement(QStringLiteral("form"), this);
    } catch (const orm::Error &e) {
        orm::ShowMessageBox(e.text(), QStringLiteral("Ormolux"), orm::mb::kIconError);
    }
    event->accept();
}

} // namespace marbeck

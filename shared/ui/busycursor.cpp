#include "busycursor.h"

#include <QApplication>
#include <QCursor>

namespace orm {

namespace {
int depth = 0;
}

void BeginBusy()
{
    if (++depth == 1 && qApp)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void EndBusy()
{
    if (depth == 0)
        return;
    if (--depth == 0 && qApp)
        QApplication::restoreOverrideCursor();
}

int BusyDepth()
{
    return depth;
}

} // namespace orm

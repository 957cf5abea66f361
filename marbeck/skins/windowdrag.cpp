#include "windowdrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace marbeck {

bool WindowDrag::handle(QWidget &window, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_pressed = true;
        m_pressAt = mouse->globalPosition().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pressed || !(mouse->buttons() & Qt::LeftButton)) {
            m_pressed = false;
            return false;
        }
        if ((mouse->globalPosition().toPoint() - m_pressAt).manhattanLength() <
            QApplication::startDragDistance())
            return true;
        m_pressed = false;
        if (QWindow *handle = window.window()->windowHandle())
            handle->startSystemMove();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_pressed = false;
        return false;
    default: return false;
    }
}

} // namespace marbeck

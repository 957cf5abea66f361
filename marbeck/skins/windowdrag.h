#pragma once
// Dragging a borderless window by its background and labels. The move is
// handed to the window manager at the first motion of a held left button,
// not at the press: a click alone (one that activates the window, say) then
// never starts a move that would follow the pointer until the next click.
#include <QPoint>

class QEvent;
class QWidget;

namespace marbeck {

class WindowDrag {
public:
    // Called from the window's event filter with an event of one of its drag
    // handles; true when the event was the drag's (the filter then eats it).
    bool handle(QWidget &window, QEvent *event);
    bool pressed() const { return m_pressed; }

private:
    bool m_pressed = false;
    QPoint m_pressAt;
};

} // namespace marbeck

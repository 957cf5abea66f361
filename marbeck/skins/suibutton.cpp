#include "skins/suibutton.h"

#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

namespace marbeck {

namespace {

constexpr QRgb kDisabledCaption = 0xFF808080;

// Pixels of the top-left pixel's colour become see-through.
QImage keyedOut(const QImage &picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = out.pixel(0, 0);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (line[x] == key)
                line[x] = 0;
        }
    }
    return out;
}

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TsuiCustomButton::TsuiCustomButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Button);
    // Connected first, so that it runs before any handler of the window.
    connect(this, &QAbstractButton::clicked, this, &TsuiCustomButton::afterClick);
}

TsuiCustomButton::~TsuiCustomButton() = default;

void TsuiCustomButton::setCaption(const QString &caption)
{
    setText(caption);
    update();
}

void TsuiCustomButton::setAutoSize(bool on)
{
    m_autoSize = on;
    ApplyAutoSize();
}

void TsuiCustomButton::setTransparent(bool on)
{
    m_transparent = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    update();
}

void TsuiCustomButton::setDefault(bool on)
{
    m_default = on;
    qDeleteAll(m_defaultKeys);
    m_defaultKeys.clear();
    if (on) {
        // A window shortcut sees Enter before the focused control does.
        for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
            auto *shortcut = new QShortcut(QKeySequence(key), this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, &TsuiCustomButton::dialogKey);
            m_defaultKeys << shortcut;
        }
    }
    update();
}

void TsuiCustomButton::setCancel(bool on)
{
    m_cancel = on;
    delete m_cancelKey;
    m_cancelKey = nullptr;
    if (on) {
        m_cancelKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        m_cancelKey->setContext(Qt::WindowShortcut);
        connect(m_cancelKey, &QShortcut::activated, this, &TsuiCustomButton::dialogKey);
    }
}

void TsuiCustomButton::setUIStyle(UIStyle)
{
    update();
}

void TsuiCustomButton::setFocusedRectMargin(int margin)
{
    m_focusMargin = margin;
    update();
}

bool TsuiCustomButton::repeatTimerRunning() const
{
    return m_repeatTimer != nullptr;
}

void TsuiCustomButton::setAction(QAction *action)
{
    if (m_action)
        disconnect(m_action, nullptr, this, nullptr);
    m_action = action;
    if (!action)
        return;
    connect(action, &QAction::changed, this, &TsuiCustomButton::syncFromAction);
    syncFromAction();
}

void TsuiCustomButton::syncFromAction()
{
    if (!m_action)
        return;
    setCaption(m_action->text());
    setEnabled(m_action->isEnabled());
}

QSize TsuiCustomButton::sizeHint() const
{
    return {75, 25};
}

void TsuiCustomButton::dialogKey()
{
    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
        click();
}

void TsuiCustomButton::afterClick()
{
    // A click ends the repeat of a press.
    stopRepeatTimer();
    update();
    if (auto *dialog = qobject_cast<QDialog *>(window())) {
        if (m_modalResult != 0)
            dialog->done(m_modalResult);
        else
            dialog->setResult(0);
    }
    if (m_action)
        m_action->trigger();
}

void TsuiCustomButton::stopRepeatTimer()
{
    delete m_repeatTimer;
    m_repeatTimer = nullptr;
}

void TsuiCustomButton::FetchPicture(QImage &) const {}
void TsuiCustomButton::DrawStatePicture(QPainter &, const QImage &) {}

void TsuiCustomButton::DrawFocusFrame(QPainter &painter)
{
    const int m = m_focusMargin;
    QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(m, m), QPoint(width() - m - 1, height() - m - 1)));
}

void TsuiCustomButton::DrawCaption(QPainter &painter, const QString &caption)
{
    QRect r = rect();
    painter.setFont(font());
    QColor colour = palette().color(QPalette::ButtonText);
    if (!isEnabled())
        colour = QColor::fromRgb(kDisabledCaption);
    else if (isDown())
        r.translate(1, 1);
    const QRect measured = painter.boundingRect(r,
                                                Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap |
                                                    Qt::TextExpandTabs | Qt::TextShowMnemonic,
                                                caption);
    QRect r2 = measured;
    // Measuring starts at the top-left of R; C++ division truncates towards zero as wanted.
    r2.moveTopLeft(r.topLeft());
    r2.translate((r.width() - r2.width()) / 2, (r.height() - r2.height()) / 2);
    painter.setPen(colour);
    painter.drawText(r2,
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextShowMnemonic |
                         Qt::TextDontClip,
                     caption);
}

void TsuiCustomButton::paintEvent(QPaintEvent *)
{
    QImage picture;
    FetchPicture(picture);
    QPainter painter(this);
    // Transparent: the toolkit has already painted the window behind the
    // button, so only the key-coloured pixels need to stay unpainted.
    if (!m_transparent)
        painter.fillRect(rect(), palette().color(backgroundRole()));
    DrawStatePicture(painter, picture);
    if (hasFocus() && (focusPolicy() & Qt::TabFocus))
        DrawFocusFrame(painter);
    if (!text().trimmed().isEmpty())
        DrawCaption(painter, text());
}

void TsuiCustomButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    m_mouseOver = true;
    update();
    emit mouseEnter();
}

void TsuiCustomButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    m_mouseOver = false;
    setDown(false);
    stopRepeatTimer();
    update();
    emit mouseExit();
}

void TsuiCustomButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isEnabled()) {
        if (!m_repeatTimer) {
            m_repeatTimer = new QTimer(this);
            m_repeatTimer->setInterval(std::max(m_repeatInterval, 0));
            connect(m_repeatTimer, &QTimer::timeout, this,
                    &TsuiCustomButton::mouseContinuouslyDown);
            if (m_repeatInterval > 0)
                m_repeatTimer->start();
        }
        if ((focusPolicy() & Qt::TabFocus) && isVisible())
            setFocus(Qt::MouseFocusReason);
    }
    QAbstractButton::mousePressEvent(event);
    update();
}

void TsuiCustomButton::mouseMoveEvent(QMouseEvent *event)
{
    QAbstractButton::mouseMoveEvent(event);
    if (!hitButton(event->position().toPoint()) && (m_mouseOver || isDown())) {
        m_mouseOver = false;
        setDown(false);
        update();
    }
}

bool TsuiCustomButton::hitButton(const QPoint &pos) const
{
    // The right and bottom edges count as inside.
    return pos.x() >= 0 && pos.y() >= 0 && pos.x() <= width() && pos.y() <= height();
}

void TsuiCustomButton::keyPressEvent(QKeyEvent *event)
{
    if (isEnterKey(event->key()) && !event->isAutoRepeat() && isEnabled()) {
        setDown(true);
        update();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TsuiCustomButton::keyReleaseEvent(QKeyEvent *event)
{
    if (isEnterKey(event->key()) && !event->isAutoRepeat()) {
        if (isDown() && isEnabled()) {
            setDown(false);
            update();
            click();
        }
        event->accept();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

TsuiImageButton::TsuiImageButton(QWidget *parent) : TsuiCustomButton(parent) {}

void TsuiImageButton::setPicture(Picture which, const QImage &image)
{
    m_pictures[which] = image;
    ApplyAutoSize();
    update();
}

void TsuiImageButton::setStretch(bool on)
{
    m_stretch = on;
    update();
}

void TsuiImageButton::setDrawFocused(bool on)
{
    m_drawFocused = on;
    update();
}

void TsuiImageButton::ApplyAutoSize()
{
    const QImage &normal = m_pictures[PicNormal];
    if (parentWidget() && AutoSize() && !normal.isNull())
        resize(normal.size());
}

void TsuiImageButton::FetchPicture(QImage &picture) const
{
    Picture which = PicNormal;
    if (!isEnabled())
        which = PicDisabled;
    else if (isDown())
        which = PicMouseDown;
    else if (MouseOver())
        which = PicMouseOn;
    picture = m_pictures[which].isNull() ? m_pictures[PicNormal] : m_pictures[which];
}

void TsuiImageButton::DrawStatePicture(QPainter &painter, const QImage &picture)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return;
    const QImage shown = PictureTransparent() ? keyedOut(picture) : picture;
    if (m_stretch)
        painter.drawImage(rect(), shown);
    else
        painter.drawImage(QPoint(0, 0), shown);
}

void TsuiImageButton::DrawFocusFrame(QPainter &painter)
{
    if (m_drawFocused)
        TsuiCustomButton::DrawFocusFrame(painter);
}

TsuiImageButton *MakeSkinnedButton(QWidget *parent, const QString &name, const QRect &place,
                                   bool transparent)
{
    auto *button = new TsuiImageButton(parent);
    button->setObjectName(name);
    button->setAutoSize(true);
    button->setTransparent(transparent);
    button->setGeometry(place);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    button->setPalette(palette);
    return button;
}

} // namespace marbeck

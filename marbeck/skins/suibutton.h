#pragma once
// The image button of the skinned windows: a push button that paints one of
// four pictures by its state (normal, mouse over, pressed, disabled), lets the
// window show through the picture's key colour, and centres its caption over it.
#include <QAbstractButton>
#include <QImage>
#include <QPointer>

class QAction;
class QShortcut;
class QTimer;

namespace marbeck {

// The button logic without pictures of its own.
class TsuiCustomButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class UIStyle { FromThemeFile, MacOS, WinXP, DeepBlue, Protein, BlueGlass };

    explicit TsuiCustomButton(QWidget *parent = nullptr);
    ~TsuiCustomButton() override;

    QString Caption() const { return text(); }
    void setCaption(const QString &caption);

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool on);
    // Enter anywhere in the window clicks a default button; Esc a cancel button.
    bool Default() const { return m_default; }
    void setDefault(bool on);
    bool Cancel() const { return m_cancel; }
    void setCancel(bool on);
    bool DefaultActive() const { return m_default; }
    // Given to the owning dialog on every click; a dialog closes with a non-zero one.
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }
    // Kept for window descriptions; it never changes the look.
    UIStyle uiStyle() const { return UIStyle::FromThemeFile; }
    void setUIStyle(UIStyle style);
    int MouseContinuouslyDownInterval() const { return m_repeatInterval; }
    void setMouseContinuouslyDownInterval(int ms) { m_repeatInterval = ms; }
    int FocusedRectMargin() const { return m_focusMargin; }
    void setFocusedRectMargin(int margin);
    bool MouseOver() const { return m_mouseOver; }
    bool repeatTimerRunning() const;

    // Takes caption and enabled state from the action and triggers it on a click.
    void setAction(QAction *action);
    QAction *action() const { return m_action; }

    QSize sizeHint() const override;

signals:
    void mouseEnter();
    void mouseExit();
    void mouseContinuouslyDown();

protected:
    virtual void ApplyAutoSize() {}
    virtual void FetchPicture(QImage &picture) const;
    virtual void DrawStatePicture(QPainter &painter, const QImage &picture);
    virtual void DrawCaption(QPainter &painter, const QString &text);
    virtual void DrawFocusFrame(QPainter &painter);

    bool PictureTransparent() const { return m_transparent; }

    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void stopRepeatTimer();
    void afterClick();
    void dialogKey();
    void syncFromAction();

    bool m_autoSize = false;
    bool m_transparent = false;
    bool m_default = false;
    bool m_cancel = false;
    int m_modalResult = 0;
    int m_repeatInterval = 100;
    int m_focusMargin = 2;
    bool m_mouseOver = false;
    QTimer *m_repeatTimer = nullptr;
    QList<QShortcut *> m_defaultKeys;
    QShortcut *m_cancelKey = nullptr;
    QPointer<QAction> m_action;
};

class TsuiImageButton : public TsuiCustomButton {
    Q_OBJECT
public:
    enum Picture { PicNormal = 0, PicMouseOn = 1, PicMouseDown = 2, PicDisabled = 3 };

    explicit TsuiImageButton(QWidget *parent = nullptr);

    const QImage &picture(Picture which) const { return m_pictures[which]; }
    // Replaces a picture and, with AutoSize, takes the size of the normal one.
    void setPicture(Picture which, const QImage &image);
    // The owned picture itself: loading into it neither resizes nor repaints.
    QImage &pictureRef(Picture which) { return m_pictures[which]; }

    bool Stretch() const { return m_stretch; }
    void setStretch(bool on);
    bool DrawFocused() const { return m_drawFocused; }
    void setDrawFocused(bool on);

protected:
    void ApplyAutoSize() override;
    void FetchPicture(QImage &picture) const override;
    void DrawStatePicture(QPainter &painter, const QImage &picture) override;
    void DrawFocusFrame(QPainter &painter) override;

private:
    QImage m_pictures[4];
    bool m_stretch = false;
    bool m_drawFocused = false;
};

// An image button of the skinned windows at its design place, with their
// caption font (bold white) and the key colour drawn see-through when
// `transparent`; the skin gives its pictures.
TsuiImageButton *MakeSkinnedButton(QWidget *parent, const QString &name, const QRect &place,
                                   bool transparent = true);

} // namespace marbeck

// The image button on the offscreen platform: what it paints in each state,
// the key colour, the caption, and how mouse and keyboard drive it.
#include "skins/suibutton.h"
#include "support/apps.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace marbeck;
using namespace ormtest;

namespace {

const QColor kParent(90, 90, 90);
const QColor kFace(0, 0, 0);

QImage solid(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

struct AppFirst {
    AppFirst() { testApp<QApplication>(); }
};

// A window of one colour holding one button at (10, 10), 40 x 20.
struct Stage : AppFirst {
    QWidget window;
    TsuiImageButton *button;
    Stage()
    {
        window.resize(200, 100);
        window.setAutoFillBackground(true);
        QPalette p = window.palette();
        p.setColor(QPalette::Window, kParent);
        window.setPalette(p);
        button = new TsuiImageButton(&window);
        button->setGeometry(10, 10, 40, 20);
        QPalette b = button->palette();
        b.setColor(QPalette::Button, kFace);
        b.setColor(QPalette::ButtonText, Qt::white);
        button->setPalette(b);
        QFont f = button->font();
        f.setPixelSize(14);
        f.setStyleStrategy(QFont::NoAntialias);
        button->setFont(f);
    }
    QImage shot() { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRgb at(int x, int y) { return shot().pixel(10 + x, 10 + y); }
};

void mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::LeftButton)
{
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void enter(QWidget *w)
{
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// The box of pixels that differ from the button's face colour.
QRect inkBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kFace.rgb())
                box |= QRect(x, y, 1, 1);
    return box;
}

// The colours of the pixels that differ from the face colour.
QSet<QRgb> inkColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kFace.rgb())
                colours.insert(image.pixel(x, y));
    return colours;
}

QImage buttonShot(TsuiImageButton *b)
{
    return b->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(ImageButton, EachStateShowsItsPictureOrTheNormalOne)
{
    Stage s;
    const QColor normal(200, 0, 0), over(0, 200, 0), down(0, 0, 200), disabled(200, 200, 0);
    s.button->setPicture(TsuiImageButton::PicNormal, solid({40, 20}, normal));
    // Only the normal picture: every state shows it.
    enter(s.button);
    EXPECT_EQ(s.at(20, 10), normal.rgb());
    mouse(s.button, QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(s.button->isDown());
    EXPECT_EQ(s.at(20, 10), normal.rgb());
    mouse(s.button, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    leave(s.button);

    s.button->setPicture(TsuiImageButton::PicMouseOn, solid({40, 20}, over));
    s.button->setPicture(TsuiImageButton::PicMouseDown, solid({40, 20}, down));
    s.button->setPicture(TsuiImageButton::PicDisabled, solid({40, 20}, disabled));
    EXPECT_EQ(s.at(20, 10), normal.rgb());
    enter(s.button);
    EXPECT_TRUE(s.button->MouseOver());
    EXPECT_EQ(s.at(20, 10), over.rgb());
    mouse(s.button, QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(s.at(20, 10), down.rgb());
    mouse(s.button, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_EQ(s.at(20, 10), over.rgb()); // still over it after the click
    s.button->setEnabled(false);
    EXPECT_EQ(s.at(20, 10), disabled.rgb());
    leave(s.button);
    EXPECT_EQ(s.at(20, 10), disabled.rgb());
    s.button->setEnabled(true);
    EXPECT_EQ(s.at(20, 10), normal.rgb());
}

TEST(ImageButton, TransparentKeysOutTheTopLeftColour)
{
    Stage s;
    // A 30 x 15 picture: blue ground (the key) with a green middle.
    QImage picture = solid({30, 15}, Qt::blue);
    for (int y = 5; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            picture.setPixel(x, y, qRgb(0, 255, 0));
    s.button->pictureRef(TsuiImageButton::PicNormal) = picture;

    s.button->setTransparent(true);
    EXPECT_EQ(s.at(2, 2), kParent.rgb());   // key colour: the window shows
    EXPECT_EQ(s.at(35, 18), kParent.rgb()); // outside the picture
    EXPECT_EQ(s.at(15, 7), qRgb(0, 255, 0));

    s.button->setTransparent(false);
    EXPECT_EQ(s.at(2, 2), QColor(Qt::blue).rgb()); // not keyed
    EXPECT_EQ(s.at(35, 18), kFace.rgb());          // the button's colour around it
    EXPECT_EQ(s.at(15, 7), qRgb(0, 255, 0));

    // Stretched, the picture covers the button.
    s.button->setStretch(true);
    EXPECT_EQ(s.at(39, 19), QColor(Qt::blue).rgb());
}

TEST(ImageButton, NothingToDrawLeavesOnlyTheBackground)
{
    Stage s;
    s.button->setCaption("   ");
    EXPECT_EQ(inkBox(buttonShot(s.button)), QRect());
    s.button->setTransparent(true);
    const QImage shot = s.shot();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(shot.pixel(10 + x, 10 + y), kParent.rgb()) << x << "," << y;
}

TEST(ImageButton, CaptionIsCentredShiftedWhenPressedAndGreyWhenDisabled)
{
    Stage s;
    s.button->setCaption("II");
    const QRect normal = inkBox(buttonShot(s.button));
    ASSERT_FALSE(normal.isEmpty());
    EXPECT_LE(std::abs(normal.center().x() - 20), 2);
    EXPECT_LE(std::abs(normal.center().y() - 10), 2);
    EXPECT_EQ(inkColours(buttonShot(s.button)), QSet<QRgb>{QColor(Qt::white).rgb()});

    s.button->setDown(true);
    EXPECT_EQ(inkBox(buttonShot(s.button)), normal.translated(1, 1));
    s.button->setDown(false);

    s.button->setEnabled(false);
    const QImage grey = buttonShot(s.button);
    EXPECT_EQ(inkBox(grey), normal);
    EXPECT_EQ(inkColours(grey), QSet<QRgb>{qRgb(0x80, 0x80, 0x80)});
    s.button->setDown(true); // disabled: no shift
    EXPECT_EQ(inkBox(buttonShot(s.button)), normal);

    // Two lines stay two lines, each centred.
    s.button->setEnabled(true);
    s.button->setDown(false);
    s.button->resize(40, 40);
    s.button->setCaption("I\r\nIII");
    const QRect lines = inkBox(buttonShot(s.button));
    EXPECT_GT(lines.height(), normal.height() * 3 / 2);
}

TEST(ImageButton, PressMoveOutReleaseDoesNotClick)
{
    Stage s;
    s.button->setPicture(TsuiImageButton::PicNormal, solid({40, 20}, Qt::red));
    s.button->setPicture(TsuiImageButton::PicMouseDown, solid({40, 20}, Qt::blue));
    QSignalSpy clicks(s.button, &QAbstractButton::clicked);
    enter(s.button);
    mouse(s.button, QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(s.button->repeatTimerRunning());
    // The right and bottom edges still count as inside.
    mouse(s.button, QEvent::MouseMove, {40, 20});
    EXPECT_TRUE(s.button->isDown());
    mouse(s.button, QEvent::MouseMove, {41, 5});
    EXPECT_FALSE(s.button->isDown());
    EXPECT_FALSE(s.button->MouseOver());
    EXPECT_EQ(s.at(20, 10), QColor(Qt::red).rgb()); // normal look at once
    EXPECT_TRUE(s.button->repeatTimerRunning());
    mouse(s.button, QEvent::MouseButtonRelease, {60, 5}, Qt::NoButton);
    EXPECT_EQ(clicks.count(), 0);
    leave(s.button);
    EXPECT_FALSE(s.button->repeatTimerRunning());

    // A click ends the repeat as well.
    mouse(s.button, QEvent::MouseButtonPress, {5, 5});
    mouse(s.button, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(s.button->repeatTimerRunning());
}

TEST(ImageButton, DoubleClickGivesTwoClicks)
{
    Stage s;
    QSignalSpy clicks(s.button, &QAbstractButton::clicked);
    mouse(s.button, QEvent::MouseButtonPress, {5, 5});
    mouse(s.button, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    mouse(s.button, QEvent::MouseButtonDblClick, {5, 5});
    mouse(s.button, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(ImageButton, FocusFrameOnlyWithDrawFocused)
{
    Stage s;
    s.button->setPicture(TsuiImageButton::PicNormal, solid({40, 20}, Qt::darkGreen));
    s.window.show();
    QApplication::setActiveWindow(&s.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window));
    const QImage unfocused = buttonShot(s.button);
    s.button->setFocus();
    ASSERT_TRUE(s.button->hasFocus());
    EXPECT_EQ(buttonShot(s.button), unfocused);
    s.button->setDrawFocused(true);
    EXPECT_NE(buttonShot(s.button), unfocused);
}

TEST(ImageButton, AutoSizeTakesTheNormalPictureOnlyWhenSet)
{
    Stage s;
    s.button->setPicture(TsuiImageButton::PicNormal, solid({100, 30}, Qt::red));
    EXPECT_EQ(s.button->size(), QSize(40, 20)); // AutoSize off
    s.button->setAutoSize(true);
    EXPECT_EQ(s.button->size(), QSize(100, 30));
    s.button->pictureRef(TsuiImageButton::PicNormal) = solid({60, 60}, Qt::blue);
    EXPECT_EQ(s.button->size(), QSize(100, 30));
    s.button->setPicture(TsuiImageButton::PicNormal, solid({70, 25}, Qt::red));
    EXPECT_EQ(s.button->size(), QSize(70, 25));
}

TEST(ImageButton, KeyboardClicksAndDialogKeys)
{
    testApp<QApplication>();
    QDialog dialog;
    dialog.resize(300, 100);
    auto *edit = new QLineEdit(&dialog);
    auto *plain = new TsuiImageButton(&dialog);
    plain->setGeometry(0, 40, 50, 20);
    auto *ok = new TsuiImageButton(&dialog);
    ok->setGeometry(60, 40, 50, 20);
    ok->setDefault(true);
    auto *cancel = new TsuiImageButton(&dialog);
    cancel->setGeometry(120, 40, 50, 20);
    cancel->setCancel(true);
    QSignalSpy plainClicks(plain, &QAbstractButton::clicked);
    QSignalSpy okClicks(ok, &QAbstractButton::clicked);
    QSignalSpy cancelClicks(cancel, &QAbstractButton::clicked);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    plain->setFocus();
    QTest::keyClick(plain, Qt::Key_Space);
    EXPECT_EQ(plainClicks.count(), 1);
    QTest::keyPress(plain, Qt::Key_Space);
    EXPECT_TRUE(plain->isDown());
    QTest::keyRelease(plain, Qt::Key_Space);
    EXPECT_EQ(plainClicks.count(), 2);

    // Enter goes to the default button wherever the focus is.
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 1);
    QTest::keyClick(plain, Qt::Key_Enter);
    EXPECT_EQ(okClicks.count(), 2);
    EXPECT_EQ(plainClicks.count(), 2);
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(okClicks.count(), 2);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(cancelClicks.count(), 1);

    // Without a default button a focused button takes Enter itself.
    ok->setDefault(false);
    plain->setFocus();
    QTest::keyClick(plain, Qt::Key_Return);
    EXPECT_EQ(plainClicks.count(), 3);
    EXPECT_EQ(okClicks.count(), 2);
    // A disabled button does not answer.
    plain->setEnabled(false);
    QTest::keyClick(plain, Qt::Key_Space);
    EXPECT_EQ(plainClicks.count(), 3);
}

TEST(ImageButton, ModalResultClosesItsDialogAndActionsRun)
{
    testApp<QApplication>();
    QDialog dialog;
    auto *button = new TsuiImageButton(&dialog);
    dialog.show();
    button->click(); // result 0 leaves the dialog open
    EXPECT_TRUE(dialog.isVisible());
    button->setModalResult(5);
    button->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 5);

    QAction action("Run");
    int runs = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++runs; });
    TsuiImageButton bound;
    bound.setAction(&action);
    EXPECT_EQ(bound.Caption(), "Run");
    bound.click();
    EXPECT_EQ(runs, 1);
    action.setEnabled(false);
    EXPECT_FALSE(bound.isEnabled());
    action.setText("Stop");
    EXPECT_EQ(bound.Caption(), "Stop");
}

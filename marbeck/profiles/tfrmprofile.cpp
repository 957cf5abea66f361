#include "profiles/tfrmprofile.h"

#include "lang/marbeckmessages.h"
#include "shared/presethealth.h"
#include "shared/ui/fonts.h"
#include "skins/skinnedwindows.h"
#include "skins/suibutton.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QWindow>

namespace marbeck {

namespace {

constexpr std::array<FormatType, kFamilyCount> kFamilies{FormatPSP, FormatiPod, Format3GP,
                                                         FormatOther};
constexpr std::array<const char *, kFamilyCount> kFamilyNames{"PSP", "iPod", "3GP", "Other"};
// The design places of the family buttons, from the left.
constexpr std::array<QRect, kFamilyCount> kButtonPlaces{
    QRect(0, 0, 75, 63), QRect(75, 0, 74, 63), QRect(149, 0, 74, 63), QRect(223, 0, 74, 63)};
constexpr int kRowHeight = 20;
// Stands in for the skin's background picture until skins are applied.
const QColor kBackground(38, 50, 64);
const QColor kCheckBoxColour(127, 158, 180);

QLabel *whiteBoldLabel(QWidget *parent, const char *name, QPoint place)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    label->move(place);
    return label;
}

} // namespace

TfrmProfile::TfrmProfile(ChooserSettings settings, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_state(std::move(settings)),
      m_imageProfile(new QLabel(this))
{
    setObjectName(QStringLiteral("frmProfile"));
    setFont(orm::WindowFont());
    setFixedSize(556, 544);

    m_imageProfile->setObjectName(QStringLiteral("ImageProfile"));
    m_imageProfile->setGeometry(0, 0, 556, 544);
    m_imageProfile->setAutoFillBackground(true);
    QPalette back = m_imageProfile->palette();
    back.setColor(QPalette::Window, kBackground);
    m_imageProfile->setPalette(back);
    m_imageProfile->installEventFilter(this);

    for (FormatType family : kFamilies) {
        const QString name = QLatin1String(kFamilyNames[family]);
        // The family buttons are opaque: their pictures fill them.
        auto *button =
            MakeSkinnedButton(this, QStringLiteral("Button") + name, kButtonPlaces[family], false);
        connect(button, &QAbstractButton::clicked, this, [this, family] { ShowFamily(family); });
        m_familyButtons[family] = button;

        auto *image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image") + name);
        image->setGeometry(32, 120, 120, 144);
        image->installEventFilter(this);
        m_images[family] = image;

        auto *list = new QListWidget(this);
        list->setObjectName(QStringLiteral("ListBox") + name);
        list->setGeometry(184, 80, 345, 220);
        list->setUniformItemSizes(true);
        connect(list, &QListWidget::currentRowChanged, this,
                [this, family](int row) { listRowChanged(family, row); });
        connect(list, &QListWidget::itemDoubleClicked, this, &TfrmProfile::ButtonApplyClick);
        m_listBoxes[family] = list;
    }

    m_labelDiscription = whiteBoldLabel(this, "LabelDiscription", {18, 328});
    m_labelDiscription->installEventFilter(this);
    m_memoDiscription = new QPlainTextEdit(this);
    m_memoDiscription->setObjectName(QStringLiteral("MemoDiscription"));
    m_memoDiscription->setGeometry(16, 352, 529, 89);
    m_memoDiscription->setReadOnly(true);

    // No language box: the language is chosen in the main window's menu, and a
    // box here that changed nothing only misled.

    m_checkBoxDoNotDisplay = new QCheckBox(this);
    m_checkBoxDoNotDisplay->setObjectName(QStringLiteral("CheckBoxDoNotDisplay"));
    m_checkBoxDoNotDisplay->setGeometry(16, 506, 13, 13);
    QPalette check = m_checkBoxDoNotDisplay->palette();
    check.setColor(QPalette::Window, kCheckBoxColour);
    check.setColor(QPalette::Base, kCheckBoxColour);
    check.setColor(QPalette::Button, kCheckBoxColour);
    m_checkBoxDoNotDisplay->setPalette(check);
    m_labelDoNotDisplay = whiteBoldLabel(this, "LabelDoNotDisplay", {42, 505});
    m_labelDoNotDisplay->installEventFilter(this);

    // "Apply" closes the window itself once a row is selected, so it carries no modal result.
    m_buttonApply =
        MakeSkinnedButton(this, QStringLiteral("ButtonApply"), {296, 480, 111, 27}, true);
    m_buttonApply->setDefault(true);
    connect(m_buttonApply, &QAbstractButton::clicked, this, &TfrmProfile::ButtonApplyClick);
    m_buttonCancel =
        MakeSkinnedButton(this, QStringLiteral("ButtonCancel"), {424, 480, 111, 27}, true);
    connect(m_buttonCancel, &QAbstractButton::clicked, this, &TfrmProfile::ButtonCancelClick);

    ApplyLanguage();
}

void TfrmProfile::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_CONFIGURATION_MANAGER));
    m_labelDiscription->setText(msg(Msg::MSG_DISCRIPTION));
    m_labelDoNotDisplay->setText(msg(Msg::MSG_DONOTDISPLAY));
    for (QLabel *label : {m_labelDiscription, m_labelDoNotDisplay})
        label->adjustSize();
    // The family buttons show pictures only.
    m_buttonApply->setCaption(msg(Msg::MSG_APPLY));
    m_buttonCancel->setCaption(msg(Msg::MSG_EXIT));
}

bool TfrmProfile::PrepareChooser()
{
    if (!m_state.prepare())
        return false;
    m_checkBoxDoNotDisplay->setChecked(m_state.doNotDisplay());
    for (FormatType family : kFamilies) {
        QListWidget *list = m_listBoxes[family];
        const int row = m_state.selectedRow(family);
        const QSignalBlocker quiet(list);
        list->clear();
        for (const TProfileItem &item : m_state.list(family)) {
            auto *entry = new QListWidgetItem(item.Title, list);
            entry->setSizeHint(QSize(0, kRowHeight));
            // A profile none of whose presets the encoder can run stays
            // listed, greyed, with the reason.
            const QString reason =
                orm::InstalledPresetHealth(m_state.settings().AppFolder + "/cores/avcore.dll")
                    .missingForProfile(item.FileName);
            if (!reason.isEmpty()) {
                entry->setFlags(entry->flags() & ~Qt::ItemIsEnabled);
                entry->setToolTip(reason);
            }
        }
        list->setCurrentRow(row);
    }
    if (const auto active = m_state.activeFamily())
        ShowFamily(*active);
    return true;
}

void TfrmProfile::ShowFamily(FormatType family)
{
    m_state.showFamily(family);
    for (FormatType f : kFamilies)
        m_familyButtons[f]->setEnabled(f != family);
    m_listBoxes[family]->raise();
    ShowDescription(family);
    m_images[family]->raise();
}

void TfrmProfile::ShowDescription(FormatType family)
{
    m_memoDiscription->setPlainText(m_state.description(family));
}

void TfrmProfile::listRowChanged(FormatType family, int row)
{
    m_state.select(family, row);
    ShowDescription(family);
}

bool TfrmProfile::ApplyChoice()
{
    m_state.setDoNotDisplay(m_checkBoxDoNotDisplay->isChecked());
    return m_state.apply();
}

void TfrmProfile::ButtonApplyClick()
{
    // Without a selected row in the active family there is nothing to take.
    if (m_state.canApply())
        done(QDialog::Accepted);
}

void TfrmProfile::ButtonCancelClick()
{
    switch (ChooserState::cancel(AllowCancel)) {
    case ChooserExit::Close: done(2); break;
    case ChooserExit::EndProgram: done(kResultEndProgram); break;
    case ChooserExit::Stay: break;
    }
}

void TfrmProfile::reject()
{
    ButtonCancelClick();
}

void TfrmProfile::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // A skin value that cannot be applied is reported, and the family
    // buttons then keep their design places.
    const ChooserSettings &g = m_state.settings();
    const QString folder = ChooserPath(g, g.SkinFolder);
    if (RunSkinStep(*this, [&] { ApplyProfileSkin(*this, skin(), folder, g.LanguageFile); }))
        RunSkinStep(*this, [&] {
            marbeck::ArrangeFamilyButtons(*this, skin(), folder, g.Family, g.LanguageFile);
        });
}

bool TfrmProfile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_labelDoNotDisplay) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
            m_labelDoNotDisplay->rect().contains(
                static_cast<QMouseEvent *>(event)->position().toPoint()))
            m_checkBoxDoNotDisplay->toggle();
        return QDialog::eventFilter(watched, event);
    }
    // The background, the pictures and two labels drag the borderless window.
    if (m_drag.handle(*this, event))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool ShowProfileChooser(ChooserSettings &settings, QWidget *owner, bool allowCancel)
{
    TfrmProfile window(settings, owner);
    if (owner) {
        const QRect main = owner->geometry();
        window.move(main.left() + (main.width() - window.width()) / 2,
                    main.top() + (main.height() - window.height()) / 2);
    }
    const bool prepared = window.PrepareChooser();
    settings = window.state().settings(); // the language's profile folder, at least
    if (!prepared)
        return false;
    window.AllowCancel = allowCancel;
    const bool accepted = window.exec() == QDialog::Accepted;
    if (accepted)
        window.ApplyChoice();
    settings = window.state().settings();
    return accepted || allowCancel;
}

} // namespace marbeck

#include "shell/tfrmsettings.h"

#include "lang/marbeckmessages.h"
#include "poweractions.h"
#include "settings/globalvars.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/resstr.h"
#include "shared/ui/fonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>

namespace marbeck {

namespace {

constexpr int kPanelHeight = 39;
// "Simultaneous conversions" offers "Automatic" (stored as 0), then 1 to this
// many; a row's index is its stored value.
constexpr int kSimultaneousChoices = 4;
constexpr int kClientHeight = 428;

// A group box with a bold caption whose contents keep the window's font.
QGroupBox *boldGroupBox(QWidget *parent, const char *name, const QRect &place)
{
    auto *box = new QGroupBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(place);
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    return box;
}

QFont plainFont(const QWidget *window)
{
    QFont f = window->font();
    f.setBold(false);
    return f;
}

} // namespace

quint8 StoredListIndex(int itemIndex)
{
    return static_cast<quint8>(itemIndex);
}

TfrmSettings::TfrmSettings(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      m_pageControlOptions(new QTabWidget(this)), m_tabSheetGeneral(new QWidget),
      m_panelBottom(new QWidget(this))
{
    setObjectName(QStringLiteral("frmSettings"));
    setFont(orm::WindowFont());
    setFixedSize(346, kClientHeight);

    m_pageControlOptions->setObjectName(QStringLiteral("PageControlOptions"));
    m_pageControlOptions->setGeometry(0, 0, 346, kClientHeight - kPanelHeight);
    m_tabSheetGeneral->setObjectName(QStringLiteral("TabSheetGeneral"));
    m_pageControlOptions->addTab(m_tabSheetGeneral, QString());

    m_groupBoxPriority = boldGroupBox(m_tabSheetGeneral, "GroupBoxPriority", {8, 16, 321, 57});
    m_comboBoxPriority = new QComboBox(m_groupBoxPriority);
    m_comboBoxPriority->setObjectName(QStringLiteral("ComboBoxPriority"));
    m_comboBoxPriority->setFont(plainFont(this));
    m_comboBoxPriority->move(16, 20);
    m_comboBoxPriority->resize(177, m_comboBoxPriority->sizeHint().height());

    m_groupBoxDirectShow = boldGroupBox(m_tabSheetGeneral, "GroupBoxDirectShow", {8, 80, 321, 57});
    m_checkBoxDirectShow = new QCheckBox(m_groupBoxDirectShow);
    m_checkBoxDirectShow->setObjectName(QStringLiteral("CheckBoxDirectShow"));
    m_checkBoxDirectShow->setFont(plainFont(this));
    m_checkBoxDirectShow->move(16, 24);
    m_checkBoxDirectShow->resize(289, m_checkBoxDirectShow->sizeHint().height());
    m_labelAviSynthNote = new QLabel(m_groupBoxDirectShow);
    m_labelAviSynthNote->setObjectName(QStringLiteral("LabelAviSynthNote"));
    m_labelAviSynthNote->setFont(plainFont(this));
    m_labelAviSynthNote->setForegroundRole(QPalette::PlaceholderText);
    // Lies over the check box's empty right part; clicks there still reach the box.
    m_labelAviSynthNote->setAttribute(Qt::WA_TransparentForMouseEvents);

    // What a batch does to the user's files and computer, changeable before Convert.
    m_groupBoxBatch = boldGroupBox(m_tabSheetGeneral, "GroupBoxBatch", {8, 144, 321, 118});
    int switchTop = 20;
    for (QCheckBox **box : {&m_checkBoxDelSource, &m_checkBoxShutdown, &m_checkBoxShowErrors}) {
        *box = new QCheckBox(m_groupBoxBatch);
        (*box)->setFont(plainFont(this));
        (*box)->setGeometry(16, switchTop, 297, 20);
        switchTop += 21;
    }
    m_checkBoxDelSource->setObjectName(QStringLiteral("CheckBoxDelSource"));
    m_checkBoxShutdown->setObjectName(QStringLiteral("CheckBoxShutdown"));
    m_checkBoxShowErrors->setObjectName(QStringLiteral("CheckBoxShowErrors"));
    m_labelSimultaneous = new QLabel(m_groupBoxBatch);
    m_labelSimultaneous->setObjectName(QStringLiteral("LabelSimultaneous"));
    m_labelSimultaneous->setFont(plainFont(this));
    m_comboBoxSimultaneous = new QComboBox(m_groupBoxBatch);
    m_comboBoxSimultaneous->setObjectName(QStringLiteral("ComboBoxSimultaneous"));
    m_comboBoxSimultaneous->setFont(plainFont(this));

    m_labelShutDown = new QLabel(m_tabSheetGeneral);
    m_labelShutDown->setObjectName(QStringLiteral("LabelShutDown"));
    m_labelShutDown->move(8, 274);
    m_comboBoxShutdownFlag = new QComboBox(m_tabSheetGeneral);
    m_comboBoxShutdownFlag->setObjectName(QStringLiteral("ComboBoxShutdownFlag"));
    m_comboBoxShutdownFlag->move(8, 294);
    m_comboBoxShutdownFlag->resize(241, m_comboBoxShutdownFlag->sizeHint().height());
    m_checkBoxKeepList = new QCheckBox(m_tabSheetGeneral);
    m_checkBoxKeepList->setObjectName(QStringLiteral("CheckBoxKeepList"));
    m_checkBoxKeepList->setGeometry(8, 330, 321, 20);

    m_panelBottom->setObjectName(QStringLiteral("PanelBottom"));
    m_panelBottom->setGeometry(0, kClientHeight - kPanelHeight, 346, kPanelHeight);
    m_buttonOK = new QPushButton(m_panelBottom);
    m_buttonOK->setObjectName(QStringLiteral("ButtonOK"));
    m_buttonOK->setGeometry(97, 10, 75, 23);
    m_buttonOK->setDefault(true);
    m_buttonCancel = new QPushButton(m_panelBottom);
    m_buttonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    m_buttonCancel->setGeometry(177, 10, 75, 23);
    m_buttonCancel->setAutoDefault(false);
    connect(m_buttonOK, &QPushButton::clicked, this, [this] { done(1); });
    connect(m_buttonCancel, &QPushButton::clicked, this, [this] { done(2); });

    setTabOrder(m_comboBoxPriority, m_checkBoxDirectShow);
    setTabOrder(m_checkBoxDirectShow, m_checkBoxDelSource);
    setTabOrder(m_checkBoxDelSource, m_checkBoxShutdown);
    setTabOrder(m_checkBoxShutdown, m_checkBoxShowErrors);
    setTabOrder(m_checkBoxShowErrors, m_comboBoxSimultaneous);
    setTabOrder(m_comboBoxSimultaneous, m_comboBoxShutdownFlag);
    setTabOrder(m_comboBoxShutdownFlag, m_checkBoxKeepList);
    setTabOrder(m_checkBoxKeepList, m_buttonOK);
    setTabOrder(m_buttonOK, m_buttonCancel);

    ApplyLanguage();
}

void TfrmSettings::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_SETTINGS_TITLE));
    m_pageControlOptions->setTabText(0, msg(Msg::MSG_GENERAL_PAGE));
    m_groupBoxPriority->setTitle(msg(Msg::MSG_THREADPRIORITY));
    m_groupBoxDirectShow->setTitle(msg(Msg::MSG_DIRECTSHOW));
    m_checkBoxDirectShow->setText(msg(Msg::MSG_USE_DIRECTSHOW));
    // Without AviSynth a source sent through the switch cannot convert.
    m_checkBoxDirectShow->setToolTip(msg(Msg::MSG_AVISYNTH_HINT));
    m_labelAviSynthNote->setText(msg(Msg::MSG_NEEDS_AVISYNTH));
    m_comboBoxPriority->clear();
    m_comboBoxPriority->addItems(
        {msg(Msg::MSG_IDLE), msg(Msg::MSG_NORMAL), msg(Msg::MSG_HIGH), msg(Msg::MSG_REALTIME)});
    m_labelShutDown->setText(msg(Msg::MSG_SHUTDOWN_REAL_DOES));
    m_labelShutDown->adjustSize();
    // The list positions are the stored values of ShutdownFlag, so the order is fixed.
    m_comboBoxShutdownFlag->clear();
    m_comboBoxShutdownFlag->addItems(ShutdownActionNames());
    m_groupBoxBatch->setTitle(msg(Msg::MSG_BATCH_GROUP));
    m_checkBoxDelSource->setText(msg(Msg::MSG_DEL_AFTER));
    m_checkBoxShutdown->setText(msg(Msg::MSG_SHUTDOWN_AFTER));
    m_checkBoxShowErrors->setText(msg(Msg::MSG_SHOW_ERRORS_AT_ONCE));
    m_checkBoxKeepList->setText(msg(Msg::MSG_KEEP_LIST));
    m_labelSimultaneous->setText(msg(Msg::MSG_SIMULTANEOUS));
    m_labelSimultaneous->adjustSize();
    const int choice = m_comboBoxSimultaneous->currentIndex();
    m_comboBoxSimultaneous->clear();
    m_comboBoxSimultaneous->addItem(
        orm::FormatMessage(msg(Msg::MSG_AUTOMATIC_JOBS), {QString::number(m_automaticJobs)}));
    for (int jobs = 1; jobs <= kSimultaneousChoices; ++jobs)
        m_comboBoxSimultaneous->addItem(QString::number(jobs));
    m_comboBoxSimultaneous->setCurrentIndex(choice);
    const int comboTop = 20 + 3 * 21 + 2;
    m_labelSimultaneous->move(16, comboTop + 3);
    const int comboLeft = 16 + m_labelSimultaneous->width() + 8;
    m_comboBoxSimultaneous->setGeometry(comboLeft, comboTop, 321 - 12 - comboLeft,
                                        m_comboBoxSimultaneous->sizeHint().height());
    m_buttonOK->setText(msg(Msg::MSG_OK));
    m_buttonCancel->setText(msg(Msg::MSG_CANCEL));

    // The note follows the check box's text, whose length the language decides.
    m_labelAviSynthNote->adjustSize();
    const int textEnd = m_checkBoxDirectShow->x() + m_checkBoxDirectShow->sizeHint().width();
    m_labelAviSynthNote->move(
        textEnd + 8, m_checkBoxDirectShow->y() +
                         (m_checkBoxDirectShow->height() - m_labelAviSynthNote->height()) / 2);
}

void TfrmSettings::LoadControls(const TGlobalVars &g)
{
    // A value outside a list (a hand-edited file) leaves it without a selection.
    m_comboBoxPriority->setCurrentIndex(g.Priority < m_comboBoxPriority->count() ? g.Priority : -1);
    m_comboBoxShutdownFlag->setCurrentIndex(
        g.ShutdownFlag < m_comboBoxShutdownFlag->count() ? g.ShutdownFlag : -1);
    m_checkBoxDirectShow->setChecked(g.UseDirectShow);
    m_checkBoxDelSource->setChecked(g.DeleteFileAfterProcessing);
    m_checkBoxShutdown->setChecked(g.ShutdownWindowsWhenDone);
    m_checkBoxShowErrors->setChecked(g.ShowErrorsAtOnce);
    m_checkBoxKeepList->setChecked(g.KeepList);
    // Another hand-edited number leaves the list without a selection and is kept.
    m_comboBoxSimultaneous->setCurrentIndex(
        g.SimultaneousJobs <= kSimultaneousChoices ? g.SimultaneousJobs : -1);
}

void TfrmSettings::StoreControls(TGlobalVars &g) const
{
    g.Priority = StoredListIndex(m_comboBoxPriority->currentIndex());
    g.ShutdownFlag = StoredListIndex(m_comboBoxShutdownFlag->currentIndex());
    g.UseDirectShow = m_checkBoxDirectShow->isChecked();
    g.DeleteFileAfterProcessing = m_checkBoxDelSource->isChecked();
    g.ShutdownWindowsWhenDone = m_checkBoxShutdown->isChecked();
    g.ShowErrorsAtOnce = m_checkBoxShowErrors->isChecked();
    g.KeepList = m_checkBoxKeepList->isChecked();
    const int jobs = m_comboBoxSimultaneous->currentIndex();
    if (jobs >= 0)
        g.SimultaneousJobs = quint8(jobs);
}

void TfrmSettings::setAutomaticJobs(int jobs)
{
    m_automaticJobs = jobs;
    m_comboBoxSimultaneous->setItemText(
        0, orm::FormatMessage(msg(Msg::MSG_AUTOMATIC_JOBS), {QString::number(jobs)}));
}

bool RunSettingsDialog(QWidget *owner, int automaticJobs)
{
    TfrmSettings window(owner);
    window.setAutomaticJobs(automaticJobs);
    if (owner) {
        const QRect main = owner->geometry();
        window.move(main.left() + (main.width() - window.width()) / 2,
                    main.top() + (main.height() - window.height()) / 2);
    }
    window.LoadControls(globals());
    if (window.exec() != 1)
        return false;
    window.StoreControls(globals());
    orm::GuardEvent([] { SaveSettings(globals()); });
    return true;
}

} // namespace marbeck

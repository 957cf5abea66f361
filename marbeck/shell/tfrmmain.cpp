#include "tfrmmain.h"

#include "batchnotice.h"
#include "choosersettings.h"
#include "engine/batchdriver.h"
#include "engine/tfrmprogress.h"
#include "keptlist.h"
#include "lang/languagemenu.h"
#include "lang/marbeckmessages.h"
#include "postbatch.h"
#include "poweractions.h"
#include "presets/tfrmpreseteditor.h"
#include "profiles/chooserstate.h"
#include "profiles/tfrmprofile.h"
#include "settings/globalvars.h"
#include "shared/error.h"
#include "shared/failurelog.h"
#include "shared/ini.h"
#include "shared/interaction.h"
#include "shared/placement.h"
#include "shared/presethealth.h"
#include "shared/resstr.h"
#include "shared/toolkittranslation.h"
#include "shared/ui/termination.h"
#include "shared/userfolders.h"
#include "shared/utilfuncs.h"
#include "skins/skinnedwindows.h"
#include "skins/suibutton.h"
#include "sources/listviewfiles.h"
#include "sources/sourcelist.h"
#include "sources/sourcelistmodel.h"
#include "tfrmsettings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace marbeck {

namespace {

constexpr QSize kClientSize{650, 550};

// Every push button of the window: a skinned image button that takes focus.
QAbstractButton *makeButton(QWidget *parent, const char *name, const QRect &place)
{
    auto *button = MakeSkinnedButton(parent, QLatin1String(name), place);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QLabel *makeLabel(QWidget *parent, const char *name, QPoint place, bool bold, int pixelSize = 11)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->move(place);
    return label;
}

// A button takes the action's enabled state and runs it when clicked; its
// caption stays its own (the window gives it leading blanks for the picture).
void bindButton(QAbstractButton *button, QAction *action)
{
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    const auto follow = [button, action] { button->setEnabled(action->isEnabled()); };
    QObject::connect(action, &QAction::changed, button, follow);
    follow();
}

QString buttonCaption(int blanks, Msg key)
{
    return QString(blanks, u' ') + msg(key);
}

// Closing the main window during a batch asks the batch's stop question
// (through its progress window's close); true once the batch stops now.
bool askStopBatch(BatchDriver &batch)
{
    TfrmProgress *progress = batch.progressWindow();
    if (!progress || !progress->isVisible())
        return true; // no batch runs
    progress->close();
    return !progress->isVisible();
}

} // namespace

QString ApplicationTitle()
{
    return QStringLiteral("%1 %2").arg(msg(Msg::MSG_APPLICATION_TITLE),
                                       msg(Msg::MSG_APPLICATION_VERSION) + u' ' +
                                           QLatin1String(kVersionText));
}

TfrmMain::TfrmMain(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(kClientSize);

    // Design look until the skin paints it: a dark ground for the white labels.
    m_imageMain = new QLabel(this);
    m_imageMain->setObjectName(QStringLiteral("ImageMain"));
    m_imageMain->setGeometry(QRect(QPoint(0, 0), kClientSize));
    m_imageMain->setAutoFillBackground(true);
    QPalette ground = m_imageMain->palette();
    ground.setColor(QPalette::Window, QColor(0x26, 0x32, 0x40));
    m_imageMain->setPalette(ground);

    m_labelAppTitle = makeLabel(this, "LabelAppTitle", {106, 26}, true, 13);
    m_labelAppTitle->setText(QStringLiteral("Ormolux"));

    m_listViewFiles = new ListViewFiles(this);
    m_listViewFiles->setObjectName(QStringLiteral("ListViewFiles"));
    m_listViewFiles->setGeometry(16, 88, 617, 200);

    m_labelStatusBar = makeLabel(this, "LabelStatusBar", {18, 295}, true);
    m_buttonAddFiles = makeButton(this, "ButtonAddFiles", {16, 315, 111, 27});
    m_buttonDelete = makeButton(this, "ButtonDelete", {136, 315, 111, 27});
    m_buttonClearList = makeButton(this, "ButtonClearList", {256, 315, 111, 27});

    m_labelProfile = makeLabel(this, "LabelProfile", {16, 368}, true);
    m_labelProfileInfo = makeLabel(this, "LabelProfileInfo", {72, 368}, true);
    m_comboBoxProfile = new QComboBox(this);
    m_comboBoxProfile->setObjectName(QStringLiteral("ComboBoxProfile"));
    m_comboBoxProfile->setGeometry(16, 384, 609, 21);

    m_labelOutputDirectory = makeLabel(this, "LabelOutputDirectory", {16, 416}, true);
    m_editOutputDir = new QLineEdit(QStringLiteral("C:\\"), this);
    m_editOutputDir->setObjectName(QStringLiteral("EditOutputDir"));
    m_editOutputDir->setGeometry(16, 432, 473, 21);
    m_buttonBrowse = makeButton(this, "ButtonBrowse", {512, 429, 111, 27});

    // In the skin's warning colour; a click opens the settings where both
    // switches can be changed before Convert.
    m_labelBatchWarning = makeLabel(this, "LabelBatchWarning", {16, 463}, false);
    QPalette warning = m_labelBatchWarning->palette();
    warning.setColor(QPalette::WindowText, QColor(0xFF, 0xB0, 0x40));
    m_labelBatchWarning->setPalette(warning);
    m_labelBatchWarning->setCursor(Qt::PointingHandCursor);
    m_labelBatchWarning->installEventFilter(this);
    m_labelBatchWarning->hide();

    m_buttonChooseProfile = makeButton(this, "ButtonChooseProfile", {16, 488, 111, 27});
    m_buttonSettings = makeButton(this, "ButtonSettings", {136, 488, 111, 27});
    m_buttonEditPresets = makeButton(this, "ButtonEditPresets", {256, 488, 111, 27});
    m_buttonConvert = makeButton(this, "ButtonConvert", {512, 488, 111, 27});
    static_cast<TsuiImageButton *>(m_buttonConvert)->setDefault(true);

    m_buttonMin = makeButton(this, "ButtonMin", {599, 11, 11, 11});
    m_buttonClose = makeButton(this, "ButtonClose", {632, 11, 11, 11});
    m_buttonHelp = makeButton(this, "ButtonHelp", {615, 27, 11, 11});
    for (QAbstractButton *chrome : {m_buttonMin, m_buttonClose, m_buttonHelp})
        chrome->setFocusPolicy(Qt::NoFocus);

    m_popupMenuHelp = new QMenu(this);
    m_popupMenuHelp->setObjectName(QStringLiteral("PopupMenuHelp"));
    m_languagesMI = m_popupMenuHelp->addMenu(QStringLiteral("Languages"));
    m_languagesMI->setObjectName(QStringLiteral("LanguagesMI"));

    m_actionConvert = new QAction(this);
    m_actionConvert->setObjectName(QStringLiteral("ActionConvert"));
    m_actionChooseProfile = new QAction(this);
    m_actionChooseProfile->setObjectName(QStringLiteral("ActionChooseProfile"));
    connect(m_actionConvert, &QAction::triggered, this, &TfrmMain::ActionConvertExecute);
    connect(m_actionChooseProfile, &QAction::triggered, this,
            &TfrmMain::ActionChooseProfileExecute);

    // The list knows the window only through these: Convert in its menu, the
    // status line, and the two folders it reads and changes.
    m_listViewFiles->addRowsAction(m_actionConvert);
    // The line grows with its text ("Adding 340 of 2,000…" is longer than a count).
    connect(m_listViewFiles, &ListViewFiles::statusChanged, m_labelStatusBar,
            [this](const QString &text) {
                m_labelStatusBar->setText(text);
                m_labelStatusBar->adjustSize();
            });
    connect(m_editOutputDir, &QLineEdit::textChanged, m_listViewFiles,
            &ListViewFiles::setOutputFolderText);
    connect(m_listViewFiles, &ListViewFiles::outputFolderChanged, this,
            [this](const QString &folder) {
                globals().OutputPath = folder;
                m_editOutputDir->setText(folder);
            });
    connect(m_listViewFiles, &ListViewFiles::inputFolderChanged, this,
            [](const QString &folder) { globals().InputPath = folder; });
    bindButton(m_buttonAddFiles, m_listViewFiles->ActionAddFiles());
    // The button's own menu (right click) holds Add Folder and, while files
    // are being added, Stop Adding; the list's menu has both too.
    m_buttonAddFiles->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_buttonAddFiles->addActions({m_listViewFiles->ActionAddFiles(),
                                  m_listViewFiles->ActionAddFolder(),
                                  m_listViewFiles->ActionStopAdding()});
    bindButton(m_buttonDelete, m_listViewFiles->ActionDelete());
    bindButton(m_buttonClearList, m_listViewFiles->ActionClearList());
    bindButton(m_buttonBrowse, m_listViewFiles->ActionOutputBrowse());
    bindButton(m_buttonChooseProfile, m_actionChooseProfile);
    bindButton(m_buttonConvert, m_actionConvert);
    connect(m_buttonSettings, &QAbstractButton::clicked, this, &TfrmMain::ButtonSettingsClick);
    connect(m_buttonEditPresets, &QAbstractButton::clicked, this,
            &TfrmMain::ButtonEditPresetsClick);
    // The list's estimated sizes follow the chosen preset's rate.
    connect(m_comboBoxProfile, &QComboBox::currentIndexChanged, this, [this] {
        const TProfileDetailItem *preset = selectedPreset();
        m_listViewFiles->sources().setOutputBitRate(
            preset ? orm::FixedBitRate(orm::IniFile(preset->FileName), preset->Section)
                   : std::nullopt);
    });
    connect(m_buttonMin, &QAbstractButton::clicked, this, &TfrmMain::ButtonMinClick);
    connect(m_buttonClose, &QAbstractButton::clicked, this, &TfrmMain::ButtonCloseClick);
    connect(m_buttonHelp, &QAbstractButton::clicked, this, &TfrmMain::ButtonHelpClick);

    // The background and three labels drag the borderless window.
    for (QWidget *handle :
         {static_cast<QWidget *>(m_imageMain), static_cast<QWidget *>(m_labelProfile),
          static_cast<QWidget *>(m_labelOutputDirectory),
          static_cast<QWidget *>(m_labelProfileInfo)})
        handle->installEventFilter(this);

    // Keep the stacking of the design: background at the bottom.
    m_imageMain->lower();
    setTabOrder(m_listViewFiles, m_buttonAddFiles);
    setTabOrder(m_buttonAddFiles, m_buttonDelete);
    setTabOrder(m_buttonDelete, m_buttonClearList);
    setTabOrder(m_buttonClearList, m_comboBoxProfile);
    setTabOrder(m_comboBoxProfile, m_editOutputDir);
    setTabOrder(m_editOutputDir, m_buttonBrowse);
    setTabOrder(m_buttonBrowse, m_buttonChooseProfile);
    setTabOrder(m_buttonChooseProfile, m_buttonSettings);
    setTabOrder(m_buttonSettings, m_buttonEditPresets);
    setTabOrder(m_buttonEditPresets, m_buttonConvert);

    m_batch = std::make_unique<BatchDriver>(m_listViewFiles->sources(), this, m_listViewFiles);
    KeepSettingsOf(*m_batch, globals());
    connect(m_batch.get(), &BatchDriver::outputPathChanged, m_listViewFiles,
            &ListViewFiles::setOutputPath);
    // Whether the user was at the program when a batch ended follows the
    // progress window's activation (see eventFilter).
    connect(m_batch.get(), &BatchDriver::batchStarted, this, [this](TfrmProgress *window) {
        m_progressWindow = window;
        m_batchEndWatched = false;
        window->installEventFilter(this);
        holdInputDuringBatch(true);
    });
    connect(m_batch.get(), &BatchDriver::batchFinished, this, [this](const BatchResult &result) {
        holdInputDuringBatch(false);
        UpdateBatchWarning(); // the progress window may have changed the switches
        // A user who was at another program when the batch ended learns it
        // from the desktop; one who was looking at this program sees it here.
        if (!m_batchEndWatched)
            SendBatchNotice(BatchNoticeTextFor(m_batch->queue().counts().done,
                                               m_batch->queue().counts().failed,
                                               result.stoppedNow));
        RunAfterBatch(result, m_batch->failures(), globals(), this, m_countdownTickMs, [this] {
            // The program ends after the current message, as any close does.
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        });
    });

    RestartProgram = [] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                QCoreApplication::arguments().mid(1, 1));
    };
}

TfrmMain::~TfrmMain() = default;

bool TfrmMain::FormCreate()
{
    TGlobalVars &g = globals();
    // Numbers are read and written with "." whatever the desktop's locale says.
    QLocale::setDefault(QLocale::c());
    orm::SetDefaultPlacementFile(SettingsFileName(g));
    LoadSkin(AppRelativePath(g, g.SkinFolder + g.SkinFileName));

    bool firstRun = false;
    // A folder the settings cannot be written to: the program runs on the
    // defaults, and the user knows that nothing will be kept.
    if (!orm::GuardEvent([&] { firstRun = !LoadSettings(g); }))
        firstRun = true;
    if (firstRun) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QSize s = screen->geometry().size();
            move((s.width() - width()) / 2, (s.height() - height()) / 2);
        }
    }
    m_editOutputDir->setText(g.OutputPath);
    m_listViewFiles->setOutputPath(g.OutputPath);
    m_listViewFiles->setInputFolder(g.InputPath);

    checkLanguageSetting();
    // The language is not loaded yet, so this box speaks English.
    if (!checkTypeFile(msg(Msg::MSG_ERROR), orm::mb::kIconExclamation))
        return false;
    loadTypeLists();
    loadLanguage();
    if (!ApplyLanguage())
        return false;
    warnOfUnusableTypeFile();
    BuildLanguageMenu();
    setAcceptDrops(true);
    // The list of the last run comes back, unless another program has it.
    m_keptList =
        std::make_unique<KeptList>(m_listViewFiles->sources(), m_batch->queue(),
                                   orm::UserFolders(g.AppFolder).settingsFile(u"vuzu.list"));
    const QString listInUse = m_keptList->open();
    m_listViewFiles->UpdateStatus();
    if (!listInUse.isEmpty()) {
        m_labelStatusBar->setText(listInUse);
        m_labelStatusBar->adjustSize();
    }
    orm::LoadPlacement(QStringLiteral("form"), this);

    // Started for one family, the program converts with that family's profile
    // also when the chooser is not shown; without one the chooser asks.
    const bool askForProfile = g.ShowWindow || !TakeStartedFamilyProfile(g);
    if (askForProfile && !ShowProfileChooser(g, this, false)) {
        m_exitCode = 0;
        return false;
    }
    LoadProfileItems();
    UpdateBatchWarning();
    QMetaObject::invokeMethod(this, &TfrmMain::showMainWindow, Qt::QueuedConnection);
    return true;
}

void TfrmMain::showMainWindow()
{
    show();
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is not a new showing.
    if (!event->spontaneous())
        RunSkinStep(*this, [this] {
            ApplyMainSkin(*this, skin(), AppRelativePath(globals(), globals().SkinFolder));
        });
    UpdateBatchWarning();
}

void TfrmMain::checkLanguageSetting()
{
    TGlobalVars &g = globals();
    const QString english = QStringLiteral("english.ini");
    if (g.LanguageFile.compare(english, Qt::CaseInsensitive) == 0)
        return; // the built-in texts need no file
    // A language file that cannot be read is the setting's fault; a missing
    // type file beside a readable language file is the installation's.
    const QString languagePath = AppRelativePath(g, g.LanguageFolder + g.LanguageFile);
    if (orm::IniFile(languagePath).exists())
        return;
    orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_LANGUAGE_SETTING_UNUSABLE),
                                           {QDir::toNativeSeparators(SettingsFileName(g)),
                                            QDir::toNativeSeparators(languagePath)}),
                        msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    g.LanguageFile = english;
}

bool TfrmMain::checkTypeFile(const QString &captionText, unsigned icon)
{
    const QString path =
        TypeFileName(globals().AppFolder, globals().LanguageFolder, globals().LanguageFile);
    if (QFileInfo(path).isFile())
        return true;
    orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_NO_DAT_FILE), {path}), captionText,
                        icon | orm::mb::kOk);
    m_exitCode = 1;
    return false;
}

void TfrmMain::loadTypeLists()
{
    LoadTypeLists(m_typeLists, TypeFileName(globals().AppFolder, globals().LanguageFolder,
                                            globals().LanguageFile));
    m_listViewFiles->setInputFileTypes(m_typeLists.InputFileTypes);
    m_listViewFiles->setOpenFilter(BuildOpenFilter(m_typeLists.InputFileTypes));
}

void TfrmMain::loadLanguage()
{
    const TGlobalVars &g = globals();
    const QString path = AppRelativePath(g, g.LanguageFolder + g.LanguageFile);
    // A file that is there but holds none of the texts (not a language file,
    // or broken) is named; the English texts stay.
    if (messages().LoadLanguage(path) == 0)
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_LANGUAGE_FILE_UNUSABLE), {path}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    orm::UseToolkitLanguage(g.LanguageFile);
    m_listViewFiles->setNumberLocale(QLocale(orm::LanguageCodeOfFile(g.LanguageFile)));
}

void TfrmMain::warnOfUnusableTypeFile()
{
    // A type file whose lines give no pattern accepts nothing: say so, or
    // "Add Files" would refuse every file without a word.
    for (const QString &line : std::as_const(m_typeLists.InputFileTypes)) {
        if (line.contains(u'=') && line.section(u'=', 1).contains(u'*'))
            return;
    }
    orm::ShowMessageBox(
        orm::FormatMessage(
            msg(Msg::MSG_TYPE_FILE_UNUSABLE),
            {TypeFileName(globals().AppFolder, globals().LanguageFolder, globals().LanguageFile)}),
        msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
}

void TfrmMain::endProgram(int exitCode)
{
    m_exitCode = exitCode;
    // Ends the program without the normal close: the settings that led here
    // are not written, so the next start is not refused the same way.
    QCoreApplication::exit(exitCode);
}

bool TfrmMain::ApplyLanguage()
{
    if (!checkTypeFile(msg(Msg::MSG_NO_DAT_FILE_TITLE), orm::mb::kIconInformation)) {
        endProgram(1);
        return false;
    }
    loadTypeLists();

    const QString title = ApplicationTitle();
    setWindowTitle(title);
    m_languagesMI->setTitle(msg(Msg::MSG_LANGUAGES));
    m_buttonMin->setToolTip(msg(Msg::MSG_MINIMISE_HINT));
    m_buttonClose->setToolTip(msg(Msg::MSG_CLOSE_HINT));
    m_actionConvert->setText(msg(Msg::MSG_CONVERT));
    m_actionChooseProfile->setText(msg(Msg::MSG_CHOOSE_PROFILE));
    m_listViewFiles->ApplyLanguage(); // its actions, column captions and status line
    m_labelProfile->setText(msg(Msg::MSG_PROFILE));
    m_labelOutputDirectory->setText(msg(Msg::MSG_OUTPUT_DIR));
    for (QLabel *label : {m_labelProfile, m_labelOutputDirectory})
        label->adjustSize();

    m_buttonAddFiles->setText(buttonCaption(6, Msg::MSG_ADD_FILES));
    m_buttonDelete->setText(buttonCaption(6, Msg::MSG_DELETE));
    m_buttonClearList->setText(buttonCaption(6, Msg::MSG_CLEAR_LIST));
    m_buttonBrowse->setText(buttonCaption(7, Msg::MSG_OUTPUT_BROWSE));
    m_buttonChooseProfile->setText(buttonCaption(10, Msg::MSG_CHOOSE_PROFILE));
    m_buttonSettings->setText(buttonCaption(6, Msg::MSG_SETTINGS_TITLE));
    m_buttonEditPresets->setText(buttonCaption(6, Msg::MSG_EDIT_PRESETS));
    m_buttonConvert->setText(buttonCaption(9, Msg::MSG_CONVERT));
    for (QAbstractButton *button :
         {m_buttonAddFiles, m_buttonDelete, m_buttonClearList, m_buttonBrowse,
          m_buttonChooseProfile, m_buttonSettings, m_buttonEditPresets, m_buttonConvert})
        button->setToolTip(button->text().trimmed());
    m_listViewFiles->UpdateStatus();
    m_labelStatusBar->adjustSize();
    UpdateBatchWarning();
    return true;
}

void TfrmMain::BuildLanguageMenu()
{
    const TGlobalVars &g = globals();
    m_languagesMI->clear();
    delete m_languagesMI->findChild<QActionGroup *>();
    auto *group = new QActionGroup(m_languagesMI);
    group->setExclusive(true);
    const auto entries = LanguageMenuEntries(AppRelativePath(g, g.LanguageFolder), g.LanguageFile);
    for (const LanguageEntry &entry : entries) {
        QAction *action = m_languagesMI->addAction(entry.caption);
        action->setCheckable(true);
        action->setChecked(entry.checked);
        group->addAction(action);
    }
    connect(group, &QActionGroup::triggered, this, &TfrmMain::LanguageMenuClick);
}

void TfrmMain::LanguageMenuClick(QAction *entry)
{
    TGlobalVars &g = globals();
    g.LanguageFile = LanguageFileForCaption(entry->text());
    loadLanguage();
    if (!ApplyLanguage())
        return;
    warnOfUnusableTypeFile();
    // The preset list speaks the new language too, with the same preset chosen.
    const int preset = m_comboBoxProfile->currentIndex();
    LoadProfileItems();
    if (preset >= 0 && preset < m_comboBoxProfile->count())
        m_comboBoxProfile->setCurrentIndex(preset);
    entry->setChecked(true);
    const int answer = orm::ShowChoiceDialog(
        msg(Msg::MSG_NEEDRESTART), msg(Msg::MSG_INFORMATION), orm::DialogKind::Information,
        {msg(Msg::MSG_YES), msg(Msg::MSG_NO)}, orm::choice::kYes | orm::choice::kNo);
    if (answer == orm::IdYes) {
        m_restartOnClose = true;
        close();
    }
}

void TfrmMain::LoadProfileItems()
{
    // The chosen profile follows the language: its file in the language's folder.
    TGlobalVars &g = globals();
    g.ProfileFolderName = ProfileFolderForLanguage(g.LanguageFile, g.ProfileFolderName);
    g.ProfilePath = ProfileInFolder(g.ProfilePath, AppRelativePath(g, g.ProfileFolderName));
    // Missing, or no regular file (a FIFO or a device is never read): said
    // at once, with the setting that names it.
    if (!g.ProfilePath.isEmpty() && !orm::IniFile(g.ProfilePath).exists())
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_PROFILE_SETTING_UNUSABLE),
                                               {QDir::toNativeSeparators(SettingsFileName(g)),
                                                QDir::toNativeSeparators(g.ProfilePath)}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    const ProfilePresets presets = marbeck::LoadProfileItems(g.ProfilePath);
    m_presets = presets.presets;
    m_comboBoxProfile->clear();
    for (const TProfileDetailItem &item : std::as_const(m_presets))
        m_comboBoxProfile->addItem(item.Title);
    // A preset the installed encoder cannot run stays listed, greyed, with the reason.
    const orm::PresetHealth &health =
        orm::InstalledPresetHealth(globals().AppFolder + "/cores/avcore.dll");
    for (int i = 0; i < m_presets.size(); ++i) {
        const QString reason =
            health.missingFor(orm::IniFile(m_presets[i].FileName), m_presets[i].Section);
        if (reason.isEmpty())
            continue;
        m_comboBoxProfile->setItemData(i, reason, Qt::ToolTipRole);
        m_comboBoxProfile->setItemData(i, QVariant(0), Qt::UserRole - 1); // no ItemIsEnabled
    }
    if (!m_presets.isEmpty())
        m_comboBoxProfile->setCurrentIndex(0);
    m_labelProfileInfo->setText(presets.profileInfo);
    m_labelProfileInfo->adjustSize();
    m_comboBoxProfile->setToolTip(presets.profileInfo);
}

const TProfileDetailItem *TfrmMain::selectedPreset() const
{
    const int index = m_comboBoxProfile->currentIndex();
    return index >= 0 && index < m_presets.size() ? &m_presets[index] : nullptr;
}

void TfrmMain::ActionConvertExecute()
{
    if (const TProfileDetailItem *preset = selectedPreset()) {
        const QString reason = orm::InstalledPresetHealth(globals().AppFolder + "/cores/avcore.dll")
                                   .missingFor(orm::IniFile(preset->FileName), preset->Section);
        if (!reason.isEmpty()) {
            orm::ShowMessageBox(reason, msg(Msg::MSG_HINT), orm::mb::kIconExclamation);
            return;
        }
    } else if (m_presets.isEmpty() && listViewFiles()->sources().count() > 0) {
        // A profile file that gave no preset: say which file, not a list index.
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_PROFILE_NO_PRESETS),
                                               {QDir::toNativeSeparators(globals().ProfilePath)}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
        return;
    }
    m_batch->ActionConvertExecute(selectedPreset(), m_editOutputDir->text(),
                                  BatchOptionsFor(globals(), m_typeLists.AVSExt, selectedPreset()));
}

void TfrmMain::ActionChooseProfileExecute()
{
    ShowProfileChooser(globals(), this, true);
    LoadProfileItems();
}

void TfrmMain::ButtonSettingsClick()
{
    RunSettingsDialog(this, AutomaticJobsFor(selectedPreset()));
    UpdateBatchWarning();
}

PresetEditorSetup TfrmMain::presetEditorSetup() const
{
    const TGlobalVars &g = globals();
    PresetEditorSetup setup;
    setup.profilePath = g.ProfilePath;
    if (const TProfileDetailItem *preset = selectedPreset())
        setup.section = preset->Section;
    setup.userFolder = orm::UserFolders(g.AppFolder).userProfileFolder();
    setup.programFolder = g.AppFolder;
    if (const int row = m_listViewFiles->firstSelectedRow(); row >= 0) {
        const TFileItem &item = m_listViewFiles->sources().item(row);
        setup.source = item.path();
        setup.sourceHasVideo = item.VideoCount.toInt() > 0;
    }
    // The main window's ground and its labels' colour.
    QPalette look = palette();
    look.setColor(QPalette::Window, m_imageMain->palette().color(QPalette::Window));
    look.setColor(QPalette::WindowText, m_labelProfile->palette().color(QPalette::WindowText));
    setup.look = look;
    return setup;
}

void TfrmMain::ButtonEditPresetsClick()
{
    TGlobalVars &g = globals();
    TfrmPresetEditor editor(presetEditorSetup(), this);
    editor.exec();
    // The profile the editor last showed is the one in use, with its preset.
    if (QFileInfo::exists(editor.profilePath()))
        g.ProfilePath = editor.profilePath();
    const QString section = editor.section();
    LoadProfileItems();
    for (int i = 0; i < m_presets.size(); ++i) {
        if (m_presets[i].Section == section)
            m_comboBoxProfile->setCurrentIndex(i);
    }
}

void TfrmMain::UpdateBatchWarning()
{
    const TGlobalVars &g = globals();
    QStringList lines;
    if (g.DeleteFileAfterProcessing)
        lines << msg(Msg::MSG_WARN_TRASH);
    const QString action = ShutdownActionNames().value(g.ShutdownFlag);
    if (g.ShutdownWindowsWhenDone && !action.isEmpty())
        lines << orm::FormatMessage(msg(Msg::MSG_WARN_AFTER_BATCH), {action});
    m_labelBatchWarning->setText(lines.join(QStringLiteral("  \u00b7  ")));
    m_labelBatchWarning->adjustSize();
    // One line in the gap between the output folder and the buttons below it,
    // wherever the skin put them.
    const int gapTop = m_editOutputDir->geometry().bottom() + 1;
    const int gapBottom = m_buttonChooseProfile->y();
    m_labelBatchWarning->move(m_editOutputDir->x(),
                              (gapTop + gapBottom - m_labelBatchWarning->height()) / 2);
    m_labelBatchWarning->setVisible(!lines.isEmpty());
}

void TfrmMain::ButtonHelpClick()
{
    m_popupMenuHelp->popup(QCursor::pos());
}

void TfrmMain::ButtonMinClick()
{
    showMinimized();
}

void TfrmMain::ButtonCloseClick()
{
    close();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // Closing during a batch asks like the close button; an end request from
    // outside does not.
    if (!orm::ClosingOnEndRequest() && !askStopBatch(*m_batch)) {
        event->ignore();
        return;
    }
    // Closing is always allowed; a running conversion ends with the window.
    if (m_batch->Running())
        m_batch->Terminate();
    orm::GuardEvent([this] {
        SaveSettings(globals());
        orm::SavePlacement(QStringLiteral("form"), this);
    });
    // Before a restart, so that the new program finds the list and takes it;
    // a restart keeps the list even when it is not to outlive the program.
    if (m_keptList)
        m_keptList->close(globals().KeepList || m_restartOnClose);
    event->accept();
    if (m_restartOnClose) {
        m_restartOnClose = false;
        if (RestartProgram)
            RestartProgram();
    }
}

void TfrmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    m_listViewFiles->DropFiles(paths);
}

void TfrmMain::holdInputDuringBatch(bool hold)
{
    // The list, the preset and the folders cannot change during a batch; the
    // caption's buttons and the surfaces that move the window stay.
    m_listViewFiles->setLocked(hold);
    for (QWidget *part :
         std::initializer_list<QWidget *>{m_comboBoxProfile, m_editOutputDir, m_buttonSettings,
                                          m_buttonEditPresets, m_buttonHelp})
        part->setEnabled(!hold);
    m_actionChooseProfile->setEnabled(!hold);
    m_languagesMI->setEnabled(!hold);
    setAcceptDrops(!hold);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_progressWindow.data()) {
        // The progress window is active while the user looks at the program
        // during a batch. A deactivation while it is still on screen is the
        // user going elsewhere; the one its hiding brings (it is unmapped
        // first) says nothing about the user.
        if (event->type() == QEvent::WindowActivate)
            m_batchEndWatched = true;
        else if (event->type() == QEvent::WindowDeactivate &&
                 m_progressWindow->testAttribute(Qt::WA_Mapped))
            m_batchEndWatched = false;
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_labelBatchWarning) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            ButtonSettingsClick();
        return QWidget::eventFilter(watched, event);
    }
    if (watched->isWidgetType() && m_drag.handle(*this, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

} // namespace marbeck

#include "presets/tfrmpreseteditor.h"

#include "lang/marbeckmessages.h"
#include "shared/devicelimits.h"
#include "shared/interaction.h"
#include "shared/resstr.h"
#include "shared/ui/fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace marbeck {

namespace {

constexpr int kTrySeconds = 5;
constexpr int kWidth = 680;
constexpr int kHeight = 540;

QLabel *label(QWidget *parent, const char *name, QPoint at)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    return l;
}

QLineEdit *lineEdit(QWidget *parent, const char *name, const QRect &place)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(place);
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QRect &place)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

QString limitName(orm::LimitKind kind)
{
    switch (kind) {
    case orm::LimitKind::VideoCodec: return msg(Msg::MSG_LIMIT_VIDEO_CODEC);
    case orm::LimitKind::VideoProfile: return msg(Msg::MSG_LIMIT_PROFILE);
    case orm::LimitKind::Level: return msg(Msg::MSG_LIMIT_LEVEL);
    case orm::LimitKind::ReferenceFrames: return msg(Msg::MSG_LIMIT_REF_FRAMES);
    case orm::LimitKind::Size: return msg(Msg::MSG_LIMIT_SIZE);
    case orm::LimitKind::FrameRate: return msg(Msg::MSG_LIMIT_FRAME_RATE);
    case orm::LimitKind::AverageRate: return msg(Msg::MSG_LIMIT_VIDEO_RATE);
    case orm::LimitKind::AudioCodec: return msg(Msg::MSG_LIMIT_AUDIO_CODEC);
    case orm::LimitKind::SampleRate: return msg(Msg::MSG_LIMIT_SAMPLE_RATE);
    case orm::LimitKind::Channels: return msg(Msg::MSG_LIMIT_CHANNELS);
    }
    return {};
}

// What came out of a try, line by line: the verdict, what the file is, and
// each of the device's limits with the file's value beside it.
QString resultText(const TrialResult &r, const std::optional<orm::DeviceLimits> &limits)
{
    if (!r.converted)
        return msg(Msg::MSG_PE_NOT_CONVERTED) + "\n" + r.failureText;
    const orm::OutputFacts &f = r.facts;
    const double kbps = f.seconds > 0 ? f.bytes * 8 / f.seconds / 1000 : 0;
    QStringList lines;
    lines << orm::FormatMessage(msg(Msg::MSG_PE_CONVERTED), {QFileInfo(r.outputFile).fileName(),
                                                             QLocale().formattedDataSize(f.bytes),
                                                             QString::number(f.seconds, 'f', 1),
                                                             QString::number(qRound(kbps))});
    if (!f.videoCodec.isEmpty())
        lines << QStringLiteral("%1: %2 %3, %4 %5, %6x%7, %8 fps")
                     .arg(msg(Msg::MSG_LIMIT_VIDEO_CODEC), f.videoCodec, f.videoProfile,
                          msg(Msg::MSG_LIMIT_LEVEL), QString::number(f.level))
                     .arg(f.size.width())
                     .arg(f.size.height())
                     .arg(f.frameRate, 0, 'g', 4);
    if (!f.audioCodec.isEmpty())
        lines << QStringLiteral("%1: %2, %3 Hz, %4 %5")
                     .arg(msg(Msg::MSG_LIMIT_AUDIO_CODEC), f.audioCodec)
                     .arg(f.sampleRate)
                     .arg(f.channels)
                     .arg(msg(Msg::MSG_LIMIT_CHANNELS));
    if (!limits) {
        lines << msg(Msg::MSG_PE_NO_DEVICE);
        return lines.join('\n');
    }
    lines << orm::FormatMessage(msg(Msg::MSG_PE_LIMITS), {limits->device});
    for (const orm::LimitCheck &c : r.checks)
        lines << QStringLiteral("  %1: %2 (%3) %4")
                     .arg(limitName(c.kind), c.measured,
                          orm::FormatMessage(msg(Msg::MSG_PE_DEVICE_TAKES), {c.limit}),
                          c.within ? msg(Msg::MSG_PE_WITHIN) : msg(Msg::MSG_PE_OUTSIDE));
    return lines.join('\n');
}

} // namespace

TfrmPresetEditor::TfrmPresetEditor(PresetEditorSetup setup, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_setup(std::move(setup)),
      m_user(m_setup.userFolder)
{
    setObjectName(QStringLiteral("frmPresetEditor"));
    setFont(orm::WindowFont());
    setFixedSize(kWidth, kHeight);
    if (m_setup.look) {
        setPalette(*m_setup.look);
        setAutoFillBackground(true);
    }

    m_labelProfile = label(this, "LabelProfile", {12, 12});
    m_editProfileTitle = lineEdit(this, "EditProfileTitle", {110, 8, 558, 22});
    m_labelDescription = label(this, "LabelDescription", {12, 40});
    m_editDescription = lineEdit(this, "EditDescription", {110, 36, 558, 22});
    m_labelShipped = label(this, "LabelShipped", {12, 64});
    m_labelShipped->setGeometry(12, 64, 656, 30);
    m_labelShipped->setWordWrap(true);

    m_labelPresets = label(this, "LabelPresets", {12, 100});
    m_listPresets = new QListWidget(this);
    m_listPresets->setObjectName(QStringLiteral("ListPresets"));
    m_listPresets->setGeometry(12, 118, 230, 250);
    m_buttonDuplicatePreset = button(this, "ButtonDuplicatePreset", {12, 376, 230, 25});
    m_buttonDuplicateProfile = button(this, "ButtonDuplicateProfile", {12, 405, 230, 25});
    m_buttonRename = button(this, "ButtonRename", {12, 434, 112, 25});
    m_buttonDelete = button(this, "ButtonDelete", {130, 434, 112, 25});

    m_labelTitle = label(this, "LabelTitle", {254, 100});
    m_editTitle = lineEdit(this, "EditTitle", {340, 96, 328, 22});
    m_labelExtension = label(this, "LabelExtension", {254, 128});
    m_editExtension = lineEdit(this, "EditExtension", {340, 124, 80, 22});
    m_labelCommands = label(this, "LabelCommands", {254, 158});
    m_buttonPlaceholder = button(this, "ButtonPlaceholder", {508, 152, 160, 25});
    auto *placeholders = new QMenu(m_buttonPlaceholder);
    for (const QString &name : PlaceholderNames())
        placeholders->addAction(name, this,
                                [this, name] { m_memoCommands->insertPlainText(name); });
    m_buttonPlaceholder->setMenu(placeholders);
    m_memoCommands = new QPlainTextEdit(this);
    m_memoCommands->setObjectName(QStringLiteral("MemoCommands"));
    m_memoCommands->setGeometry(254, 180, 414, 120);
    // Wrapped, so that a whole command can be read; each line is one command.
    m_memoCommands->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memoCommands->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_memoCommands->setFont(orm::ReportFont());

    m_buttonTry = button(this, "ButtonTry", {254, 308, 90, 25});
    m_buttonPlay = button(this, "ButtonPlay", {350, 308, 90, 25});
    m_progressTry = new QProgressBar(this);
    m_progressTry->setObjectName(QStringLiteral("ProgressTry"));
    m_progressTry->setGeometry(448, 311, 220, 19);
    m_progressTry->setRange(0, 100);
    m_progressTry->setTextVisible(false);
    m_memoResult = new QPlainTextEdit(this);
    m_memoResult->setObjectName(QStringLiteral("MemoResult"));
    m_memoResult->setGeometry(254, 340, 414, 150);
    m_memoResult->setReadOnly(true);
    m_memoResult->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    m_buttonPlay->setEnabled(false);

    m_buttonSave = button(this, "ButtonSave", {492, 502, 84, 27});
    m_buttonClose = button(this, "ButtonClose", {584, 502, 84, 27});

    connect(m_listPresets, &QListWidget::currentRowChanged, this, &TfrmPresetEditor::showPreset);
    for (QLineEdit *edit : {m_editTitle, m_editExtension})
        connect(edit, &QLineEdit::textEdited, this, &TfrmPresetEditor::presetEdited);
    connect(m_memoCommands, &QPlainTextEdit::textChanged, this, &TfrmPresetEditor::presetEdited);
    connect(m_editProfileTitle, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_draft.title = text;
        setUnsaved(true);
    });
    connect(m_editDescription, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_draft.description = text;
        setUnsaved(true);
    });
    const auto guarded = [this](void (TfrmPresetEditor::*handler)()) {
        return [this, handler] { orm::GuardEvent([&] { (this->*handler)(); }); };
    };
    connect(m_buttonDuplicatePreset, &QPushButton::clicked, this,
            guarded(&TfrmPresetEditor::ButtonDuplicatePresetClick));
    connect(m_buttonDuplicateProfile, &QPushButton::clicked, this,
            guarded(&TfrmPresetEditor::ButtonDuplicateProfileClick));
    connect(m_buttonRename, &QPushButton::clicked, this,
            guarded(&TfrmPresetEditor::ButtonRenameClick));
    connect(m_buttonDelete, &QPushButton::clicked, this,
            guarded(&TfrmPresetEditor::ButtonDeleteClick));
    connect(m_buttonTry, &QPushButton::clicked, this, guarded(&TfrmPresetEditor::ButtonTryClick));
    connect(m_buttonPlay, &QPushButton::clicked, this, guarded(&TfrmPresetEditor::ButtonPlayClick));
    connect(m_buttonSave, &QPushButton::clicked, this, [this] { ButtonSaveClick(); });
    connect(m_buttonClose, &QPushButton::clicked, this, &TfrmPresetEditor::reject);

    ApplyLanguage();
    const ProfileDraft first = ProfileDraft::read(m_setup.profilePath);
    int preset = 0;
    for (int i = 0; i < first.presets.size(); ++i) {
        if (first.presets[i].section == m_setup.section)
            preset = i;
    }
    load(m_setup.profilePath, preset);
}

TfrmPresetEditor::~TfrmPresetEditor() = default;

void TfrmPresetEditor::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_PE_CAPTION));
    m_labelProfile->setText(msg(Msg::MSG_PE_PROFILE));
    m_labelDescription->setText(msg(Msg::MSG_PE_DESCRIPTION));
    m_labelShipped->setText(msg(Msg::MSG_PE_SHIPPED));
    m_labelPresets->setText(msg(Msg::MSG_PE_PRESETS));
    m_labelTitle->setText(msg(Msg::MSG_PE_TITLE));
    m_labelExtension->setText(msg(Msg::MSG_PE_EXTENSION));
    m_labelCommands->setText(msg(Msg::MSG_PE_COMMANDS));
    m_buttonPlaceholder->setText(msg(Msg::MSG_PE_PLACEHOLDER));
    m_buttonDuplicatePreset->setText(msg(Msg::MSG_PE_DUPLICATE_PRESET));
    m_buttonDuplicateProfile->setText(msg(Msg::MSG_PE_DUPLICATE_PROFILE));
    m_buttonRename->setText(msg(Msg::MSG_PE_RENAME));
    m_buttonDelete->setText(msg(Msg::MSG_PE_DELETE));
    m_buttonTry->setText(msg(Msg::MSG_PE_TRY));
    m_buttonPlay->setText(msg(Msg::MSG_PE_PLAY));
    m_buttonSave->setText(msg(Msg::MSG_PE_SAVE));
    m_buttonClose->setText(msg(Msg::MSG_PE_CLOSE));
    for (QLabel *l : {m_labelProfile, m_labelDescription, m_labelPresets, m_labelTitle,
                      m_labelExtension, m_labelCommands})
        l->adjustSize();
}

QString TfrmPresetEditor::section() const
{
    return m_current >= 0 && m_current < m_draft.presets.size() ? m_draft.presets[m_current].section
                                                                : QString();
}

QString TfrmPresetEditor::copySuffix() const
{
    return ' ' + msg(Msg::MSG_PE_COPY_SUFFIX);
}

void TfrmPresetEditor::load(const QString &path, int preset)
{
    m_draft = ProfileDraft::read(path);
    m_owned = m_user.owns(path);
    if (!m_owned)
        m_shippedPath = path;
    m_filling = true;
    m_editProfileTitle->setText(m_draft.title);
    m_editDescription->setText(m_draft.description);
    for (QLineEdit *edit : {m_editProfileTitle, m_editDescription, m_editTitle, m_editExtension})
        edit->setReadOnly(!m_owned);
    m_memoCommands->setReadOnly(!m_owned);
    m_buttonPlaceholder->setEnabled(m_owned);
    m_labelShipped->setVisible(!m_owned);
    m_listPresets->clear();
    for (const PresetDraft &p : m_draft.presets)
        m_listPresets->addItem(p.title);
    m_current = -1;
    m_filling = false;
    if (m_draft.presets.isEmpty())
        showPreset(-1);
    else
        m_listPresets->setCurrentRow(qMin(qMax(preset, 0), int(m_draft.presets.size()) - 1));
    setUnsaved(false);
}

void TfrmPresetEditor::showPreset(int index)
{
    if (m_filling)
        return;
    m_current = index;
    const PresetDraft p = m_draft.presets.value(index);
    m_filling = true;
    m_editTitle->setText(p.title);
    m_editExtension->setText(p.extension);
    m_memoCommands->setPlainText(p.commands.join('\n'));
    m_filling = false;
    const bool any = index >= 0 && index < m_draft.presets.size();
    m_buttonDuplicatePreset->setEnabled(any);
    m_buttonRename->setEnabled(any && m_owned);
    m_buttonDelete->setEnabled(any && m_owned);
    m_buttonTry->setEnabled(any || (m_trial && m_trial->running()));
}

void TfrmPresetEditor::presetEdited()
{
    if (m_filling || !m_owned || m_current < 0 || m_current >= m_draft.presets.size())
        return;
    PresetDraft &p = m_draft.presets[m_current];
    p.title = m_editTitle->text();
    p.extension = m_editExtension->text().trimmed();
    p.commands = m_memoCommands->toPlainText().split('\n', Qt::SkipEmptyParts);
    if (QListWidgetItem *item = m_listPresets->item(m_current))
        item->setText(p.title);
    setUnsaved(true);
}

void TfrmPresetEditor::setUnsaved(bool unsaved)
{
    m_unsaved = unsaved;
    m_buttonSave->setEnabled(m_owned && unsaved);
}

bool TfrmPresetEditor::settleChanges()
{
    if (!m_unsaved)
        return true;
    const int answer =
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_PE_SAVE_QUESTION), {m_draft.title}),
                            msg(Msg::MSG_QUESTION), orm::mb::kYesNoCancel | orm::mb::kIconQuestion);
    if (answer == orm::IdCancel)
        return false;
    if (answer == orm::IdYes)
        return ButtonSaveClick();
    load(m_draft.path, m_current); // the changes are dropped
    return true;
}

void TfrmPresetEditor::ButtonDuplicatePresetClick()
{
    if (m_current < 0 || m_current >= m_draft.presets.size())
        return;
    if (m_owned) {
        PresetDraft copy = m_draft.presets[m_current];
        copy.section.clear();
        copy.title = WithSuffix(copy.title, copySuffix());
        m_draft.presets.insert(m_current + 1, copy);
        m_filling = true;
        m_listPresets->insertItem(m_current + 1, copy.title);
        m_filling = false;
        m_listPresets->setCurrentRow(m_current + 1);
        setUnsaved(true);
        return;
    }
    const ProfileDraft copy = CopyOfPreset(m_draft, m_current, m_user.freePathFor(m_draft.path),
                                           copySuffix(), limitsFile());
    if (!saveShown(copy))
        return;
    load(copy.path, 0);
}

void TfrmPresetEditor::ButtonDuplicateProfileClick()
{
    if (!settleChanges())
        return;
    const int preset = m_current;
    const ProfileDraft copy =
        CopyOfProfile(m_draft, m_user.freePathFor(m_draft.path), copySuffix(), limitsFile());
    if (!saveShown(copy))
        return;
    load(copy.path, preset);
}

void TfrmPresetEditor::ButtonRenameClick()
{
    m_editTitle->setFocus();
    m_editTitle->selectAll();
}

void TfrmPresetEditor::ButtonDeleteClick()
{
    if (!m_owned || m_current < 0 || m_current >= m_draft.presets.size())
        return;
    const int answer = orm::ShowMessageBox(
        orm::FormatMessage(msg(Msg::MSG_PE_DELETE_QUESTION), {m_draft.presets[m_current].title}),
        msg(Msg::MSG_QUESTION), orm::mb::kYesNo | orm::mb::kIconQuestion);
    if (answer != orm::IdYes)
        return;
    m_draft.presets.removeAt(m_current);
    if (!m_draft.presets.isEmpty()) {
        const int next = qMin(m_current, int(m_draft.presets.size()) - 1);
        m_filling = true;
        delete m_listPresets->takeItem(m_current);
        m_filling = false;
        m_current = -1;
        m_listPresets->setCurrentRow(next);
        showPreset(next);
        setUnsaved(true);
        return;
    }
    // A profile without presets offers nothing: it goes, and the window
    // shows the shipped profile it came from.
    m_user.remove(m_draft.path);
    QString back = m_shippedPath;
    if (back.isEmpty() || !QFileInfo::exists(back))
        back = m_setup.profilePath;
    load(back, 0);
}

bool TfrmPresetEditor::ButtonSaveClick()
{
    if (!m_owned)
        return true;
    if (!saveShown(m_draft))
        return false;
    load(m_draft.path, m_current); // new presets get their sections
    return true;
}

bool TfrmPresetEditor::saveShown(const ProfileDraft &draft)
{
    const auto saved = m_user.save(draft);
    if (!saved)
        orm::ShowMessageBox(orm::FormatMessage(msg(Msg::MSG_PE_SAVE_FAILED), {saved.error()}),
                            msg(Msg::MSG_ERROR), orm::mb::kIconError);
    return saved.has_value();
}

QString TfrmPresetEditor::limitsFile() const
{
    return QDir(m_setup.programFolder).filePath(QStringView(orm::kDeviceLimitsFile).toString());
}

void TfrmPresetEditor::ButtonTryClick()
{
    if (m_trial && m_trial->running()) {
        m_trial->stop();
        return;
    }
    if (m_current < 0 || m_current >= m_draft.presets.size())
        return;
    if (m_setup.source.isEmpty()) {
        m_memoResult->setPlainText(
            orm::FormatMessage(msg(Msg::MSG_PE_NO_SOURCE), {QString::number(kTrySeconds)}));
        return;
    }
    const PresetDraft &preset = m_draft.presets[m_current];
    const QList<orm::DeviceLimits> devices = orm::ReadDeviceLimits(limitsFile());
    TrialSetup setup{m_setup.programFolder,
                     m_setup.source,
                     m_setup.sourceHasVideo,
                     preset,
                     orm::LimitsOfPreset(devices, m_draft.path, preset.section, preset.device),
                     kTrySeconds};
    const std::optional<orm::DeviceLimits> limits = setup.limits;
    m_trial.reset(); // the last try's output goes
    m_trial = std::make_unique<PresetTrial>(std::move(setup));
    connect(m_trial.get(), &PresetTrial::progressed, m_progressTry, &QProgressBar::setValue);
    connect(m_trial.get(), &PresetTrial::finished, this, [this, limits](const TrialResult &result) {
        m_memoResult->setPlainText(resultText(result, limits));
        trialFinished(result);
    });
    m_progressTry->setValue(0);
    m_buttonPlay->setEnabled(false);
    m_buttonTry->setText(msg(Msg::MSG_PE_STOP));
    m_memoResult->setPlainText(
        orm::FormatMessage(msg(Msg::MSG_PE_TRYING),
                           {QString::number(kTrySeconds), QFileInfo(m_setup.source).fileName()}));
    m_trial->start();
}

void TfrmPresetEditor::trialFinished(const TrialResult &result)
{
    m_buttonTry->setText(msg(Msg::MSG_PE_TRY));
    m_progressTry->setValue(result.converted ? 100 : 0);
    m_buttonPlay->setEnabled(result.converted && !result.outputFile.isEmpty());
    m_triedOutput = result.outputFile;
}

void TfrmPresetEditor::ButtonPlayClick()
{
    orm::ShellOpen(m_triedOutput);
}

void TfrmPresetEditor::reject()
{
    if (!settleChanges())
        return;
    if (m_trial)
        m_trial->stop();
    QDialog::reject();
}

} // namespace marbeck

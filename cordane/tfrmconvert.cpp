#include "tfrmconvert.h"

#include "cordanemessages.h"
#include "parentnotice.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "shared/batchscript.h"
#include "shared/commandtemplate.h"
#include "shared/conversionjob.h"
#include "shared/error.h"
#include "shared/ini.h"
#include "shared/interaction.h"
#include "shared/placement.h"
#include "shared/utilfuncs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace cordane {

namespace {

QLabel *label(QWidget *parent, int x, int y, int width, const QString &text = QStringLiteral("..."))
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 14);
    return l;
}

// Only a preset with at least one command line can convert anything.
bool hasCommands(const QString &profileFile, const QString &section)
{
    const orm::IniFile ini(profileFile);
    const QStringList keys = ini.keyNames(section);
    return std::any_of(keys.begin(), keys.end(), orm::IsCommandKey);
}

} // namespace

TfrmConvert::TfrmConvert(const QString &programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_programFolder(orm::ExcludeBackslash(programFolder)),
      m_handOffFile(HandOffFileName(programFolder))
{
    setFixedSize(531, 175);
    move(371, 198);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    LabelRemainingCaption = label(this, 9, 8, 92, {});
    LabelRemaining = label(this, 104, 8, 237);
    LabelPercent = label(this, 394, 8, 120);
    LabelPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ProgressBarStatus = new QProgressBar(this);
    ProgressBarStatus->setGeometry(6, 32, 515, 25);
    ProgressBarStatus->setRange(0, 100);
    ProgressBarStatus->setValue(0);
    ProgressBarStatus->setTextVisible(false);
    ProgressBarStatus->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #3E4444; background: white; }"
                       "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                       "stop:0 white, stop:1 #237ED8); }"));
    LabelElapsedCaption = label(this, 9, 73, 92, {});
    LabelElapsed = label(this, 104, 73, 388);
    LabelEstimatedCaption = label(this, 9, 86, 92, {});
    LabelEstimated = label(this, 104, 86, 388);
    auto *bevel = new QFrame(this);
    bevel->setGeometry(0, 132, 531, 2);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    ButtonCancel = new QPushButton(this);
    ButtonCancel->setGeometry(400, 134 + 8, 111, 25);
    ButtonCancel->setDefault(true);
    connect(ButtonCancel, &QPushButton::clicked, this, &TfrmConvert::ButtonCancelClick);

    // The window's creation, in its order.
    m_handOff = HandOff::Read(m_handOffFile);
    m_avsExtensions = ReadAviSynthExtensions(orm::IncludeBackslash(m_programFolder) + "avs.dat");
    m_model = std::make_unique<orm::ProgressModel>(orm::ProgressModel::Kind::SingleFile,
                                                   msg(Msg::MSG_ID_STATUS));
    m_model->setErrorHandler([this](const QString &line) {
        m_failures.add(m_handOff.TempFile, line);
        orm::ShowMessageBox(line, msg(Msg::MSG_ERROR), orm::mb::kIconInformation);
    });
    m_job = std::make_unique<orm::ConversionJob>(*m_model);
    m_job->OnProgress = [this] { ShowProgress(); };
    m_job->OnEnded = [this](const orm::JobEnd &end) { ProcessEnded(end); };
    orm::SetDefaultPlacementFile(m_handOffFile);
    orm::LoadPlacement(QStringLiteral("FormConvert"), this, m_handOffFile);
    messages().LoadLanguage(
        CordaneLanguageFile(m_programFolder, m_handOff.LanguagePath, m_handOff.LanguageFileName));
    ApplyLanguage();
    m_model->setPrefixes(msg(Msg::MSG_ID_STATUS), {});
    QMetaObject::invokeMethod(
        this, [this] { StartConversion(); }, Qt::QueuedConnection);
}

TfrmConvert::~TfrmConvert() = default;

void TfrmConvert::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_FORMTITLE));
    LabelRemainingCaption->setText(msg(Msg::MSG_REMAININGTIME));
    LabelElapsedCaption->setText(msg(Msg::MSG_ELAPSEDTIME));
    LabelEstimatedCaption->setText(msg(Msg::MSG_ESTIMATEDTIME));
    ButtonCancel->setText(msg(Msg::MSG_CANCEL));
    // Longer captions (German, French) push the values to the right instead of being cut.
    int captionWidth = 0;
    for (QLabel *caption : {LabelRemainingCaption, LabelElapsedCaption, LabelEstimatedCaption})
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
    const int valueLeft = std::max(104, 9 + captionWidth + 8);
    for (QLabel *caption : {LabelRemainingCaption, LabelElapsedCaption, LabelEstimatedCaption})
        caption->resize(valueLeft - 9 - 4, caption->height());
    LabelRemaining->setGeometry(valueLeft, 8, 394 - valueLeft - 8, 14);
    LabelElapsed->setGeometry(valueLeft, 73, 388 + 104 - valueLeft, 14);
    LabelEstimated->setGeometry(valueLeft, 86, 388 + 104 - valueLeft, 14);
}

void TfrmConvert::StartConversion()
{
    show();
    if (!ReadJob()) {
        m_errorOccurred = true;
        close();
        return;
    }
    try {
        orm::ScriptJob job;
        job.programFolder = m_programFolder;
        job.profileFile = orm::IncludeBackslash(m_programFolder) +
                          QString::fromStdString(orm::platform::toPlatformSeparators(
                              m_handOff.ProfilePath.toStdString()));
        job.section = m_handOff.ProfileItem;
        job.values = JobPlaceholders(m_programFolder, m_handOff.TempFile, m_handOff.OutputFile);
        m_outputGuard.begin(job.profileFile, job.section, job.values);
        job.aviSynthRoute = orm::TakesAviSynthRoute(m_handOff.TempFile, false, m_avsExtensions);
        if (!hasCommands(job.profileFile, job.section)) {
            orm::ShowMessageBox(QStringLiteral("The preset \"%1\" of the profile \"%2\" has no "
                                               "command to run.")
                                    .arg(job.section, job.profileFile),
                                QStringLiteral("Error"), orm::mb::kIconExclamation);
            m_errorOccurred = true;
            close();
            return;
        }
        const QString script = orm::WriteJobScripts(job);
        m_job->Start(script, 2, 0);
    } catch (const orm::Error &e) {
        // Nothing is left to run: the window closes with the error result, as
        // Cancel would.
        m_errorOccurred = true;
        m_failures.add(m_handOff.TempFile, e.text());
        orm::ShowMessageBox(e.text(), QStringLiteral("Error"), orm::mb::kIconError);
        close();
    }
}

bool TfrmConvert::ReadJob()
{
    QDir::setCurrent(m_programFolder);
    orm::DeleteTempFiles(m_programFolder);
    const HandOff job = HandOff::Read(m_handOffFile);
    m_handOff.TempFile = job.TempFile;
    m_handOff.OutputFile = job.OutputFile;
    m_handOff.ProfilePath = job.ProfilePath;
    m_handOff.ProfileItem = job.ProfileItem;
    const QString reinstall = QStringLiteral("\n\r\n\rTry to re-install this program!");
    if (job.TempFile.isEmpty()) {
        orm::ShowMessageBox(QStringLiteral("Can not read input file name.") + reinstall,
                            QStringLiteral("Error"), orm::mb::kIconExclamation);
        return false;
    }
    if (job.OutputFile.isEmpty()) {
        orm::ShowMessageBox(QStringLiteral("Can not read output file name.") + reinstall,
                            QStringLiteral("Error"), orm::mb::kIconExclamation);
        return false;
    }
    return true;
}

void TfrmConvert::ShowProgress()
{
    const orm::ProgressView v = m_model->takeChanges();
    using F = orm::ProgressView;
    if (v.hasChanged(F::StatusText))
        LabelPercent->setText(v.statusText);
    if (v.hasChanged(F::StatusBar))
        ProgressBarStatus->setValue(v.statusBar);
    if (v.hasChanged(F::FileRemaining))
        LabelRemaining->setText(v.fileRemainingText);
    if (v.hasChanged(F::FileElapsed))
        LabelElapsed->setText(v.fileElapsedText);
    if (v.hasChanged(F::FileEstimated))
        LabelEstimated->setText(v.fileEstimatedText);
}

void TfrmConvert::ProcessEnded(const orm::JobEnd &jobEnd)
{
    const orm::JobEnd end = orm::VerifiedJobEnd(m_outputGuard, jobEnd, outputText);
    if (m_closing)
        return;
    if (end.outcome != orm::JobOutcome::Converted) {
        m_errorOccurred = true;
        if (!end.message.isEmpty() || !m_model->errorOccurred()) {
            m_failures.add(m_handOff.TempFile, orm::FailureMessage(end));
            orm::ShowMessageBox(orm::FailureMessage(end), msg(Msg::MSG_ERROR),
                                orm::mb::kIconInformation);
        }
    }
    close();
}

void TfrmConvert::ButtonCancelClick()
{
    if (m_closing)
        return;
    const int answer = orm::ShowChoiceDialog(
        msg(Msg::MSG_ABORTENCODING), msg(Msg::MSG_QUESTION), orm::DialogKind::Confirmation,
        {msg(Msg::MSG_BTN_NOW), msg(Msg::MSG_CANCEL)}, orm::choice::kOk | orm::choice::kCancel, 50);
    if (answer == orm::IdOk) {
        m_errorOccurred = true;
        close();
    }
}

void TfrmConvert::TerminationRequested()
{
    if (m_closing)
        return;
    if (m_job->Active())
        m_errorOccurred = true;
    close();
}

void TfrmConvert::keyPressEvent(QKeyEvent *event)
{
    const bool altF4 = event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier;
    if (altF4 || event->key() == Qt::Key_Escape) {
        ButtonCancelClick();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ButtonCancel->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmConvert::closeEvent(QCloseEvent *event)
{
    // Closing from the window manager while converting asks like Cancel does.
    if (!m_closing && m_job->Active() && !m_errorOccurred) {
        event->ignore();
        ButtonCancelClick();
        return;
    }
    if (!m_closing)
        CloseSequence();
    event->accept();
}

void TfrmConvert::CloseSequence()
{
    m_closing = true;
    if (m_job->Active()) {
        m_job->Stop();
        orm::platform::killProcessesByName("avcore.dll");
    }
    if (m_errorOccurred)
        m_outputGuard.removeCreated(); // no half-written output under its final name
    orm::DeleteTempFiles(m_programFolder);
    try {
        orm::SavePlacement(QStringLiteral("FormConvert"), this, m_handOffFile);
    } catch (const orm::Error &e) {
        orm::ShowMessageBox(e.text(), QStringLiteral("Error"), orm::mb::kIconError);
    }
    ReportResult();
}

void TfrmConvert::ReportResult()
{
    if (m_errorOccurred)
        orm::OfferFailureLog(m_failures, msg(Msg::MSG_ANERROROCCURRED), msg(Msg::MSG_OOPS));
    QString writeError;
    try {
        WriteRipResult(m_handOffFile,
                       msg(m_errorOccurred ? Msg::MSG_CONVERT_ERROR : Msg::MSG_CONVERT_COMPLETE));
    } catch (const orm::Error &e) {
        writeError = e.text();
    }
    SendConvertDone(m_handOff.Parent);
    if (!writeError.isEmpty())
        orm::ShowMessageBox(writeError, QStringLiteral("Error"), orm::mb::kIconError);
}

} // namespace cordane

#include "tfrmconvert.h"

#include "cordanemessages.h"
#include "shared/interaction.h"
#include "shared/placement.h"
#include "shared/progressmodel.h"
#include "shared/resstr.h"
#include "shared/toolkittranslation.h"
#include "shared/ui/qtinteraction.h"
#include "shared/utilfuncs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace cordane {

namespace {

QLabel *label(QWidget *parent, int x, int y, int width, const QString &text = QStringLiteral("..."))
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 14);
    return l;
}

} // namespace

TfrmConvert::TfrmConvert(const QString &programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_handOffFile(HandOffFileName(programFolder)), m_run(programFolder)
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
    LabelSourceCaption = label(this, 9, 102, 92, {});
    LabelSource = label(this, 104, 102, 388);
    LabelTargetCaption = label(this, 9, 115, 92, {});
    LabelTarget = label(this, 104, 115, 388);
    auto *bevel = new QFrame(this);
    bevel->setGeometry(0, 132, 531, 2);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    ButtonCancel = new QPushButton(this);
    ButtonCancel->setGeometry(400, 134 + 8, 111, 25);
    ButtonCancel->setDefault(true);
    connect(ButtonCancel, &QPushButton::clicked, this, &TfrmConvert::ButtonCancelClick);

    m_run.OnProgress = [this] { ShowProgress(); };
    m_run.OnFinished = [this] { close(); };
    // The texts now: a box at the job's start already speaks the parent's language.
    messages().LoadLanguage(CordaneLanguageFile(orm::ExcludeBackslash(programFolder),
                                                m_run.handOff().LanguagePath,
                                                m_run.handOff().LanguageFileName));
    m_run.model().setPrefix(msg(Msg::MSG_ID_STATUS));
    QMetaObject::invokeMethod(
        this, [this] { StartConversion(); }, Qt::QueuedConnection);
}

TfrmConvert::~TfrmConvert()
{
    CloseSequence(); // a window destroyed without closing still reports
}

void TfrmConvert::ApplyLanguage()
{
    // The caption names what the job makes: the title of its profile.
    setWindowTitle(orm::FormatMessage(msg(Msg::MSG_FORMTITLE), {m_run.ProfileTitle()}));
    LabelRemainingCaption->setText(msg(Msg::MSG_REMAININGTIME));
    LabelElapsedCaption->setText(msg(Msg::MSG_ELAPSEDTIME));
    LabelEstimatedCaption->setText(msg(Msg::MSG_ESTIMATEDTIME));
    LabelSourceCaption->setText(msg(Msg::MSG_SOURCEFILE));
    LabelTargetCaption->setText(msg(Msg::MSG_TARGETFILE));
    ButtonCancel->setText(msg(Msg::MSG_CANCEL));
    // Longer captions (German, French) push the values to the right instead of being cut.
    const auto captions = {LabelRemainingCaption, LabelElapsedCaption, LabelEstimatedCaption,
                           LabelSourceCaption, LabelTargetCaption};
    int captionWidth = 0;
    for (QLabel *caption : captions)
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
    const int valueLeft = std::max(104, 9 + captionWidth + 8);
    for (QLabel *caption : captions)
        caption->resize(valueLeft - 9 - 4, caption->height());
    LabelRemaining->setGeometry(valueLeft, 8, 394 - valueLeft - 8, 14);
    for (QLabel *value : {LabelElapsed, LabelEstimated, LabelSource, LabelTarget})
        value->setGeometry(valueLeft, value->y(), 388 + 104 - valueLeft, 14);
    ShowFileName(LabelSource, m_run.InputFile());
    ShowFileName(LabelTarget, m_run.OutputFile());
}

void TfrmConvert::ShowFileName(QLabel *label, const QString &path)
{
    if (path.isEmpty())
        return;
    label->setText(label->fontMetrics().elidedText(orm::ExtractFileName(path), Qt::ElideMiddle,
                                                   label->width()));
    label->setToolTip(QDir::toNativeSeparators(path));
}

void TfrmConvert::StartConversion()
{
    // The encoder starts first; the window is made ready while it runs.
    const bool started = m_run.Start();
    PolishWindow();
    show();
    if (!started) {
        close();
        return;
    }
    QTimer::singleShot(0, this, [this] { m_run.PrepareOutputCheck(); });
}

void TfrmConvert::PolishWindow()
{
    orm::RegisterLayoutFonts();
    orm::UseToolkitLanguage(m_run.handOff().LanguageFileName);
    orm::SetDefaultPlacementFile(m_handOffFile);
    orm::LoadPlacement(kPlacementSection.toString(), this, m_handOffFile);
    ApplyLanguage();
}

void TfrmConvert::ShowProgress()
{
    const orm::ProgressView v = m_run.model().takeChanges();
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

bool TfrmConvert::AskStop()
{
    const int answer = orm::ShowChoiceDialog(
        msg(Msg::MSG_ABORTENCODING), msg(Msg::MSG_QUESTION), orm::DialogKind::Confirmation,
        {msg(Msg::MSG_BTN_NOW), msg(Msg::MSG_CANCEL)}, orm::choice::kOk | orm::choice::kCancel, 50);
    return answer == orm::IdOk;
}

void TfrmConvert::ButtonCancelClick()
{
    if (m_run.Closed())
        return;
    if (AskStop()) {
        m_run.MarkStopped();
        close();
    }
}

void TfrmConvert::TerminationRequested()
{
    if (m_run.Closed())
        return;
    if (m_run.Active())
        m_run.MarkStopped();
    close();
    CloseSequence(); // also when the window would not close
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
    // Closing from the window manager while converting asks like Cancel does;
    // "Stop now" closes right here (a close() from inside this handler would
    // be ignored by the toolkit).
    if (!m_run.Closed() && m_run.Active() && !m_run.ErrorOccurred()) {
        if (!AskStop()) {
            event->ignore();
            return;
        }
        m_run.MarkStopped();
    }
    CloseSequence();
    event->accept();
}

void TfrmConvert::CloseSequence()
{
    if (m_run.Closed())
        return;
    // The place goes into the hand-off file with the result, in one write.
    m_run.Close(orm::PlacementOf(this));
}

} // namespace cordane

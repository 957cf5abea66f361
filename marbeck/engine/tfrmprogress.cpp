#include "tfrmprogress.h"

#include "lang/marbeckmessages.h"
#include "shared/interaction.h"
#include "shared/progressmodel.h"
#include "shared/resstr.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>

namespace marbeck {

namespace {

constexpr int kClientWidth = 525;
constexpr int kClientHeight = 301;
constexpr int kButtonPanelHeight = 41;
constexpr int kCaptionLeft = 9;
constexpr int kValueLeft = 88;

QLabel *label(QWidget *parent, int x, int y, int width, const QString &text = QStringLiteral("..."))
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 14);
    return l;
}

constexpr int kBatchBarTop = 80;
// A job's line when several run at once.
constexpr int kJobLineTop = 8;
constexpr int kJobLineHeight = 22;

QProgressBar *bar(QWidget *parent, int y, int x = 6, int width = 515, int height = 25)
{
    auto *b = new QProgressBar(parent);
    b->setGeometry(x, y, width, height);
    b->setRange(0, 100);
    b->setValue(0);
    b->setTextVisible(false);
    b->setStyleSheet(
        QStringLiteral("QProgressBar { border: 2px groove #44443E; background: white; }"
                       "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                       "stop:0 white, stop:1 #237ED8); }"));
    return b;
}

} // namespace

TfrmProgress::TfrmProgress(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmProgress"));
    if (owner)
        owner->window()->installEventFilter(this);
    setFixedSize(kClientWidth, kClientHeight);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    const int buttonsTop = kClientHeight - kButtonPanelHeight;
    m_panelStatus = new QWidget(this);
    m_panelStatus->setGeometry(0, 0, kClientWidth, buttonsTop - 2);
    m_labelStatusRemainingSingle = label(m_panelStatus, kCaptionLeft, 8, kValueLeft - 12, {});
    m_labelStatusRemaining = label(m_panelStatus, kValueLeft, 8, 247);
    m_labelStatus = label(m_panelStatus, 388, 8, 120);
    m_labelStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The source being converted and its place in the batch, above its bar.
    m_labelFile = label(m_panelStatus, kCaptionLeft, 29, 370, {});
    m_labelFilePlace = label(m_panelStatus, 388, 29, 120, {});
    m_labelFilePlace->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_progressBarStatus = bar(m_panelStatus, 48);
    m_progressBarBatch = bar(m_panelStatus, kBatchBarTop);
    m_labelBatch = label(m_panelStatus, 388, 108, 120);
    m_labelBatch->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_labelRemaining = label(m_panelStatus, kCaptionLeft, 124, kValueLeft - 12, {});
    m_labelBatchRemaining = label(m_panelStatus, kValueLeft, 124, 398);
    m_labelElapsed = label(m_panelStatus, kCaptionLeft, 137, kValueLeft - 12, {});
    m_labelBatchElapsed = label(m_panelStatus, kValueLeft, 137, 398);
    m_labelestimated = label(m_panelStatus, kCaptionLeft, 150, kValueLeft - 12, {});
    m_labelBatchEstimated = label(m_panelStatus, kValueLeft, 150, 398);
    m_labelStopWhenDone = label(m_panelStatus, 8, 176, 503, {});
    m_labelStopWhenDone->setAlignment(Qt::AlignCenter);
    QFont bold = f;
    bold.setBold(true);
    m_labelStopWhenDone->setFont(bold);
    m_labelStopWhenDone->hide();
    m_checkBoxDelSource = new QCheckBox(m_panelStatus);
    m_checkBoxDelSource->setGeometry(16, 206, 361, 17);
    m_checkBoxShutdown = new QCheckBox(m_panelStatus);
    m_checkBoxShutdown->setGeometry(16, 224, 361, 17);

    m_bevelBottomLine = new QFrame(this);
    m_bevelBottomLine->setGeometry(0, buttonsTop - 2, kClientWidth, 2);
    m_bevelBottomLine->setFrameShape(QFrame::HLine);
    m_bevelBottomLine->setFrameShadow(QFrame::Sunken);
    m_panelButtons = new QWidget(this);
    m_panelButtons->setGeometry(0, buttonsTop, kClientWidth, kButtonPanelHeight);
    m_buttonCancel = new QPushButton(m_panelButtons);
    m_buttonCancel->setGeometry(400, 8, 111, 25);
    // Enter presses it, Escape reaches reject(): both ask like the close box.
    m_buttonCancel->setDefault(true);
    m_buttonCancel->setAutoDefault(true);
    connect(m_buttonCancel, &QPushButton::clicked, this, [this] { close(); });

    // The window's creation, in its order.
    ApplyLanguage();
    m_closeQuery = {};
    connect(m_checkBoxDelSource, &QCheckBox::clicked, this, &TfrmProgress::deleteSourcesChanged);
    connect(m_checkBoxShutdown, &QCheckBox::clicked, this, &TfrmProgress::shutdownWhenDoneChanged);
}

void TfrmProgress::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_CONVERTING_IN));
    m_labelRemaining->setText(msg(Msg::MSG_REMAINING_TIME));
    m_labelStatusRemainingSingle->setText(msg(Msg::MSG_REMAINING_TIME));
    m_labelElapsed->setText(msg(Msg::MSG_ELAPSED_TIME));
    m_labelestimated->setText(msg(Msg::MSG_ESTIMATED_TIME));
    m_labelStopWhenDone->setText(msg(Msg::MSG_STOP_WHEN_DONE));
    m_checkBoxDelSource->setText(msg(Msg::MSG_DEL_AFTER));
    m_checkBoxShutdown->setText(msg(Msg::MSG_SHUTDOWN_AFTER));
    m_buttonCancel->setText(msg(Msg::MSG_CANCEL));
    layoutCaptions();
}

// Longer captions (French, German) push the values to the right instead of
// being cut off.
void TfrmProgress::layoutCaptions()
{
    const QList<QLabel *> captions = {m_labelStatusRemainingSingle, m_labelRemaining,
                                      m_labelElapsed, m_labelestimated};
    int widest = 0;
    for (QLabel *caption : captions)
        widest = std::max(widest, caption->sizeHint().width());
    const int valueLeft = std::max(kValueLeft, kCaptionLeft + widest + 6);
    for (QLabel *caption : captions)
        caption->resize(valueLeft - kCaptionLeft - 2, caption->height());
    m_labelStatusRemaining->setGeometry(valueLeft, 8, 388 - valueLeft - 6, 14);
    for (QLabel *value : {m_labelBatchRemaining, m_labelBatchElapsed, m_labelBatchEstimated})
        value->setGeometry(valueLeft, value->y(), kValueLeft + 398 - valueLeft, 14);
    m_labelStopWhenDone->setFixedHeight(std::max(14, m_labelStopWhenDone->sizeHint().height()));
    for (QCheckBox *box : {m_checkBoxDelSource, m_checkBoxShutdown})
        box->resize(std::max(361, box->sizeHint().width()), box->height());
}

void TfrmProgress::ShowProgress(const orm::ProgressView &v)
{
    using F = orm::ProgressView;
    if (v.hasChanged(F::StatusText))
        m_labelStatus->setText(v.statusText);
    if (v.hasChanged(F::StatusBar))
        m_progressBarStatus->setValue(v.statusBar);
    if (v.hasChanged(F::FileRemaining))
        m_labelStatusRemaining->setText(v.fileRemainingText);
    if (v.hasChanged(F::BatchText))
        m_labelBatch->setText(v.batchText);
    if (v.hasChanged(F::BatchBar))
        m_progressBarBatch->setValue(std::clamp(v.batchBar, 0, 100));
    if (v.hasChanged(F::BatchElapsed))
        m_labelBatchElapsed->setText(v.batchElapsedText);
    if (v.hasChanged(F::BatchEstimated))
        m_labelBatchEstimated->setText(v.batchEstimatedText);
    if (v.hasChanged(F::BatchRemaining))
        m_labelBatchRemaining->setText(v.batchRemainingText);
    if (v.hasChanged(F::Caption))
        setWindowTitle(v.captionText);
}

void TfrmProgress::FinishBatch()
{
    m_closeQuery.Finished = true;
    if (!m_asking)
        done(1);
}

void TfrmProgress::PlaceOver(const QWidget *owner)
{
    if (!owner)
        return;
    const QRect o = owner->frameGeometry();
    const QSize own = frameGeometry().size();
    move(o.left() + (o.width() - own.width()) / 2, o.top() + (o.height() - own.height()) / 2);
}

void TfrmProgress::reject()
{
    close();
}

void TfrmProgress::closeEvent(QCloseEvent *event)
{
    const CloseDecision d = m_closeQuery.FormCloseQuery([this] {
        m_asking = true;
        const auto asked = qScopeGuard([this] { m_asking = false; });
        const int answer = orm::ShowChoiceDialog(
            msg(Msg::MSG_ABORTENCODING), msg(Msg::MSG_QUESTION), orm::DialogKind::Confirmation,
            {msg(Msg::MSG_BTN_NOW), msg(Msg::MSG_BTN_DONE), msg(Msg::MSG_CANCEL)},
            orm::choice::kYes | orm::choice::kNo | orm::choice::kCancel);
        return answer == orm::IdYes  ? StopAnswer::StopNow
               : answer == orm::IdNo ? StopAnswer::WhenDone
                                     : StopAnswer::Cancel;
    });
    if (d.askedUser) {
        m_labelStopWhenDone->setVisible(d.showStopLabel);
        emit stopWhenDoneChanged(m_closeQuery.StopWhenDone);
    }
    if (!d.allowClose) {
        event->ignore();
        return;
    }
    event->accept();
    done(d.modalResult != 0 ? d.modalResult : (m_closeQuery.Finished ? 1 : 2));
}

void TfrmProgress::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Minimising the progress window minimises the whole program: the main
    // window goes with it, and comes back with it (the other way round below).
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || event->type() != QEvent::WindowStateChange)
        return;
    const bool minimised = windowState() & Qt::WindowMinimized;
    if (minimised != bool(owner->windowState() & Qt::WindowMinimized))
        owner->setWindowState(owner->windowState() ^ Qt::WindowMinimized);
}

bool TfrmProgress::eventFilter(QObject *watched, QEvent *event)
{
    // The main window restored (from the taskbar, say) brings this one back.
    auto *owner = qobject_cast<QWidget *>(watched);
    if (owner && event->type() == QEvent::WindowStateChange &&
        !(owner->windowState() & Qt::WindowMinimized) && (windowState() & Qt::WindowMinimized))
        setWindowState(windowState() & ~Qt::WindowMinimized);
    return QDialog::eventFilter(watched, event);
}

void TfrmProgress::setJobSlots(int count)
{
    count = std::max(1, count);
    if (count == m_jobSlots || !m_jobLines.empty())
        return; // set once, before the batch starts
    m_jobSlots = count;
    for (QWidget *single : std::initializer_list<QWidget *>{
             m_labelStatusRemainingSingle, m_labelStatusRemaining, m_labelStatus, m_labelFile,
             m_labelFilePlace, m_progressBarStatus})
        single->hide();
    for (int slot = 0; slot < count; ++slot) {
        const int y = kJobLineTop + slot * kJobLineHeight;
        JobLine line;
        line.place = label(m_panelStatus, kCaptionLeft, y + 3, 66, {});
        line.name = label(m_panelStatus, kCaptionLeft + 70, y + 3, 236, {});
        line.bar = bar(m_panelStatus, y + 2, 320, 150, 16);
        line.percent = label(m_panelStatus, 474, y + 3, 37, {});
        line.percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_jobLines.push_back(line);
        ShowJobIdle(slot); // shown when a job takes the slot
    }
    // Everything below the lines moves down by what they need beyond the
    // single file's rows.
    const int linesBottom = kJobLineTop + count * kJobLineHeight + 6;
    const int grow = std::max(0, linesBottom - kBatchBarTop);
    if (grow == 0)
        return;
    for (QObject *child : m_panelStatus->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (w && w->y() >= kBatchBarTop)
            w->move(w->x(), w->y() + grow);
    }
    m_panelStatus->resize(m_panelStatus->width(), m_panelStatus->height() + grow);
    m_bevelBottomLine->move(m_bevelBottomLine->x(), m_bevelBottomLine->y() + grow);
    m_panelButtons->move(m_panelButtons->x(), m_panelButtons->y() + grow);
    setFixedSize(kClientWidth, kClientHeight + grow);
}

void TfrmProgress::ShowJob(int slot, const QString &fileName, int number, int total)
{
    const QString place = orm::FormatMessage(msg(Msg::MSG_FILE_OF),
                                             {QString::number(number), QString::number(total)});
    if (m_jobLines.empty()) {
        m_labelFile->setText(
            m_labelFile->fontMetrics().elidedText(fileName, Qt::ElideMiddle, m_labelFile->width()));
        m_labelFile->setToolTip(fileName);
        m_labelFilePlace->setText(place);
        return;
    }
    const JobLine &line = m_jobLines.at(slot);
    for (QWidget *part : {static_cast<QWidget *>(line.place), static_cast<QWidget *>(line.name),
                          static_cast<QWidget *>(line.bar), static_cast<QWidget *>(line.percent)})
        part->show();
    line.place->setText(place);
    line.name->setText(
        line.name->fontMetrics().elidedText(fileName, Qt::ElideMiddle, line.name->width()));
    line.name->setToolTip(fileName);
    line.bar->setValue(0);
    line.percent->setText(QStringLiteral("0%"));
}

void TfrmProgress::ShowJobPercent(int slot, int percent)
{
    if (m_jobLines.empty())
        return;
    const JobLine &line = m_jobLines.at(slot);
    percent = std::clamp(percent, 0, 100);
    line.bar->setValue(percent);
    line.percent->setText(QString::number(percent) + u'%');
}

void TfrmProgress::ShowJobIdle(int slot)
{
    if (m_jobLines.empty())
        return;
    const JobLine &line = m_jobLines.at(slot);
    for (QLabel *text : {line.place, line.name, line.percent})
        text->clear();
    line.name->setToolTip({});
    line.bar->setValue(0);
    for (QWidget *part : {static_cast<QWidget *>(line.place), static_cast<QWidget *>(line.name),
                          static_cast<QWidget *>(line.bar), static_cast<QWidget *>(line.percent)})
        part->hide();
}

void TfrmProgress::setSwitches(bool deleteSources, bool shutdownWhenDone)
{
    m_checkBoxDelSource->setChecked(deleteSources);
    m_checkBoxShutdown->setChecked(shutdownWhenDone);
}

bool TfrmProgress::DeleteSources() const
{
    return m_checkBoxDelSource->isChecked();
}

bool TfrmProgress::ShutdownWhenDone() const
{
    return m_checkBoxShutdown->isChecked();
}

} // namespace marbeck

#include "tfrmfailurelog.h"

#include "lang/marbeckmessages.h"
#include "shared/interaction.h"
#include "shared/ui/fonts.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace marbeck {

TfrmFailureLog::TfrmFailureLog(const orm::FailureLog &log, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                         Qt::WindowCloseButtonHint),
      m_log(log), m_memoLog(new QPlainTextEdit(this)), m_buttonOpenInEditor(new QPushButton(this)),
      m_buttonClose(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmFailureLog"));
    setFont(orm::WindowFont());
    setMinimumSize(400, 250);
    resize(520, 300);

    m_memoLog->setObjectName(QStringLiteral("MemoLog"));
    m_memoLog->setReadOnly(true);
    m_memoLog->setFont(orm::ReportFont());
    m_memoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memoLog->setPlainText(m_log.text());
    m_buttonOpenInEditor->setObjectName(QStringLiteral("ButtonOpenInEditor"));
    m_buttonOpenInEditor->setAutoDefault(false);
    m_buttonClose->setObjectName(QStringLiteral("ButtonClose"));
    m_buttonClose->setDefault(true);
    connect(m_buttonOpenInEditor, &QPushButton::clicked, this,
            &TfrmFailureLog::ButtonOpenInEditorClick);
    connect(m_buttonClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buttonClose);
    buttons->addWidget(m_buttonOpenInEditor);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 7);
    layout->addWidget(m_memoLog, 1);
    layout->addLayout(buttons);

    ApplyLanguage();
}

void TfrmFailureLog::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_FAILURE_LOG_TITLE));
    m_buttonOpenInEditor->setText(msg(Msg::MSG_OPEN_IN_EDITOR));
    m_buttonClose->setText(msg(Msg::MSG_OK));
    for (QPushButton *button : {m_buttonOpenInEditor, m_buttonClose})
        button->setMinimumWidth(std::max(97, button->sizeHint().width()));
}

void TfrmFailureLog::ButtonOpenInEditorClick()
{
    const auto written = orm::WriteFailureLog(m_log);
    if (!written) {
        orm::ShowMessageBox(written.error(), msg(Msg::MSG_ERROR), orm::mb::kIconError);
        return;
    }
    orm::ShellOpen(*written);
}

void OfferFailureWindow(const orm::FailureLog &log, QWidget *owner)
{
    const QString question = msg(Msg::MSG_ANERROROCCURRED);
    if (log.isEmpty()) {
        orm::ShowMessageBox(question, msg(Msg::MSG_OOPS), orm::mb::kIconExclamation);
        return;
    }
    if (orm::ShowMessageBox(question, msg(Msg::MSG_OOPS),
                            orm::mb::kIconExclamation | orm::mb::kYesNo) != orm::IdYes)
        return;
    auto *window = new TfrmFailureLog(log, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

} // namespace marbeck

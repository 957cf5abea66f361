#include "tfrmfileinfo.h"

#include "filedialogs.h"
#include "lang/marbeckmessages.h"
#include "mediainfodll.h"
#include "platform/platform.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/resstr.h"
#include "shared/ui/fonts.h"
#include "sourcelist.h"
#include "tfileitem.h"
#include "typelists.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>

namespace marbeck {

namespace {

constexpr int kPanelHeight = 40;
constexpr int kButtonTop = 7;
constexpr int kButtonGap = 8;

} // namespace

TfrmFileInfo::TfrmFileInfo(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                         Qt::WindowCloseButtonHint),
      m_memoInfo(new QPlainTextEdit(this)), m_panelBottom(new QWidget(this)),
      m_btnOK(new QPushButton(m_panelBottom)), m_btnSave(new QPushButton(m_panelBottom))
{
    setObjectName(QStringLiteral("frmFileInfo"));
    setFont(orm::WindowFont());
    setMinimumSize(400, 250);
    resize(400, 262);

    m_memoInfo->setObjectName(QStringLiteral("MemoInfo"));
    m_memoInfo->setReadOnly(true);
    m_memoInfo->setFont(orm::ReportFont());
    m_memoInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memoInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_panelBottom->setObjectName(QStringLiteral("PanelBottom"));
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setGeometry(0, kButtonTop, 97, 25);
    m_btnOK->setDefault(true);
    m_btnSave->setObjectName(QStringLiteral("btnSave"));
    m_btnSave->setGeometry(97 + kButtonGap, kButtonTop, 233, 25);
    m_btnSave->setAutoDefault(false);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnSave, &QPushButton::clicked, this, &TfrmFileInfo::btnSaveClick);

    ApplyLanguage();
    layoutPanels();
    ArrangeButtons();
}

void TfrmFileInfo::ApplyLanguage()
{
    setWindowTitle(msg(Msg::MSG_FILEINFO_CAPTION));
    m_btnOK->setText(msg(Msg::MSG_OK));
    m_btnSave->setText(msg(Msg::MSG_SAVE_FILE_INFO));
    m_saveFilter = orm::FormatMessage(QStringLiteral("%s (*.txt)|*.txt|%s (*.*)|*.*"),
                                      {msg(Msg::MSG_TEXTFILE), msg(Msg::MSG_ALLFILES)});
    m_saveFileName = msg(Msg::MSG_FILE_INFO_FILE);
}

void TfrmFileInfo::layoutPanels()
{
    const QRect client = rect();
    m_panelBottom->setGeometry(0, client.height() - kPanelHeight, client.width(), kPanelHeight);
    m_memoInfo->setGeometry(0, 0, client.width(), client.height() - kPanelHeight);
}

void TfrmFileInfo::ArrangeButtons()
{
    const int width = m_panelBottom->contentsRect().width();
    const int span = m_btnSave->x() + m_btnSave->width() - m_btnOK->x();
    m_btnOK->move(width / 2 - span / 2, m_btnOK->y());
    m_btnSave->move(m_btnOK->x() + m_btnOK->width() + kButtonGap, m_btnSave->y());
}

void TfrmFileInfo::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layoutPanels();
    ArrangeButtons();
}

void TfrmFileInfo::LoadReport(const QString &path)
{
    if (!orm::platform::fileExists(path.toStdString()))
        return;
    const MediaInfoFile file(path);
    // The ordinary report, not the one with every field.
    MediaInfoLibrary::shared().option(QStringLiteral("Complete"), QString());
    m_memoInfo->setPlainText(file.inform());
}

void TfrmFileInfo::SaveReport(const QString &path) const
{
    QStringList lines = m_memoInfo->toPlainText().split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // a final line break ends the last line, it starts none
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw orm::Error(QStringLiteral("Cannot create file \"%1\". %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void TfrmFileInfo::btnSaveClick()
{
    SaveFileRequest request;
    request.owner = this;
    request.filter = QtFileDialogFilter(m_saveFilter);
    request.fileName = m_saveFileName;
    request.defaultSuffix = QStringLiteral("txt");
    const auto name = AskSaveFile(request);
    if (!name)
        return;
    orm::GuardEvent([&] { SaveReport(*name); });
}

void ShowFileInformation(QWidget *mainWindow, const TFileItem &item)
{
    const QString path = item.path();
    if (!orm::platform::fileExists(path.toStdString()))
        return;
    TfrmFileInfo window(mainWindow);
    if (mainWindow) {
        const QRect main = mainWindow->geometry();
        window.move(main.left() + (main.width() - window.width()) / 2,
                    main.top() + (main.height() - window.height()) / 2);
    }
    window.setWindowTitle(orm::FormatMessage(
        msg(Msg::MSG_FILEINFO_CAPTION) + QStringLiteral(" - %s"), {item.FileName}));
    window.LoadReport(path);
    window.exec();
}

} // namespace marbeck

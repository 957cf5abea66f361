#include "listviewfiles.h"
#include "shared/resstr.h"

#include "filedialogs.h"
#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "shared/error.h"
#include "shared/interaction.h"
#include "shared/ui/busycursor.h"
#include "shared/utilfuncs.h"
#include "sourcelistmodel.h"
#include "tfrmfileinfo.h"
#include "typelists.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

namespace marbeck {

namespace {

// Folder dialog flags: only file-system folders, new dialog style.
constexpr unsigned kBrowseFlags = 65;
// Where the estimated size column stands among the columns: after "File Size".
constexpr int kEstimatedSizeShownAt = 4;

} // namespace

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

ListViewFiles::ListViewFiles(QWidget *parent)
    : QTreeView(parent), m_model(new SourceListModel(this)),
      m_adder(new SourceAdder(*m_model, this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(20, 18));
    // Image 0 until the main window gives its own; it also keeps the rows as
    // high as the picture.
    setItemIcon(style()->standardIcon(QStyle::SP_FileIcon));
    setTextElideMode(Qt::ElideRight);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kSourceColumnCount; ++column)
        setColumnWidth(column, kSourceColumns[column].width);
    // The expected output size is shown beside the source's own size.
    setColumnWidth(kEstimatedSizeColumn, 100);
    header()->moveSection(kEstimatedSizeColumn, kEstimatedSizeShownAt);

    // The selection stays as visible when the list loses the focus.
    QPalette p = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);

    m_actionAddFiles =
        makeAction(QKeySequence(Qt::CTRL | Qt::Key_O), &ListViewFiles::ActionAddFilesExecute);
    m_actionAddFolder = makeAction(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                                   &ListViewFiles::ActionAddFolderExecute);
    // Enabled only while files are being added, so Escape is free otherwise.
    m_actionStopAdding = makeAction(QKeySequence(Qt::Key_Escape), &ListViewFiles::StopAdding);
    m_actionDelete = makeAction(QKeySequence(Qt::Key_Delete), &ListViewFiles::ActionDeleteExecute);
    m_actionClearList = makeAction({}, &ListViewFiles::ActionClearListExecute);
    m_actionSelectAll =
        makeAction(QKeySequence(Qt::CTRL | Qt::Key_A), &ListViewFiles::ActionSelectAllExecute);
    m_actionPlaySource =
        makeAction(QKeySequence(Qt::CTRL | Qt::Key_P), &ListViewFiles::ActionPlaySourceExecute);
    m_actionOpenDestinationFolder =
        makeAction({}, &ListViewFiles::ActionOpenDestinationFolderExecute);
    m_actionOutputBrowse = makeAction({}, &ListViewFiles::ActionOutputBrowseExecute);
    m_actionMoreInformation = makeAction({}, &ListViewFiles::ActionMoreInformationExecute);

    m_popupMenu = new QMenu(this);
    m_popupMenu->addAction(m_actionAddFiles);
    m_popupMenu->addAction(m_actionAddFolder);
    m_popupMenu->addAction(m_actionStopAdding);
    m_popupMenu->addAction(m_actionOpenDestinationFolder);
    m_popupMenu->addSeparator();
    m_popupMenu->addAction(m_actionDelete);
    m_popupMenu->addAction(m_actionClearList);
    m_popupMenu->addSeparator();
    m_rowsActionsPlace = m_popupMenu->addSeparator();
    m_popupMenu->addAction(m_actionMoreInformation);

    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ListViewFiles::listChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ListViewFiles::listChanged);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &ListViewFiles::listChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ListViewFiles::listChanged);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListViewFiles::UpdateActions);
    connect(m_adder, &SourceAdder::progress, this, &ListViewFiles::UpdateStatus);
    connect(m_adder, &SourceAdder::finished, this, &ListViewFiles::addingFinished);

    ApplyLanguage();
    UpdateStatus();
    UpdateActions();
}

ListViewFiles::~ListViewFiles()
{
    // The workers end before the list they fill.
    delete m_adder;
}

QAction *ListViewFiles::makeAction(const QKeySequence &shortcut, void (ListViewFiles::*handler)())
{
    auto *action = new QAction(this);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this,
            [this, handler] { orm::GuardEvent([&] { (this->*handler)(); }); });
    addAction(action);
    return action;
}

void ListViewFiles::addRowsAction(QAction *action)
{
    m_rowsActions << action;
    m_popupMenu->insertAction(m_rowsActionsPlace, action);
    UpdateActions();
}

void ListViewFiles::setNumberLocale(const QLocale &numbers)
{
    m_numbers = numbers;
    m_model->setSizeLanguage(numbers);
}

void ListViewFiles::setItemIcon(const QIcon &icon)
{
    m_model->setDecoration(icon);
}

void ListViewFiles::ApplyLanguage()
{
    m_model->setCaptions({
        msg(Msg::MSG_LISTVIEW_FILE_NAME),
        msg(Msg::MSG_LISTVIEW_FORMAT),
        msg(Msg::MSG_LISTVIEW_PLAYTIME),
        msg(Msg::MSG_LISTVIEW_FILESIZE),
        msg(Msg::MSG_LISTVIEW_VIDEOCODEC),
        msg(Msg::MSG_LISTVIEW_WIDTH),
        msg(Msg::MSG_LISTVIEW_HEIGHT),
        msg(Msg::MSG_LISTVIEW_VIDEOBITRATE),
        msg(Msg::MSG_LISTVIEW_ASPECTRATIO),
        msg(Msg::MSG_LISTVIEW_FRAMERATE),
        msg(Msg::MSG_LISTVIEW_AUDIOCODEC),
        msg(Msg::MSG_LISTVIEW_AUDIOBITRATE),
        msg(Msg::MSG_LISTVIEW_CHANNELS),
        msg(Msg::MSG_LISTVIEW_SAMPLINGRATE),
        msg(Msg::MSG_LISTVIEW_AUDIOCOUNT),
        msg(Msg::MSG_LISTVIEW_VIDEOCOUNT),
        msg(Msg::MSG_LISTVIEW_COMPLETENAME),
        msg(Msg::MSG_LISTVIEW_ESTIMATEDSIZE),
    });
    m_actionAddFiles->setText(msg(Msg::MSG_ADD_FILES));
    m_actionAddFolder->setText(msg(Msg::MSG_ADD_FOLDER));
    m_actionStopAdding->setText(msg(Msg::MSG_STOP_ADDING));
    m_actionDelete->setText(msg(Msg::MSG_DELETE));
    m_actionClearList->setText(msg(Msg::MSG_CLEAR_LIST));
    m_actionSelectAll->setText(msg(Msg::MSG_SELECT_ALL));
    m_actionPlaySource->setText(msg(Msg::MSG_PLAY_SOURCE));
    m_actionOpenDestinationFolder->setText(msg(Msg::MSG_OPEN_DESTINATION_FOLDER));
    m_actionOutputBrowse->setText(msg(Msg::MSG_OUTPUT_BROWSE));
    m_actionMoreInformation->setText(msg(Msg::MSG_MORE_INFO));
    UpdateStatus();
}

AddResult ListViewFiles::AddFile(const QString &path)
{
    // A long addition keeps the window painted and answering.
    QCoreApplication::processEvents();
    return marbeck::AddFile(*m_model, path, m_inputFileTypes);
}

void ListViewFiles::AddFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        AddFile(path);
}

void ListViewFiles::BeginAdding(const QStringList &paths)
{
    m_adder->setInputFileTypes(m_inputFileTypes);
    m_adder->add(paths);
    UpdateActions();
}

void ListViewFiles::StopAdding()
{
    m_adder->cancel();
}

void ListViewFiles::addingFinished()
{
    if (m_selectLastWhenAdded)
        SelectItem(m_model->count());
    m_selectLastWhenAdded = false;
    UpdateStatus();
    UpdateActions();
}

void ListViewFiles::DropFiles(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (orm::platform::directoryExists(path.toStdString()))
            files << CollectFolderFiles(path, m_inputFileTypes);
        else
            files << path;
    }
    BeginAdding(files);
}

void ListViewFiles::SelectItem(int index)
{
    const int row = SelectionTarget(index, m_model->count());
    if (row < 0)
        return;
    const QModelIndex target = m_model->index(row, 0);
    selectionModel()->select(target,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    scrollTo(target, QAbstractItemView::EnsureVisible);
}

QString ListViewFiles::statusText() const
{
    if (m_adder->isBusy())
        return AddingStatusText(m_adder->done(), m_adder->total(), m_numbers);
    return StatusText(m_model->count());
}

void ListViewFiles::UpdateStatus()
{
    emit statusChanged(statusText());
}

void ListViewFiles::listChanged()
{
    UpdateStatus();
    UpdateActions();
}

bool ListViewFiles::RemoveSourceItem(const QString &path)
{
    const bool removed = m_model->RemoveSourceItem(path);
    UpdateStatus();
    return removed;
}

bool ListViewFiles::MoveSourceItemToEnd(const QString &path)
{
    setUpdatesEnabled(false);
    const bool moved = m_model->MoveSourceItemToEnd(path);
    setUpdatesEnabled(true);
    return moved;
}

QList<int> ListViewFiles::selectedRowList() const
{
    // From the ranges: asking row by row costs rows times ranges.
    QList<int> rows;
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int ListViewFiles::firstSelectedRow() const
{
    const QList<int> rows = selectedRowList();
    return rows.isEmpty() ? -1 : rows.first();
}

void ListViewFiles::UpdateActions()
{
    const bool selected = selectionModel()->hasSelection();
    const bool filled = m_model->count() > 0;
    m_actionDelete->setEnabled(selected);
    m_actionPlaySource->setEnabled(selected);
    m_actionMoreInformation->setEnabled(selected);
    const bool adding = m_adder->isBusy();
    m_actionClearList->setEnabled(filled || adding);
    m_actionSelectAll->setEnabled(filled);
    // Convert Now waits until the files being added are all in the list.
    for (QAction *action : std::as_const(m_rowsActions)) {
        if (action)
            action->setEnabled(filled && !adding);
    }
    m_actionStopAdding->setEnabled(adding);
    m_actionStopAdding->setVisible(adding);
    if (m_locked) {
        for (QAction *action : actions())
            action->setEnabled(false);
        for (QAction *action : std::as_const(m_rowsActions)) {
            if (action)
                action->setEnabled(false);
        }
    }
}

void ListViewFiles::setLocked(bool locked)
{
    m_locked = locked;
    setEnabled(!locked);
    UpdateActions();
}

void ListViewFiles::ActionAddFilesExecute()
{
    OpenFilesRequest request;
    request.owner = window();
    request.startFolder = m_inputFolder;
    request.filter = QtFileDialogFilter(m_openFilter);
    request.fileName = m_rememberedFileName;
    const auto names = AskOpenFiles(request);
    if (!names || names->isEmpty())
        return;
    m_selectLastWhenAdded = true;
    BeginAdding(*names);
    m_inputFolder = orm::ExtractFilePath(names->first());
    emit inputFolderChanged(m_inputFolder);
    m_rememberedFileName = names->size() > 1 ? QString() : orm::ExtractFileName(names->first());
}

void ListViewFiles::ActionAddFolderExecute()
{
    QString folder = m_inputFolder;
    if (!orm::BrowseForFolder(window(), folder, msg(Msg::MSG_ADD_FOLDER_TITLE), kBrowseFlags))
        return;
    m_selectLastWhenAdded = true;
    BeginAdding(CollectFolderFiles(folder, m_inputFileTypes));
    m_inputFolder = orm::IncludeBackslash(folder);
    emit inputFolderChanged(m_inputFolder);
}

void ListViewFiles::ActionDeleteExecute()
{
    const QList<int> rows = selectedRowList();
    if (rows.isEmpty())
        return;
    setUpdatesEnabled(false);
    // The selection is set afresh below; dropping it first spares the
    // selection model from following every removed run of rows.
    selectionModel()->clearSelection();
    const int lowest = m_model->removeRowSet(rows);
    setUpdatesEnabled(true);
    SelectItem(lowest);
}

void ListViewFiles::ActionClearListExecute()
{
    // An empty list is what the user asked for: files still being added do not refill it.
    m_adder->cancel();
    m_model->clear();
    UpdateStatus();
}

void ListViewFiles::ActionSelectAllExecute()
{
    selectAll();
}

void ListViewFiles::ActionPlaySourceExecute()
{
    const int row = firstSelectedRow();
    if (row >= 0)
        orm::ShellOpen(m_model->item(row).path());
}

void ListViewFiles::ActionOpenDestinationFolderExecute()
{
    const QString folder = m_outputFolderText;
    if (!EnsureOutputFolder(folder))
        return;
    m_outputPath = folder;
    emit outputFolderChanged(folder);
    orm::ShellOpen(folder);
}

void ListViewFiles::ActionOutputBrowseExecute()
{
    QString folder = m_outputPath;
    if (!orm::BrowseForFolder(window(), folder, msg(Msg::MSG_SELECT_FOLDER), kBrowseFlags))
        return;
    m_outputPath = folder;
    emit outputFolderChanged(folder);
}

void ListViewFiles::ActionMoreInformationExecute()
{
    const int row = firstSelectedRow();
    if (row >= 0)
        ShowFileInformation(window(), m_model->item(row));
}

void ListViewFiles::contextMenuEvent(QContextMenuEvent *event)
{
    UpdateActions();
    m_popupMenu->popup(event->globalPos());
    event->accept();
}

QByteArray ListViewFiles::dragToken() const
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(quintptr(this));
}

bool ListViewFiles::isOwnDrag(const QMimeData *data) const
{
    return data && data->data(QString::fromLatin1(kSourceRowMimeType)) == dragToken();
}

QMimeData *ListViewFiles::dragData() const
{
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(kSourceRowMimeType), dragToken());
    return data;
}

void ListViewFiles::startDrag(Qt::DropActions)
{
    if (!currentIndex().isValid())
        return;
    m_dropTarget = -1;
    // The drop below moves the row itself; the drag's result removes nothing.
    auto *drag = new QDrag(this);
    drag->setMimeData(dragData());
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void ListViewFiles::dragEnterEvent(QDragEnterEvent *event)
{
    QTreeView::dragEnterEvent(event);
    acceptDrag(event);
}

// Rows of this list move; files from outside are added; anything else is refused.
void ListViewFiles::acceptDrag(QDropEvent *event)
{
    if (isOwnDrag(event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (!localFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ListViewFiles::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeView::dragMoveEvent(event); // scrolling near the edges, the drop indicator
    if (isOwnDrag(event->mimeData())) {
        const int row = indexAt(event->position().toPoint()).row();
        if (row >= 0)
            m_dropTarget = row;
    }
    acceptDrag(event);
}

void ListViewFiles::dropEvent(QDropEvent *event)
{
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
    if (isOwnDrag(event->mimeData())) {
        const int from = currentIndex().row();
        const int under = indexAt(event->position().toPoint()).row();
        // Onto a row: the moved row lands before it. Past the rows: after the
        // last row the drag passed over.
        const int before = under >= 0 ? under : m_dropTarget >= 0 ? m_dropTarget + 1 : -1;
        if (from >= 0 && before >= 0) {
            setUpdatesEnabled(false);
            m_model->moveRowBefore(from, std::min(before, m_model->count()));
            setUpdatesEnabled(true);
        }
        m_dropTarget = -1;
        UpdateStatus();
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    DropFiles(paths);
}

} // namespace marbeck

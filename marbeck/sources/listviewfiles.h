#pragma once
// The source list of the main window: seventeen columns over a
// SourceListModel, its actions and context menu, dragging rows within the
// list and files dropped from the file manager.
#include "sourceadder.h"
#include "sourcelist.h"

#include <QLocale>
#include <QPointer>
#include <QTreeView>

class QAction;
class QMenu;
class QMimeData;

namespace marbeck {

class SourceListModel;

// The local files a drag from the file manager carries, whole, in its order.
QStringList localFiles(const QMimeData *data);

class ListViewFiles : public QTreeView {
    Q_OBJECT
public:
    explicit ListViewFiles(QWidget *parent = nullptr);
    ~ListViewFiles() override;

    SourceListModel &sources() const { return *m_model; }

    QAction *ActionAddFiles() const { return m_actionAddFiles; }
    QAction *ActionAddFolder() const { return m_actionAddFolder; }
    QAction *ActionStopAdding() const { return m_actionStopAdding; }
    QAction *ActionDelete() const { return m_actionDelete; }
    QAction *ActionClearList() const { return m_actionClearList; }
    QAction *ActionSelectAll() const { return m_actionSelectAll; }
    QAction *ActionPlaySource() const { return m_actionPlaySource; }
    QAction *ActionOpenDestinationFolder() const { return m_actionOpenDestinationFolder; }
    QAction *ActionOutputBrowse() const { return m_actionOutputBrowse; }
    QAction *ActionMoreInformation() const { return m_actionMoreInformation; }
    QMenu *PopupMenuListView() const { return m_popupMenu; }

    // An action of the window that needs rows (the main window's "Convert
    // Now"): placed in the context menu and enabled while the list has rows;
    // what it does stays its owner's.
    void addRowsAction(QAction *action);
    // The folder the open dialog starts in; changed to the folder of the
    // files chosen there (inputFolderChanged).
    void setInputFolder(const QString &folder) { m_inputFolder = folder; }
    QString inputFolder() const { return m_inputFolder; }
    // The output folder as the window's box shows it, which Open Destination
    // Folder opens, and the stored output folder, where Browse starts. Browse's
    // choice and an opened folder are reported through outputFolderChanged.
    void setOutputFolderText(const QString &text) { m_outputFolderText = text; }
    void setOutputPath(const QString &folder) { m_outputPath = folder; }
    // The accepted-types lines of the current language.
    void setInputFileTypes(const QStringList &types) { m_inputFileTypes = types; }
    // How the status line groups the digits of its counts and the size column
    // names its units: the language's way.
    void setNumberLocale(const QLocale &numbers);
    // The picture every row shows before its caption.
    void setItemIcon(const QIcon &icon);
    // The open dialog's filter as BuildOpenFilter makes it.
    void setOpenFilter(const QString &filter) { m_openFilter = filter; }
    QString openFilter() const { return m_openFilter; }

    // Column captions and action captions from the message table.
    void ApplyLanguage();

    // Adds at once, probing on this thread: for callers that need the rows
    // before they go on.
    AddResult AddFile(const QString &path);
    void AddFiles(const QStringList &paths);
    // Adds in the background (SourceAdder): rows appear in this order while
    // the window keeps answering; the status line counts the files taken.
    void BeginAdding(const QStringList &paths);
    bool isAdding() const { return m_adder->isBusy(); }
    // Stop Adding: the rows added so far stay.
    void StopAdding();
    // Runs the event loop until the files being added are all taken.
    void WaitForAdding() { m_adder->waitUntilDone(); }
    SourceAdder &adder() const { return *m_adder; }
    // Files dropped from the file manager, in the background: a folder gives
    // its accepted files and those of its subfolders; the selection stays.
    void DropFiles(const QStringList &paths);
    // Selects only the row at `index` (the last row when past it), makes it
    // current and scrolls it into view; an empty list is left alone.
    void SelectItem(int index);
    void UpdateStatus();
    QString statusText() const;

    // The batch driver's two row operations, by source path.
    bool RemoveSourceItem(const QString &path);
    bool MoveSourceItemToEnd(const QString &path);

    // Selected rows in ascending order; -1 when none for firstSelectedRow().
    QList<int> selectedRowList() const;
    int firstSelectedRow() const;

    // What a drag of the current row carries (the caller owns it).
    QMimeData *dragData() const;

public slots:
    void ActionAddFilesExecute();
    void ActionAddFolderExecute();
    void ActionDeleteExecute();
    void ActionClearListExecute();
    void ActionSelectAllExecute();
    void ActionPlaySourceExecute();
    void ActionOpenDestinationFolderExecute();
    void ActionOutputBrowseExecute();
    void ActionMoreInformationExecute();
    // Recomputes which actions are enabled.
    void UpdateActions();
    // While a batch runs the list takes no changes: its actions are off and
    // the view takes no input.
    void setLocked(bool locked);
    bool locked() const { return m_locked; }

signals:
    void statusChanged(const QString &text);
    void inputFolderChanged(const QString &folder);
    void outputFolderChanged(const QString &folder);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void acceptDrag(QDropEvent *event);
    void dropEvent(QDropEvent *event) override;

private:
    QAction *makeAction(const QKeySequence &shortcut, void (ListViewFiles::*handler)());
    bool isOwnDrag(const QMimeData *data) const;
    QByteArray dragToken() const;
    void listChanged();
    void addingFinished();

    SourceListModel *m_model;
    SourceAdder *m_adder;
    QAction *m_actionAddFiles;
    QAction *m_actionAddFolder;
    QAction *m_actionStopAdding;
    QAction *m_actionDelete;
    QAction *m_actionClearList;
    QAction *m_actionSelectAll;
    QAction *m_actionPlaySource;
    QAction *m_actionOpenDestinationFolder;
    QAction *m_actionOutputBrowse;
    QAction *m_actionMoreInformation;
    QList<QPointer<QAction>> m_rowsActions;
    QMenu *m_popupMenu;
    QAction *m_rowsActionsPlace; // the separator the window's actions stand before
    QString m_inputFolder;
    QString m_outputFolderText;
    QString m_outputPath;
    QStringList m_inputFileTypes;
    QLocale m_numbers = QLocale::c();
    QString m_openFilter;
    QString m_rememberedFileName;       // the open dialog's name box
    int m_dropTarget = -1;              // the last row a drag of ours passed over
    bool m_selectLastWhenAdded = false; // Add Files and Add Folder select the last row
    bool m_locked = false;
};

} // namespace marbeck

#pragma once
// The source list kept between runs: the lock that makes it this program's,
// the store that writes it after every change, and what the batch tells the
// store about its rows. The main window opens it once its list exists.
#include "sources/liststore.h"

#include <QObject>
#include <QString>

namespace marbeck {

class BatchQueue;
class SourceListModel;

class KeptList : public QObject {
    Q_OBJECT
public:
    // `path`: the saved list's file; its lock lies beside it.
    KeptList(SourceListModel &model, const BatchQueue &queue, const QString &path,
             QObject *parent = nullptr);

    // Takes the list and brings its rows back. A damaged file is named in a
    // box, a dropped source in the log. When another program holds the list,
    // nothing is read or written and the status line's text says why;
    // otherwise that text is empty.
    QString open();
    // The program ends cleanly: the list is written, or with `keep` off removed.
    void close(bool keep);

    ListStore &store() { return m_store; }
    const ListLock &lock() const { return m_lock; }

private:
    ListLock m_lock; // released after the store's last write
    ListStore m_store;
};

} // namespace marbeck

#pragma once
// The source list on disk, so that a crash, a kill or a restart does not lose
// it: every change of the list is written (coalesced) to one file with
// QSaveFile, and the next start reads it back. A second program does not take
// a list that a running one holds (ListLock).
#include "tfileitem.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <tl/expected.hpp>

#include <functional>
#include <vector>

namespace marbeck {

class SourceListModel;

// Where a row stands in the batches, as the saved list remembers it.
enum class ListRowState : char {
    Waiting = 'W',
    Running = 'R', // its job was running: after a restart it was interrupted
    Failed = 'F',
    Stopped = 'S',
};

struct SavedRow {
    TFileItem item;
    ListRowState state = ListRowState::Waiting;
};

// The file's text: a versioned first line, one line per row, and an end line
// with the row count, so that a cut-off file is never taken for a short list.
QByteArray SerializeList(const std::vector<SavedRow> &rows);
// The rows of a saved list, or why the bytes are not one (in English, for
// the log).
tl::expected<std::vector<SavedRow>, QString> ParseList(const QByteArray &bytes);

class ListStore : public QObject {
    Q_OBJECT
public:
    // Changes wait this long for more before the file is written.
    static constexpr int kSaveDelayMs = 250;

    ListStore(SourceListModel &model, QString path, QObject *parent = nullptr);
    // Writes what is still waiting.
    ~ListStore() override;

    struct Restored {
        int rows = 0;
        QStringList dropped; // sources that no longer exist
        QString damage;      // why the file could not be read; empty when it could
        QString setAsideAs;  // where a damaged file went
    };
    // Appends the saved rows to the model: rows whose job was running first
    // (they count as stopped from now on), then the rest in their order.
    // Sources that are gone are left out; a damaged file is renamed out of
    // the way and the list stays empty.
    Restored restore(const std::function<bool(const QString &)> &exists = {});

    // What the batch did to a row; Waiting also for a converted row, which
    // leaves the list anyway.
    void setRowState(const QString &source, ListRowState state);
    ListRowState rowState(const QString &source) const;

    // Off: nothing is written (another program holds the list).
    void setSaving(bool on);
    bool saving() const { return m_saving; }
    // Writes a waiting change now; false when the file could not be written.
    bool flush();
    // The list is not to outlive this run: the file goes, nothing more is written.
    void removeFile();
    const QString &path() const { return m_path; }

signals:
    // A write failed (a full disk, a folder made read-only): once per run.
    void saveFailed(const QString &path);

private:
    void changed();
    void forgetGoneRows();

    SourceListModel &m_model;
    QString m_path;
    QHash<QString, ListRowState> m_states; // rows not waiting, by source path
    QTimer m_timer;
    bool m_saving = true;
    bool m_pending = false;
    bool m_failureTold = false;
};

// One list, one program: a file beside the list names the process that uses
// it (id and start time, checked as the job records are). A holder that is
// gone (killed, crashed) or whose id now names another process no longer
// holds it.
class ListLock {
public:
    explicit ListLock(QString path);
    ~ListLock();
    ListLock(const ListLock &) = delete;
    ListLock &operator=(const ListLock &) = delete;

    // True when this lock now holds the list; false when a running process does.
    bool acquire();
    void release();
    bool held() const { return m_held; }
    // The process that holds the list when acquire() failed.
    qint64 holder() const { return m_holder; }

private:
    QString m_path;
    bool m_held = false;
    qint64 m_holder = 0;
};

} // namespace marbeck

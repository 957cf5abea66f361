#pragma once
// Adding many files without holding the window: a few worker threads probe
// ahead, each through a probe helper process of its own (probeworker.h), while
// the owner's thread takes their records in the order given and applies
// AddFile's rules to each, one short slice of the event loop at a time. A
// helper that crashes or hangs on a file is replaced, and that file is listed
// with blank media columns. Without the helper program the threads probe in
// this process.
#include "sourcelist.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace marbeck {

class SourceListModel;

// Every file in `folder` and its subfolders whose type is accepted, files of
// a folder before its subfolders, each by name. Hidden files and folders and
// linked folders are left out.
QStringList CollectFolderFiles(const QString &folder, const QStringList &inputFileTypes);

// The worker threads a pool uses by default: one per core, at most four.
int DefaultProbeThreads();

class SourceAdder : public QObject {
    Q_OBJECT
public:
    explicit SourceAdder(SourceListModel &list, QObject *parent = nullptr);
    // Stops the work and waits for the worker threads.
    ~SourceAdder() override;

    void setInputFileTypes(const QStringList &types) { m_inputFileTypes = types; }
    // Probes on the worker threads instead of the media library; it must be
    // safe to call from several threads at once.
    void setProbe(ProbeFunction probe) { m_probe = std::move(probe); }
    // The longest a helper may take for one file before it is ended.
    void setProbeTimeLimit(int ms) { m_timeLimitMs = ms; }
    void setThreadCount(int count);
    int threadCount() const { return m_pool.maxThreadCount(); }

    // Queues the files after any still being added; the rows appear in this order.
    void add(const QStringList &paths);
    // Drops every file not yet added; the rows added so far stay.
    void cancel();

    bool isBusy() const;
    // Files taken (added or refused) and files queued in this run.
    int done() const { return m_done; }
    int total() const;
    // Runs the event loop until the queue is empty (for callers that need
    // the rows before going on).
    void waitUntilDone();
    // The longest the owner's thread spent in one slice of taking records,
    // since construction (boxes included).
    qint64 longestSliceNs() const { return m_longestSliceNs; }

signals:
    void progress(int done, int total);
    void fileTaken(const QString &path, marbeck::AddResult result);
    // The queue is empty: every file was taken or the run was cancelled.
    void finished(bool cancelled);

private:
    struct Run;
    struct Helpers;
    void startWorkers();
    void deliver();
    void finish(bool cancelled);

    SourceListModel &m_list;
    QStringList m_inputFileTypes;
    ProbeFunction m_probe;
    int m_timeLimitMs;
    std::shared_ptr<Helpers> m_helpers;
    QTimer m_helpersExpiry;
    QThreadPool m_pool;
    QTimer m_pump;
    std::shared_ptr<Run> m_run;
    int m_done = 0;
    bool m_delivering = false;
    qint64 m_longestSliceNs = 0;
};

} // namespace marbeck

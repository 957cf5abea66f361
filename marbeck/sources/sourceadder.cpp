#include "sourceadder.h"

#include "mediainfodll.h"
#include "platform/platform.h"
#include "probeworker.h"
#include "shared/error.h"
#include "shared/handover.h"
#include "shared/interaction.h"
#include "shared/utilfuncs.h"
#include "sourcelistmodel.h"
#include "typelists.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <deque>
#include <exception>
#include <functional>
#include <iterator>
#include <mutex>
#include <vector>

namespace marbeck {

namespace {

// The longest the owner's thread spends taking records before it lets the
// event loop run again, and how often it looks for new ones. Each look that
// takes rows repaints the list, and painting the rows' texts costs more of the
// window's thread than taking them: at 25 looks a second the rows still flow,
// and the window's thread leaves the cores to the probe helpers.
constexpr qint64 kSliceMs = 15;
constexpr int kPumpMs = 40;

// A helper still busy with one file after this long is taken to hang. The
// library reads little of a file, so even a large one on a slow disk is
// answered far sooner.
constexpr int kProbeTimeLimitMs = 30'000;
// Helpers left idle this long after the last run are ended.
constexpr int kHelpersIdleMs = 60'000;

Q_LOGGING_CATEGORY(lcSources, "ormolux.sources")

void collectFolder(const QString &folder, const QStringList &types, QStringList &out)
{
    const QDir dir(folder);
    const auto order = QDir::Name | QDir::IgnoreCase;
    // Without QDir::Hidden the listing leaves hidden entries out.
    for (const QFileInfo &file : dir.entryInfoList(QDir::Files, order)) {
        if (IsAcceptedType(orm::ExtractFileExt(file.filePath()), types))
            out << file.filePath();
    }
    for (const QFileInfo &sub :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, order))
        collectFolder(sub.filePath(), types, out);
}

} // namespace

QStringList CollectFolderFiles(const QString &folder, const QStringList &inputFileTypes)
{
    QStringList files;
    if (orm::platform::directoryExists(folder.toStdString()))
        collectFolder(folder, inputFileTypes, files);
    return files;
}

int DefaultProbeThreads()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

// The helpers: those in use by a worker thread, so that cancelling can cut
// their wait short, and those idle, kept for the next run.
struct SourceAdder::Helpers {
    std::mutex mutex;
    std::vector<std::unique_ptr<ProbeWorker>> idle;
    std::vector<ProbeWorker *> busy;

    std::unique_ptr<ProbeWorker> take()
    {
        const std::lock_guard lock(mutex);
        if (idle.empty())
            return nullptr;
        auto helper = std::move(idle.back());
        idle.pop_back();
        busy.push_back(helper.get());
        return helper;
    }
    void use(ProbeWorker *helper)
    {
        const std::lock_guard lock(mutex);
        busy.push_back(helper);
    }
    // Before the helper is kept or destroyed.
    void release(const std::unique_ptr<ProbeWorker> &helper)
    {
        const std::lock_guard lock(mutex);
        std::erase(busy, helper.get());
    }
    void give(std::unique_ptr<ProbeWorker> helper)
    {
        release(helper);
        if (!helper || !helper->usable())
            return;
        const std::lock_guard lock(mutex);
        idle.push_back(std::move(helper));
    }
    void interruptBusy()
    {
        const std::lock_guard lock(mutex);
        for (ProbeWorker *helper : busy)
            helper->interrupt();
    }
};

// One queue of files: the worker threads take paths from the front and leave
// their records by index; the owner's thread takes the records in order.
struct SourceAdder::Run {
    struct Probed {
        bool ready = false;
        bool probed = false; // false: the file was missing or of a refused type
        TFileItem item;
        std::exception_ptr error;
    };

    std::mutex mutex;
    std::vector<QString> paths;
    std::vector<Probed> results;
    std::size_t nextToProbe = 0;
    int workers = 0;
    bool cancelled = false;
    QStringList types;
    ProbeFunction probe;
    QString helperProgram; // empty: probe in this process
    int timeLimitMs = kProbeTimeLimitMs;
    std::shared_ptr<Helpers> helpers;

    struct Taken {
        std::size_t index = 0;
        QString path;
        bool sendFailed = false; // a helper was gone before it could be sent
    };
    enum class Claim { Taken, NoneNow, Done };

    // The next file to probe. With nothing left, a worker that holds no
    // requests is counted out under the same lock, so that a file added
    // just after still finds a worker to start.
    Claim claim(Taken &taken, bool holdsRequests)
    {
        const std::lock_guard lock(mutex);
        if (!cancelled && nextToProbe < paths.size()) {
            taken.index = nextToProbe++;
            taken.path = paths[taken.index];
            return Claim::Taken;
        }
        if (holdsRequests && !cancelled)
            return Claim::NoneNow;
        --workers;
        return Claim::Done;
    }

    void store(std::size_t index, Probed probed)
    {
        probed.ready = true;
        const std::lock_guard lock(mutex);
        results[index] = std::move(probed);
    }

    bool isCancelled()
    {
        const std::lock_guard lock(mutex);
        return cancelled;
    }

    static Probed probedHere(const std::function<TFileItem()> &probe)
    {
        Probed probed;
        try {
            probed.item = probe();
            probed.probed = true;
        } catch (...) {
            probed.error = std::current_exception();
        }
        return probed;
    }

    std::unique_ptr<ProbeWorker> startHelper(const QString &path)
    {
        QString error;
        auto helper = ProbeWorker::start(helperProgram, error);
        if (!helper) {
            qCWarning(lcSources, "Probing %s in this process: %s", qUtf8Printable(path),
                      qUtf8Printable(error));
            return nullptr;
        }
        helpers->use(helper.get());
        // Cancelled before cancelling could reach the new helper.
        if (isCancelled())
            helper->interrupt();
        return helper;
    }

    // How many requests a worker keeps with its helper: the next file waits
    // in the helper's pipe while it answers the last.
    static constexpr qsizetype kAhead = 2;

    static void work(const std::shared_ptr<Run> &run)
    {
        const bool viaHelper = !run->probe && !run->helperProgram.isEmpty();
        std::unique_ptr<ProbeWorker> helper;
        if (viaHelper)
            helper = run->helpers->take();
        std::deque<Taken> sent;   // with the helper, oldest first
        std::deque<Taken> resend; // left unanswered by a helper that ended
        // A helper that ended leaves what it was sent, in order, to the next one.
        const auto dropHelper = [&] {
            resend.insert(resend.begin(), std::make_move_iterator(sent.begin()),
                          std::make_move_iterator(sent.end()));
            sent.clear();
            run->helpers->release(helper);
            helper.reset();
        };
        bool done = false;
        while (!done) {
            while (sent.size() < std::size_t(kAhead)) {
                Taken taken;
                if (!resend.empty() && run->isCancelled())
                    resend.clear();
                if (!resend.empty()) {
                    taken = std::move(resend.front());
                    resend.pop_front();
                } else if (const Claim c = run->claim(taken, !sent.empty()); c != Claim::Taken) {
                    done = c == Claim::Done;
                    break;
                }
                const QString &path = taken.path;
                if (!orm::platform::fileExists(path.toStdString()) ||
                    !IsAcceptedType(orm::ExtractFileExt(path), run->types)) {
                    run->store(taken.index, {});
                    continue;
                }
                if (!viaHelper) {
                    run->store(taken.index, probedHere([&] {
                                   return run->probe ? run->probe(path) : ProbeFile(path);
                               }));
                    continue;
                }
                if (!helper)
                    helper = run->startHelper(path);
                if (!helper) {
                    run->store(taken.index, probedHere([&] { return ProbeFile(path); }));
                    continue;
                }
                if (!helper->send(path)) {
                    // Gone before it had this file: a new helper takes it,
                    // and when that one is gone too, the file goes without.
                    if (taken.sendFailed) {
                        qCWarning(lcSources,
                                  "Probing %s failed: the probe program ends at once; it is "
                                  "listed without its media details.",
                                  qUtf8Printable(path));
                        run->store(taken.index, {false, true, BlankItem(path), {}});
                    } else {
                        taken.sendFailed = true;
                        resend.push_front(std::move(taken));
                    }
                    dropHelper();
                    if (run->isCancelled())
                        break;
                    continue;
                }
                sent.push_back(std::move(taken));
            }
            if (sent.empty())
                continue;
            ProbeWorker::Answer answer = helper->receive(run->timeLimitMs);
            const Taken answered = std::move(sent.front());
            sent.pop_front();
            Probed probed;
            switch (answer.outcome) {
            case ProbeWorker::Outcome::Probed:
                probed.item = std::move(answer.item);
                probed.probed = true;
                break;
            case ProbeWorker::Outcome::Refused:
                probed.error = std::make_exception_ptr(orm::Error(answer.reason));
                break;
            case ProbeWorker::Outcome::Crashed:
            case ProbeWorker::Outcome::TimedOut:
                // That file is listed without its media columns; the files
                // sent after it go to the next helper.
                if (!run->isCancelled())
                    qCWarning(lcSources,
                              "Probing %s failed: %s; it is listed without its media details.",
                              qUtf8Printable(answered.path), qUtf8Printable(answer.reason));
                probed.item = BlankItem(answered.path);
                probed.probed = true;
                dropHelper();
                break;
            }
            run->store(answered.index, std::move(probed));
        }
        // A helper with answers still to come is not kept for another run.
        if (helper && helper->waiting() > 0)
            run->helpers->release(helper);
        else if (helper)
            run->helpers->give(std::move(helper));
    }
};

SourceAdder::SourceAdder(SourceListModel &list, QObject *parent)
    : QObject(parent), m_list(list), m_timeLimitMs(kProbeTimeLimitMs),
      m_helpers(std::make_shared<Helpers>())
{
    m_pool.setMaxThreadCount(DefaultProbeThreads());
    m_helpersExpiry.setSingleShot(true);
    m_helpersExpiry.setInterval(kHelpersIdleMs);
    connect(&m_helpersExpiry, &QTimer::timeout, this, [this] {
        if (!m_run) {
            const std::lock_guard lock(m_helpers->mutex);
            m_helpers->idle.clear();
        }
    });
    m_pump.setInterval(kPumpMs);
    connect(&m_pump, &QTimer::timeout, this, &SourceAdder::deliver);
}

SourceAdder::~SourceAdder()
{
    blockSignals(true);
    cancel();
    m_pool.waitForDone();
}

void SourceAdder::setThreadCount(int count)
{
    m_pool.setMaxThreadCount(std::max(1, count));
}

void SourceAdder::add(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (!m_run) {
        m_helpersExpiry.stop();
        m_run = std::make_shared<Run>();
        m_run->types = m_inputFileTypes;
        m_run->probe = m_probe;
        m_run->helperProgram = m_probe ? QString() : ProbeProgramPath();
        m_run->timeLimitMs = m_timeLimitMs;
        m_run->helpers = m_helpers;
        m_done = 0;
        // Loaded here, not by the first worker: loading sets the character type.
        if (!m_probe && m_run->helperProgram.isEmpty())
            MediaInfoLibrary::shared();
    }
    {
        const std::lock_guard lock(m_run->mutex);
        for (const QString &path : paths)
            m_run->paths.push_back(path);
        m_run->results.resize(m_run->paths.size());
    }
    startWorkers();
    m_pump.start();
    emit progress(m_done, total());
}

void SourceAdder::startWorkers()
{
    int start = 0;
    {
        const std::lock_guard lock(m_run->mutex);
        const auto waiting = qsizetype(m_run->paths.size() - m_run->nextToProbe);
        start = int(std::min<qsizetype>(m_pool.maxThreadCount() - m_run->workers, waiting));
        m_run->workers += std::max(0, start);
    }
    for (int i = 0; i < start; ++i)
        m_pool.start(orm::HandedOver([run = m_run] { Run::work(run); }));
}

void SourceAdder::cancel()
{
    if (!m_run)
        return;
    {
        const std::lock_guard lock(m_run->mutex);
        m_run->cancelled = true;
    }
    // A helper busy with a slow file would hold its thread until the time limit.
    m_helpers->interruptBusy();
    finish(true);
}

bool SourceAdder::isBusy() const
{
    return m_run != nullptr;
}

int SourceAdder::total() const
{
    if (!m_run)
        return 0;
    const std::lock_guard lock(m_run->mutex);
    return int(m_run->paths.size());
}

void SourceAdder::waitUntilDone()
{
    if (!isBusy())
        return;
    QEventLoop loop;
    connect(this, &SourceAdder::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

void SourceAdder::deliver()
{
    // A message box of AddFile runs the event loop: the pump must not start
    // a second round inside it, or the boxes and rows would leave their order.
    if (m_delivering || !m_run)
        return;
    m_delivering = true;
    const std::shared_ptr<Run> run = m_run;
    QElapsedTimer clock;
    clock.start();
    bool failed = false;
    while (clock.elapsed() < kSliceMs) {
        Run::Probed probed;
        QString path;
        {
            const std::lock_guard lock(run->mutex);
            const auto index = std::size_t(m_done);
            if (index >= run->paths.size() || !run->results[index].ready)
                break;
            probed = std::move(run->results[index]);
            run->results[index] = {};
            path = run->paths[index];
        }
        AddResult result = AddResult::Missing;
        const auto probe = [&](const QString &file) {
            if (probed.error)
                std::rethrow_exception(probed.error);
            if (probed.probed)
                return std::move(probed.item);
            // The file appeared or its type became accepted after the worker looked.
            return m_probe ? m_probe(file) : ProbeFile(file);
        };
        // A library that cannot probe fails every file alike: one box, and
        // the rest of the queue is dropped.
        failed = !orm::GuardEvent([&] { result = AddFile(m_list, path, m_inputFileTypes, probe); });
        if (run != m_run)
            break; // cancelled while a box was open
        ++m_done;
        if (!failed)
            emit fileTaken(path, result);
        if (failed)
            break;
    }
    m_delivering = false;
    m_longestSliceNs = std::max(m_longestSliceNs, clock.nsecsElapsed());
    if (run != m_run)
        return;
    if (failed) {
        cancel();
        return;
    }
    emit progress(m_done, total());
    if (m_done >= total())
        finish(false);
}

void SourceAdder::finish(bool cancelled)
{
    m_pump.stop();
    m_helpersExpiry.start();
    m_run.reset();
    m_done = 0;
    emit finished(cancelled);
}

} // namespace marbeck

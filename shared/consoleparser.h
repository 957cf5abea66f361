#pragma once
// Reads the encoder's console text: cuts chunks of bytes into lines and
// recognises the duration, position and error lines among them.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <deque>
#include <vector>

namespace orm {

// What the parser finds, one call per finding, in the order of the lines.
// Calls are synchronous: the next line is read only after a call returns, so
// an error call may show a modal box.
class ConsoleListener {
public:
    virtual ~ConsoleListener() = default;
    // A "  Duration: " line with a readable length.
    virtual void durationSeen(qint32 milliseconds) = 0;
    // A " time=" value; 0 when the encoder says no position is known yet.
    virtual void positionSeen(qint32 milliseconds) = 0;
    // Every line that is not blank, after its values were reported.
    virtual void lineRead() = 0;
    // An error line, untrimmed and decoded; reported after lineRead().
    virtual void errorLine(const QString &line) = 0;
};

// What a conversion job reports its console text to: the lines, and the
// start of each job, and whether the job printed an error line.
class JobListener : public ConsoleListener {
public:
    // Start of a job: its own figures and error mark cleared.
    virtual void startJob(qint64 fileSize) = 0;
    virtual bool errorOccurred() const = 0;
};

// One parser per redirector: standard output and standard error share it.
// Feed it everything the child prints while lines are wanted; a caller that
// wants no lines (no batch running) simply does not feed it.
class ConsoleParser {
public:
    explicit ConsoleParser(ConsoleListener &listener) : m_listener(listener) {}

    // A chunk as it arrived; a zero byte ends its text. While the child runs
    // (`exited` false) text after the last line break waits for the next
    // chunk; once it has exited, everything is read, an unterminated last
    // line included. A call from inside a listener call is queued and read
    // after the current chunk.
    void feed(QByteArrayView chunk, bool exited = false);

    // The end of a job: text still waiting is read once as a last line and
    // dropped, so nothing carries over into the next job.
    void finish();

    // A new job: waiting text is dropped unread.
    void reset();

    bool hasPendingText() const { return !m_pending.isEmpty(); }

    // The last line of the job that is neither a duration nor a progress line,
    // trimmed; empty when there was none.
    QString lastMessage() const;
    // The job's last few such lines, oldest first, trimmed: where the reason of
    // a failure is looked for.
    QStringList recentMessages() const;

private:
    void readChunk(QByteArrayView text, bool exited);
    // False when the listener reset the parser during the line.
    bool readLine(QByteArrayView line);
    void drainBacklog();

    struct QueuedChunk {
        QByteArray bytes;
        bool exited = false;
        bool finish = false;
    };

    ConsoleListener &m_listener;
    QByteArray m_pending;
    QByteArray m_lastMessage;
    std::deque<QByteArray> m_recentMessages;
    int m_depth = 0;
    quint64 m_generation = 0;
    std::vector<QueuedChunk> m_backlog;
};

} // namespace orm

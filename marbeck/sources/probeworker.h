#pragma once
// Probing in helper processes: the program ormolux-probe answers the fields
// of the list for each path it is sent. A parser that crashes or hangs on a
// file then takes only that helper with it, and helpers share nothing (the
// media library serialises the threads of one process).
//
// The exchange on the helper's standard input and output: each request is a
// path in UTF-8 ended by a zero byte; each answer is 'F' followed by the
// library's seventeen fields of TFileItem, each ended by a zero byte, or 'E'
// followed by the reason the library cannot probe, ended by a zero byte.
#include "sourcelist.h"
#include "tfileitem.h"

#include "platform/channel.h"
#include "platform/childprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

namespace marbeck {

// The helper's loop: answers requests read from `inFd` on `outFd` until the
// input ends; returns the exit status.
int RunProbeWorker(int inFd, int outFd, const ProbeFunction &probe);

// The helper program: beside the running program, else (for a program run
// from the build tree) the build tree's; empty when there is none.
QString ProbeProgramPath();
// Uses `path` instead (tests); empty: found as above again.
void SetProbeProgramPath(const QString &path);

// The record of a file whose probe failed: listed by name and size, the
// media columns blank.
TFileItem BlankItem(const QString &path);

// One helper process, used by one thread at a time. Requests may run ahead
// of answers: with the next path already in its pipe, the helper goes on to
// it at once instead of waiting for the program to read an answer and send
// another.
class ProbeWorker {
public:
    enum class Outcome {
        Probed,   // the fields are in `item`
        Refused,  // the library cannot probe at all: `reason` says why
        Crashed,  // the helper ended; it is gone
        TimedOut, // the helper took longer than allowed and was ended
    };
    struct Answer {
        Outcome outcome = Outcome::Crashed;
        QString path; // the request it answers
        TFileItem item;
        QString reason;
    };

    // Starts `program`; null with `error` set when it cannot run.
    static std::unique_ptr<ProbeWorker> start(const QString &program, QString &error);

    // Sends one path; false when the helper has gone.
    bool send(const QString &path);
    // Requests sent and not yet answered.
    qsizetype waiting() const { return m_sent.size(); }
    // Waits at most `timeLimitMs` for the answer to the oldest waiting
    // request. After Crashed or TimedOut (the helper was working on that
    // file) the helper is gone, this worker is not usable, and the other
    // waiting requests are dropped: the caller sends them to another helper.
    Answer receive(int timeLimitMs);
    // send() and receive() for one path.
    Answer probe(const QString &path, int timeLimitMs);

    bool usable() const { return m_child.running() && !m_interrupted; }
    // From another thread: a probe under way ends at once as Crashed.
    void interrupt();

private:
    ProbeWorker() = default;
    Answer end(Outcome outcome, const QString &reason);
    // Where the first whole answer in m_pending ends; 0 while it is not whole.
    qsizetype answerEnd() const;

    orm::platform::ChildProcess m_child;
    std::mutex m_channelMutex; // the channel is closed only while no interrupt can use it
    orm::platform::Fd m_channel;
    std::atomic<bool> m_interrupted{false};
    QByteArray m_pending; // answers read and not yet taken
    QStringList m_sent;   // waiting requests, oldest first
};

} // namespace marbeck

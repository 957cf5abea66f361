#include "parentnotice.h"

#include "handoff.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace cordane {

QString ParentSocketPath(qint64 parent)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/tmp");
    return folder + QStringLiteral("/lanthorn-%1.sock").arg(parent);
}

NoticeResult SendConvertDone(qint64 parent, int timeoutMs)
{
    if (parent == 0)
        return NoticeResult::NotSent;
    QLocalSocket socket;
    socket.connectToServer(ParentSocketPath(parent));
    if (!socket.waitForConnected(1000))
        return NoticeResult::NotSent;
    socket.write(QByteArray::number(kConvertDone) + " 0 0\n");
    if (!socket.waitForBytesWritten(1000))
        return NoticeResult::NoAnswer;
    // The notice is synchronous: the parent reads the result before it answers.
    QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || socket.state() != QLocalSocket::ConnectedState ||
            !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return socket.canReadLine() ? NoticeResult::Answered : NoticeResult::NoAnswer;
    }
    return NoticeResult::Answered;
}

} // namespace cordane

#include "parentnotice.h"

#include "handoff.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace cordane {

namespace {

constexpr int kConnectMs = 1000;

std::unique_ptr<QLocalSocket> connectTo(qint64 parent)
{
    if (parent == 0)
        return nullptr;
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(ParentSocketPath(parent));
    if (!socket->waitForConnected(kConnectMs))
        return nullptr;
    return socket;
}

NoticeResult sendOver(QLocalSocket &socket, int timeoutMs)
{
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

} // namespace

QString ParentSocketPath(qint64 parent)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral("/tmp");
    return folder + QStringLiteral("/lanthorn-%1.sock").arg(parent);
}

NoticeResult SendConvertDone(qint64 parent, int timeoutMs)
{
    const auto socket = connectTo(parent);
    return socket ? sendOver(*socket, timeoutMs) : NoticeResult::NotSent;
}

ParentLink::ParentLink(qint64 parent) : m_parent(parent), m_socket(connectTo(parent)) {}

ParentLink::~ParentLink() = default;

bool ParentLink::connected() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

NoticeResult ParentLink::SendConvertDone(int timeoutMs)
{
    if (!connected())
        m_socket = connectTo(m_parent);
    return m_socket ? sendOver(*m_socket, timeoutMs) : NoticeResult::NotSent;
}

} // namespace cordane

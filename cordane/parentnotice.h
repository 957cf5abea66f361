#pragma once
// Tells the parent application that Cordane has finished: the parent listens
// on a local socket named after the number it wrote as "Parent".
#include <QString>

#include <memory>

class QLocalSocket;

namespace cordane {

// $XDG_RUNTIME_DIR/lanthorn-<parent>.sock (/tmp where the variable is unset).
QString ParentSocketPath(qint64 parent);

enum class NoticeResult { NotSent, Answered, NoAnswer };

// Sends "1224 0 0" and waits for the parent's answer line, at most `timeoutMs`;
// a parent of 0 or one that does not listen gets nothing.
NoticeResult SendConvertDone(qint64 parent, int timeoutMs = 10000);

// The connection to the parent, opened when Cordane starts and held while it
// runs. Every way out sends the notice over it; should Cordane be killed
// outright (SIGKILL, the one end it cannot report), the parent sees the
// connection close without a notice.
class ParentLink {
public:
    // Connects; a parent of 0 or one that does not listen: no link.
    explicit ParentLink(qint64 parent);
    ~ParentLink();
    ParentLink(const ParentLink &) = delete;
    ParentLink &operator=(const ParentLink &) = delete;

    bool connected() const;
    // Over the held connection, or a new one when there is none.
    NoticeResult SendConvertDone(int timeoutMs = 10000);

private:
    qint64 m_parent;
    std::unique_ptr<QLocalSocket> m_socket;
};

} // namespace cordane

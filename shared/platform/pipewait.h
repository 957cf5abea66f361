#pragma once
// What a reader thread needs to follow a child's output: waiting on several
// descriptors at once, a wake-up another thread can send, and reads that never
// block.
#include "childprocess.h"

#include <cstddef>
#include <span>

namespace orm::platform {

// Becomes readable once signalled; signalling again does no harm.
class WakeEvent {
public:
    // An invalid event when the system refuses one.
    static WakeEvent create();
    int fd() const { return m_fd.get(); }
    bool valid() const { return m_fd.valid(); }
    void signal() const;

private:
    Fd m_fd;
};

struct WaitItem {
    int fd = -1;        // -1 is skipped
    bool ready = false; // set by waitReadable: readable, at its end, or failed
};

// Waits until any item is ready or `timeoutMs` passed (-1: no limit). False
// with `error` set when the wait itself failed; an interrupted wait returns
// true with nothing ready.
bool waitReadable(std::span<WaitItem> items, int timeoutMs, int &error);

// The read end of a pipe that a reader drains: non-blocking, as large as the
// system allows up to `size` (a talkative child then writes on while the
// reader is busy).
void prepareReadEnd(int fd, int size);

enum class ReadStatus { Data, End, Empty, Failed };
struct ReadResult {
    ReadStatus status;
    std::size_t count = 0; // bytes read, for Data
    int error = 0;         // the system's error number, for Failed
};
ReadResult readAvailable(int fd, char *buffer, std::size_t size);

} // namespace orm::platform

#pragma once
// A two-way byte stream between this program and a helper child: one end for
// each side, and writes that report a gone reader as an error instead of a
// signal that would end this program.
#include "childprocess.h"

#include <cstddef>
#include <optional>

namespace orm::platform {

struct Channel {
    Fd ours;   // closes on exec
    Fd theirs; // given to the child as its standard input and output
    // The system's error number on failure.
    static std::optional<Channel> create(int &error);
};

// Writes all of `data`, waiting while the stream is full. False with `error`
// set when the other side has gone or the write failed.
bool writeAll(int fd, const char *data, std::size_t size, int &error);

// Ends both directions of this side at once: a thread waiting on it sees the
// end. The descriptor stays open for its owner to close.
void shutdownChannel(int fd);

} // namespace orm::platform

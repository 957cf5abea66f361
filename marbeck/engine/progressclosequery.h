#pragma once
// When the progress window may close, and what the stop question decides.
#include <functional>

namespace marbeck {

enum class StopAnswer { StopNow, WhenDone, Cancel };

struct CloseDecision {
    bool allowClose = true;
    // The modal result to close with (0: leave it as it is).
    int modalResult = 0;
    // Whether the "stopping when done" line shows; unset when not asked.
    bool askedUser = false;
    bool showStopLabel = false;
};

class ProgressCloseQuery {
public:
    // The batch has ended by itself: closing needs no question.
    bool Finished = false;
    // End the batch when the running job ends.
    bool StopWhenDone = false;

    // A close request (Cancel, Escape, Enter or the close box). `ask` shows
    // the modal question; the batch may end while it is open.
    CloseDecision FormCloseQuery(const std::function<StopAnswer()> &ask);
};

} // namespace marbeck

#include "progressclosequery.h"

namespace marbeck {

CloseDecision ProgressCloseQuery::FormCloseQuery(const std::function<StopAnswer()> &ask)
{
    CloseDecision d;
    if (Finished)
        return d;
    const StopAnswer answer = ask();
    d.askedUser = true;
    d.allowClose = answer == StopAnswer::StopNow;
    if (d.allowClose)
        d.modalResult = 2;
    // Cancel also withdraws an earlier "When done".
    StopWhenDone = answer == StopAnswer::WhenDone;
    d.showStopLabel = StopWhenDone;
    if (Finished) {
        d.allowClose = true;
        d.modalResult = 2;
    }
    return d;
}

} // namespace marbeck

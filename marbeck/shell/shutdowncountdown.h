#pragma once
// The thirty seconds the user has to cancel a post-batch action.
#include <QString>

namespace marbeck {

class ShutdownCountdown {
public:
    static constexpr int kSeconds = 30;

    // One tick of the timer; true when time has run out (the tick after 0).
    bool Tick();
    int Remaining() const { return m_remaining; }
    // "Time left: %d" with the seconds left.
    QString TimeOutText() const;

private:
    int m_remaining = kSeconds;
};

} // namespace marbeck

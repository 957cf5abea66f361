#include "shutdowncountdown.h"
#include "shared/resstr.h"

#include "lang/marbeckmessages.h"

#include <algorithm>

namespace marbeck {

bool ShutdownCountdown::Tick()
{
    --m_remaining;
    return m_remaining < 0;
}

QString ShutdownCountdown::TimeOutText() const
{
    return orm::FormatMessage(msg(Msg::MSG_LABEL_TIMEOUT),
                              {QString::number(std::max(m_remaining, 0))});
}

} // namespace marbeck

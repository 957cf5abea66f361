#include "cordanemessages.h"

namespace cordane {

namespace {
constexpr orm::MessageKey kKeys[] = {CORDANE_MESSAGES(ORM_MESSAGE_KEY)};
} // namespace

orm::MessageTable &messages()
{
    return orm::ProgramMessages<Msg>(kKeys);
}

QString msg(Msg key)
{
    return messages().text(int(key));
}

QString outputText(orm::OutputMessage key)
{
    return orm::TextOf(messages(), key);
}

QString causeText(orm::FailureCause cause)
{
    return orm::TextOf(messages(), cause);
}

} // namespace cordane

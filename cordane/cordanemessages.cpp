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
    switch (key) {
#define ORM_OUTPUT_CASE(name, text)                                                                \
    case orm::OutputMessage::name: return msg(Msg::name);
        ORM_OUTPUT_MESSAGES(ORM_OUTPUT_CASE)
#undef ORM_OUTPUT_CASE
    }
    return {};
}

QString causeText(orm::FailureCause cause)
{
    switch (cause) {
#define ORM_CAUSE_CASE(name, text)                                                                 \
    case orm::FailureCause::name: return msg(Msg::name);
        ORM_FAILURE_CAUSE_MESSAGES(ORM_CAUSE_CASE)
#undef ORM_CAUSE_CASE
    case orm::FailureCause::None: break;
    }
    return {};
}

} // namespace cordane

#include "marbeckmessages.h"

namespace marbeck {

namespace {
constexpr orm::MessageKey kKeys[] = {MARBECK_MESSAGES(ORM_MESSAGE_KEY)};
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

} // namespace marbeck

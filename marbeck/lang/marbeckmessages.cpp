#include "marbeckmessages.h"

namespace marbeck {

namespace {
constexpr orm::MessageKey kKeys[] = {
#define ORM_MESSAGE_KEY(key, text) {#key, text},
    MARBECK_MESSAGES(ORM_MESSAGE_KEY)
#undef ORM_MESSAGE_KEY
};
} // namespace

orm::MessageTable &messages()
{
    static orm::MessageTable table(kKeys);
    return table;
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

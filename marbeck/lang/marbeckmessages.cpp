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

} // namespace marbeck

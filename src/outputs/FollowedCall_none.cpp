// The build without a JSON reader (the Windows one, which has no MQTT and so
// follows nothing): no call message is ever read.
#include "outputs/FollowedMessage.h"

namespace telvane {

TFollowedRefusal ReadFollowedCall(std::string_view, TCallEvent&) {
    return {TFollowedFault::NotJson, ""};
}

} // namespace telvane

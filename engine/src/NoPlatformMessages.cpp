// A platform layer without windows yet: notifications have nowhere to go.
#include "PlatformServices.h"

namespace talvor::engine {

std::unique_ptr<MessageSink> makePlatformMessageSink()
{
    return nullptr;
}

}  // namespace talvor::engine

// Notifications go to platform windows as posted messages.
#include "PlatformServices.h"

#include "platform/Window.h"

namespace talvor::engine {

namespace {

class PlatformMessageSink final : public MessageSink {
public:
    bool post(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) override
    {
        return platform::postMessage(window, msg, wParam, lParam);
    }
};

}  // namespace

std::unique_ptr<MessageSink> makePlatformMessageSink()
{
    return std::make_unique<PlatformMessageSink>();
}

}  // namespace talvor::engine

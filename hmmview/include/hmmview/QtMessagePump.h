#pragma once
// The application's Qt event loop as the message pump of the animation pacer:
// handles the pending events, then sleeps in the event loop until an event
// arrives or the wait is over.  Needs Qt Core only.

#include "hmmview/Animation.h"

namespace talvor::hmmview {

class QtMessagePump final : public MessagePump {
public:
    void processEvents(std::int64_t maxWaitMs) override;
};

}  // namespace talvor::hmmview

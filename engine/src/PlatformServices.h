#pragma once
// The engine's services over the platform layer.

#include "engine/Services.h"

#include <memory>

namespace talvor::engine {

// The input and output devices chosen by TALVOR_AUDIO_IN / TALVOR_AUDIO_OUT
// when each recording or playback starts.
std::unique_ptr<SoundIn> makePlatformSoundIn();
std::unique_ptr<SoundOut> makePlatformSoundOut();
// A timer on the thread that starts it (that thread's event loop must run).
std::unique_ptr<TickTimer> makePlatformTimer();
// Message boxes through the platform's dialogs.
std::unique_ptr<MessageBoxes> makePlatformMessageBoxes();
// WM_KEYDOWN and other messages to platform windows.
std::unique_ptr<MessageSink> makePlatformMessageSink();

}  // namespace talvor::engine

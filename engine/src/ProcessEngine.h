#pragma once
// The library's one engine and the services it runs on in production.

#include "engine/Engine.h"
#include "engine/Services.h"

namespace talvor::engine {

// The platform layer's devices, timer, window messages and dialogs (or, in a
// build without the platform layer, none: opening a device then fails).
EngineServices productionServices();

// The engine behind the exports, built when the library is loaded.
Engine& processEngine();

}  // namespace talvor::engine

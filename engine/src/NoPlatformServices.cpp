// Services of a build without the platform layer: no devices, no timer, no
// window messages, no dialogs.  Opening a device fails; TokenProces returns 0.

#include "ProcessEngine.h"

namespace talvor::engine {

EngineServices productionServices()
{
    return EngineServices{};
}

}  // namespace talvor::engine

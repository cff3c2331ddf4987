// A stand-in for a control library: it sets and reads its own module state.
#include "common/ModuleState.h"

#define CAT2(a, b) a##b
#define CAT(a, b) CAT2(a, b)

extern "C" __attribute__((visibility("default"))) void CAT(stateUserSetAppPath_, STATE_USER_NAME)(const char* path)
{
    talvor::moduleState().AppPath = path;
    talvor::moduleState().InitModeNames();
}

extern "C" __attribute__((visibility("default"))) const char* CAT(stateUserAppPath_, STATE_USER_NAME)()
{
    return talvor::moduleState().AppPath.c_str();
}

extern "C" __attribute__((visibility("default"))) const char* CAT(stateUserModeName_, STATE_USER_NAME)(int mode)
{
    return talvor::moduleState().ModeNames(mode).c_str();
}

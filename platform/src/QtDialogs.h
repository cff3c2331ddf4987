#pragma once
#include "platform/Dialogs.h"

namespace talvor::platform::detail {

// The Qt dialogs (modal, on the GUI thread).
Dialogs& qtDialogs();
// Messages to standard error, default answers.
Dialogs& headlessDialogs();
// "Label files (*.lab)|*.lab|All (*.*)|*.*" or "A (*.a);;B (*.b)" as a Qt filter.
std::string qtFilter(const std::string& filter);

}  // namespace talvor::platform::detail

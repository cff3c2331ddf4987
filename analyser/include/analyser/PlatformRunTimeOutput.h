#pragma once
// The run-time output's services over the platform layer: windows are found
// and posted to through the platform's window messages (a window of this
// process counts as the analyser's or the workbench's own), message boxes go
// through platform::dialogs(), error lines to standard error.  The analyser
// window tells whether it is visible.

#include <functional>

#include "analyser/RunTimeOutput.h"

namespace talvor::analyser {

class PlatformRunTimeOutputServices final : public RunTimeOutputServices {
public:
    explicit PlatformRunTimeOutputServices(std::function<bool()> windowVisible);

    std::uint32_t findWindow(const std::string& caption) override;
    bool isOwnWindow(std::uint32_t window) override;
    bool postMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) override;
    bool windowVisible() override;
    void messageBox(const std::string& text) override;
    void errorLine(const std::string& line) override;

private:
    std::function<bool()> m_windowVisible;
};

}  // namespace talvor::analyser

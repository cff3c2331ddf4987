#include "analyser/PlatformRunTimeOutput.h"

#include <cstdio>
#include <utility>

#include "platform/Dialogs.h"
#include "platform/Window.h"

namespace talvor::analyser {

PlatformRunTimeOutputServices::PlatformRunTimeOutputServices(std::function<bool()> windowVisible)
    : m_windowVisible(std::move(windowVisible))
{
}

std::uint32_t PlatformRunTimeOutputServices::findWindow(const std::string& caption)
{
    return platform::findWindowByCaption(caption);
}

bool PlatformRunTimeOutputServices::isOwnWindow(std::uint32_t window)
{
    return platform::isWindowOfThisProcess(window);
}

bool PlatformRunTimeOutputServices::postMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam,
                                                std::int32_t lParam)
{
    return platform::postMessage(window, msg, wParam, lParam);
}

bool PlatformRunTimeOutputServices::windowVisible()
{
    return m_windowVisible && m_windowVisible();
}

void PlatformRunTimeOutputServices::messageBox(const std::string& text)
{
    platform::dialogs().messageBox(text, "Run-time output", platform::MessageIcon::Warning,
                                   platform::MessageButtons::Ok);
}

void PlatformRunTimeOutputServices::errorLine(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace talvor::analyser

#include "workbench/MainProgram.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Process.h"
#include "workbench/WizardWindow.h"

namespace talvor::workbench {

namespace {

class PlatformProgram : public StartedProgram {
public:
    explicit PlatformProgram(std::unique_ptr<platform::ChildProcess> p) : m_process(std::move(p)) {}
    bool isRunning() override { return m_process->isRunning(); }
    void terminate() override { m_process->terminate(); }

private:
    std::unique_ptr<platform::ChildProcess> m_process;
};

}  // namespace

std::optional<std::string> programFolder(const std::vector<std::string>& args, const std::string& executableFolder,
                                         std::string* error)
{
    std::string folder;
    bool given = false;
    const std::string option = "--program-folder";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option) {
            if (i + 1 >= args.size()) {
                *error = option + " needs a folder";
                return std::nullopt;
            }
            folder = args[i + 1];
            given = true;
        } else if (args[i].rfind(option + "=", 0) == 0) {
            folder = args[i].substr(option.size() + 1);
            given = true;
        }
    }
    if (!given) {
        const char* env = std::getenv(kProgramFolderVariable);
        folder = (env && *env) ? env : executableFolder;
    }
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(folder, ec);
    if (ec || !std::filesystem::is_directory(p, ec)) {
        *error = "the program folder " + folder + " does not exist";
        return std::nullopt;
    }
    p = p.lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::unique_ptr<StartedProgram> PlatformPrograms::start(const std::string& program, const std::string& workingDir,
                                                        std::string* error)
{
    auto p = platform::ChildProcess::start(program, workingDir, error);
    if (!p)
        return nullptr;
    return std::make_unique<PlatformProgram>(std::move(p));
}

WindowHandle PlatformPrograms::findWindow(const std::string& caption)
{
    return platform::findWindowByCaption(caption);
}

WindowHandle PlatformPrograms::waitForNewWindow(const std::string& caption, WindowHandle existingBefore, int timeoutMs)
{
    return platform::waitForNewWindow(caption, existingBefore, timeoutMs);
}

std::string bringRunningWorkbenchToFront()
{
    // The captions the wizard carries: its own, and the one it has while an
    // external HMM program runs.
    for (const char* caption : {kDesignCaption, kCaptionSetup}) {
        const platform::WindowHandle h = platform::findWindowByCaption(caption);
        const std::int32_t answer = h != 0 ? platform::sendMessage(h, kBringToFrontMessage, 0, 0, 3000) : 0;
        const std::string running = std::string("talvor: the workbench is already running (window \"") + caption + "\"); ";
        if (answer == 1)
            return running + "it was brought to the front.";
        if (answer == 2)
            return running + "it is hidden while an external HMM program runs and comes back when it ends.";
    }
    return "talvor: the workbench is already running for this user, but its window did not answer.";
}

std::unique_ptr<MainWindowRegistration> MainWindowRegistration::create(WizardWindow& window, std::string* error)
{
    auto endpoint = platform::WindowEndpoint::create(
        window.caption(),
        [&window](std::uint32_t msg, std::uint32_t wParam, std::int32_t) -> std::int32_t {
            if (msg == platform::WM_KEYDOWN)
                window.wizard().Form_KeyDown(wParam);
            if (msg == kBringToFrontMessage)
                return window.bringToFront() ? 1 : 2;
            return 0;
        },
        error);
    if (!endpoint)
        return nullptr;
    return std::unique_ptr<MainWindowRegistration>(new MainWindowRegistration(window, std::move(endpoint)));
}

MainWindowRegistration::MainWindowRegistration(WizardWindow& window, std::unique_ptr<platform::WindowEndpoint> endpoint)
    : m_window(window), m_endpoint(std::move(endpoint))
{
    m_endpoint->setWidget(&m_window);
    platform::WindowEndpoint* e = m_endpoint.get();
    m_window.setCaptionListener([e](const std::string& caption) {
        std::string why;
        if (!e->setCaption(caption, &why))
            std::fprintf(stderr, "talvor: the window caption \"%s\" is taken: %s\n", caption.c_str(), why.c_str());
    });
}

MainWindowRegistration::~MainWindowRegistration()
{
    m_window.setCaptionListener(nullptr);
}

}  // namespace talvor::workbench

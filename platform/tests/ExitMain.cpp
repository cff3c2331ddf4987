// Platform objects held by static objects outlive the application object and
// are destroyed while the process exits, as a library's process-wide state
// would be: a window (with a peer connection and a pending post), a running
// timer, an open input and a playing output.  The program must end cleanly.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "platform/Audio.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "testing/TempDir.h"

using namespace talvor::platform;

namespace {
struct LibraryState {
    std::unique_ptr<WindowEndpoint> window;
    std::unique_ptr<WindowEndpoint> other;
    std::unique_ptr<Timer> timer;
    std::unique_ptr<SoundInput> input;
    std::unique_ptr<SoundOutput> output;
    std::vector<std::int16_t> buffer = std::vector<std::int16_t>(80000);
};
LibraryState g_state;
talvor::test::TempDir g_runtime;
}  // namespace

int main(int argc, char** argv)
{
    ::setenv("XDG_RUNTIME_DIR", g_runtime.path().c_str(), 1);
    QCoreApplication app(argc, argv);
    std::string error;
    int ticks = 0;
    g_state.window = WindowEndpoint::create("exit test", [&](std::uint32_t, std::uint32_t, std::int32_t) { return 0; },
                                            &error);
    g_state.other = WindowEndpoint::create("exit test 2", nullptr, &error);
    g_state.timer = Timer::create();
    g_state.input = createNullInput(Pace::RealTime);
    g_state.output = createNullOutput();
    if (!g_state.window || !g_state.other || !g_state.timer->start(1, [&] { ++ticks; }) ||
        !g_state.input->open(g_state.buffer.data(), g_state.buffer.size(), [] {}, &error) ||
        !g_state.output->play(g_state.buffer.data(), g_state.buffer.size(), &error)) {
        std::fprintf(stderr, "set-up failed: %s\n", error.c_str());
        return 1;
    }
    postMessage(g_state.window->handle(), 1, 2, 3);  // still queued at the end
    QTimer::singleShot(30, &app, &QCoreApplication::quit);
    app.exec();
    return ticks > 0 ? 0 : 2;
}

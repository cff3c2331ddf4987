#pragma once
// Windows and messages: top-level windows found by caption, and the small
// message protocol the programs speak with each other.
//
// A window here is a message endpoint: a non-zero 32-bit handle (0 = no
// window), an exact caption, a handler that runs on the thread that created
// the window (through that thread's Qt event loop), and optionally a widget
// that show/hide/enable/disable requests act on.  Windows of other processes
// of the same user are reached through Unix domain sockets in a per-user
// folder of mode 0700, one socket per caption; messages cross as fixed-size
// frames and no pointer ever crosses (lParam is 0 where an address would be).
//
// Key notifications are WM_KEYDOWN with the key code in wParam.
//
// Use:
//     auto w = WindowEndpoint::create("TALVOR recog", handler, &error);
//     WindowHandle peer = findWindowByCaption("Statwalk in mode: HMM Training");
//     postMessage(peer, WM_KEYDOWN, 26670, 0);
//     std::int32_t r = sendMessage(peer, 26666, 26687, 0);
//
// A message to handle 0, or to a window that has gone, is dropped with a
// result of 0 (false for postMessage); nothing crashes or hangs.
//
// Details:
// - The registry is process-wide and needs a QCoreApplication; a window can
//   only be created on a thread with a Qt event loop.  Its handle stays the
//   same when its caption changes.
// - Posts to one window arrive in the order they were posted.  A send from
//   the window's own thread calls the handler at once; from another thread
//   or process it waits, and while it waits this thread's windows answer the
//   sends that reach them (nested sends work both ways).  Timeouts are
//   capped at ten minutes; a send to a window that goes away while the send
//   waits returns 0 at once.
// - A caption is registered across processes through a socket in
//   runtimeDir() (Process.h); a socket left by a crashed process is taken
//   over, a live one refuses the second window with a message.  Peers of
//   another user are dropped.  findWindowByCaption asks other processes with
//   a bounded wait (at most about three seconds when a peer does not answer).
// - A window of another process gets a handle of this process, the same for
//   the same window at every lookup.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace talvor::platform {

using WindowHandle = std::uint32_t;  // 0 = none

constexpr std::uint32_t WM_KEYDOWN = 0x0100;

// Handles one message; the result is what sendMessage returns to the sender.
using MessageHandler = std::function<std::int32_t(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)>;

enum class WindowRequest { Hide, Show, Enable, Disable };

class WindowEndpoint {
public:
    // Registers a window with `caption` on the calling thread.  Fails (null,
    // reason in *error) when another live window, here or in another process
    // of this user, already has the caption: the first keeps it.
    static std::unique_ptr<WindowEndpoint> create(const std::string& caption, MessageHandler handler,
                                                  std::string* error = nullptr);
    virtual ~WindowEndpoint();  // unregisters; later messages to it are dropped

    virtual WindowHandle handle() const = 0;
    virtual std::string caption() const = 0;
    // Changes the registered caption; false (caption unchanged) when the new
    // one is taken by another live window.
    virtual bool setCaption(const std::string& caption, std::string* error = nullptr) = 0;

    // The widget that Hide/Show/Enable/Disable requests act on (may be null).
    virtual void setWidget(QWidget* widget) = 0;
    // Called instead of (or, with no widget, beside) acting on the widget.
    virtual void setRequestHandler(std::function<void(WindowRequest)> handler) = 0;
};

// The window with exactly this caption: this process first, then the other
// processes of this user.  0 when there is none.
WindowHandle findWindowByCaption(const std::string& caption);

// True when the window is one of this process (not a peer's).
bool isWindowOfThisProcess(WindowHandle window);

// Queues a message for the window's thread and returns at once.  False when
// the window does not exist.
bool postMessage(WindowHandle window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);

// Delivers a message and waits for the handler's result, serving messages sent
// back to this thread's windows meanwhile.  Inside one process the handler is
// called directly when it lives on the calling thread.  0 when the window does
// not exist or the answer does not come within timeoutMs.
std::int32_t sendMessage(WindowHandle window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam,
                         int timeoutMs = 10000);

// Asks a window (also a peer's) to hide, show, enable or disable itself.
bool requestWindow(WindowHandle window, WindowRequest request);

}  // namespace talvor::platform

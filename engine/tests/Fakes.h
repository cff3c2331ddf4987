#pragma once
// Fake services for engine tests: a sound input whose deliveries the test
// drives, a timer the test ticks, and recorders for messages and boxes.

#include "engine/Engine.h"
#include "engine/Services.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talvor::engine::test {

class FakeSoundIn : public SoundIn {
public:
    bool failOpen = false;
    std::string openError = "The device is in use.";
    std::function<void()> onClose;  // runs inside close(), before it returns
    int opens = 0;
    int closes = 0;
    WaveFormat lastFormat{};

    std::int16_t* buffer = nullptr;
    std::size_t count = 0;
    std::size_t delivered = 0;
    std::function<void()> bufferFull;

    bool open(const WaveFormat& format, std::int16_t* b, std::size_t n, std::function<void()> onFull,
              std::string* error) override
    {
        ++opens;
        lastFormat = format;
        if (failOpen) {
            *error = openError;
            return false;
        }
        buffer = b;
        count = n;
        delivered = 0;
        bufferFull = std::move(onFull);
        return true;
    }
    std::size_t samplesDelivered() const override { return delivered; }
    // A device that keeps running: where the engine asked the next
    // recording to begin, and how it ended listening.
    int continuingOpens = 0;
    int releases = 0;
    std::optional<std::size_t> lastUsed;  // of the last closeUsed
    bool openContinuing(const WaveFormat& format, std::int16_t* b, std::size_t n, std::function<void()> onFull,
                        std::string* error) override
    {
        ++continuingOpens;
        return open(format, b, n, std::move(onFull), error);
    }
    std::size_t closeUsed(std::size_t used) override
    {
        lastUsed = used;
        return close();
    }
    void release() override
    {
        ++releases;
        close();
    }
    std::size_t close() override
    {
        ++closes;
        if (onClose)
            onClose();
        const std::size_t n = buffer ? delivered : 0;
        buffer = nullptr;
        bufferFull = nullptr;
        return n;
    }
    bool isOpen() const { return buffer != nullptr; }

    // Delivers the next samples of `source` (from position `delivered`); calls
    // the buffer-full callback when the buffer is full.  Returns how many.
    std::size_t deliver(const std::vector<std::int16_t>& source, std::size_t n)
    {
        if (!buffer)
            return 0;
        n = std::min({n, count - delivered, source.size() > delivered ? source.size() - delivered : 0});
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(delivered), n, buffer + delivered);
        delivered += n;
        if (delivered == count && bufferFull)
            bufferFull();
        return n;
    }
};

class FakeSoundOut : public SoundOut {
public:
    bool failPlay = false;
    int plays = 0;
    int closes = 0;
    const std::int16_t* playing = nullptr;
    std::size_t count = 0;
    std::vector<std::int16_t> played;  // what the last play saw
    std::size_t position = 0;
    std::function<void()> onClose;  // runs inside close(), before it returns

    bool play(const WaveFormat&, const std::int16_t* samples, std::size_t n, std::string* error) override
    {
        ++plays;
        if (failPlay) {
            *error = "No output device.";
            return false;
        }
        playing = samples;
        count = n;
        played.assign(samples, samples + n);
        return true;
    }
    std::size_t close() override
    {
        ++closes;
        if (onClose)
            onClose();
        const std::size_t n = playing ? position : 0;
        playing = nullptr;
        return n;
    }
};

class FakeTimer : public TickTimer {
public:
    bool failStart = false;
    int starts = 0;
    int stops = 0;
    int interval = 0;
    bool active = false;
    std::function<void()> tickFn;

    bool start(int intervalMs, std::function<void()> tick) override
    {
        ++starts;
        if (failStart)
            return false;
        interval = intervalMs;
        tickFn = std::move(tick);
        active = true;
        return true;
    }
    void stop() override
    {
        ++stops;
        active = false;
    }
    bool isActive() const override { return active; }
    // One tick, as the event loop would run it.
    void tick()
    {
        if (active && tickFn)
            tickFn();
    }
};

struct Posted {
    std::uint32_t window;
    std::uint32_t msg;
    std::uint32_t wParam;
    std::int32_t lParam;
};

class FakeMessages : public MessageSink {
public:
    std::vector<Posted> posted;
    bool post(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) override
    {
        posted.push_back({window, msg, wParam, lParam});
        return true;
    }
    int count(std::uint32_t key) const
    {
        return static_cast<int>(std::count_if(posted.begin(), posted.end(),
                                              [&](const Posted& p) { return p.msg == WM_KEYDOWN && p.wParam == key; }));
    }
};

struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class FakeBoxes : public MessageBoxes {
public:
    std::vector<Shown> shown;
    void show(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        shown.push_back({text, caption, icon});
    }
};

// An engine over fakes, the fakes kept at hand.
struct FakeRig {
    FakeSoundIn* in = nullptr;
    FakeSoundOut* out = nullptr;
    FakeTimer* timer = nullptr;
    FakeMessages* messages = nullptr;
    FakeBoxes* boxes = nullptr;
    std::unique_ptr<Engine> engine;

    explicit FakeRig(SampleAllocator allocate = allocateSamples, bool withInput = true)
    {
        EngineServices s;
        if (withInput) {
            auto i = std::make_unique<FakeSoundIn>();
            in = i.get();
            s.soundIn = std::move(i);
        }
        auto o = std::make_unique<FakeSoundOut>();
        auto t = std::make_unique<FakeTimer>();
        auto m = std::make_unique<FakeMessages>();
        auto b = std::make_unique<FakeBoxes>();
        out = o.get();
        timer = t.get();
        messages = m.get();
        boxes = b.get();
        s.soundOut = std::move(o);
        s.timer = std::move(t);
        s.messages = std::move(m);
        s.messageBoxes = std::move(b);
        s.allocate = std::move(allocate);
        engine = std::make_unique<Engine>(std::move(s));
    }
};

}  // namespace talvor::engine::test

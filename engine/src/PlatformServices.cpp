#include "PlatformServices.h"

#include "ProcessEngine.h"

#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "platform/Timer.h"
#include "platform/Window.h"

#include <utility>

namespace talvor::engine {

namespace {

constexpr const char* kFormatRefused = "Only 8000 Hz, mono, 16-bit sound is supported.";

// Closes and lets go of a sound device, if one is open; gives back the
// samples the device moved (0 without one).
template <class Device>
std::size_t closeDevice(std::unique_ptr<Device>& device)
{
    if (!device)
        return 0;
    const std::size_t n = device->close();
    if constexpr (requires { device->release(); })
        device->release();
    device.reset();
    return n;
}

// One input device for as long as the environment selects the same one, so a
// device that keeps running between recordings does (the microphone is not
// opened afresh for every word); a changed selection gets a new device.
class PlatformSoundIn final : public SoundIn {
public:
    bool open(const WaveFormat& format, std::int16_t* buffer, std::size_t count,
              std::function<void()> onBufferFull, std::string* error) override
    {
        return begin(false, format, buffer, count, std::move(onBufferFull), error);
    }
    bool openContinuing(const WaveFormat& format, std::int16_t* buffer, std::size_t count,
                        std::function<void()> onBufferFull, std::string* error) override
    {
        return begin(true, format, buffer, count, std::move(onBufferFull), error);
    }
    std::size_t samplesDelivered() const override { return m_device ? m_device->samplesDelivered() : 0; }
    std::size_t close() override { return m_device ? m_device->close() : 0; }
    std::size_t closeUsed(std::size_t used) override { return m_device ? m_device->closeUsed(used) : 0; }
    void release() override
    {
        if (m_device)
            m_device->release();
    }

private:
    bool begin(bool continuing, const WaveFormat& format, std::int16_t* buffer, std::size_t count,
               std::function<void()> onBufferFull, std::string* error)
    {
        if (format != SoundFormat) {
            *error = kFormatRefused;
            return false;
        }
        close();
        const std::string selection = platform::soundInputSelection();
        if (!m_device || selection != m_selection) {
            closeDevice(m_device);
            m_device = platform::createSoundInput();
            m_selection = selection;
        }
        if (!m_device) {
            *error = "No sound input device is available.";
            return false;
        }
        const bool opened = continuing ? m_device->openContinuing(buffer, count, std::move(onBufferFull), error)
                                       : m_device->open(buffer, count, std::move(onBufferFull), error);
        if (!opened && !m_device->keepsRunning())
            m_device.reset();
        return opened;
    }

    std::unique_ptr<platform::SoundInput> m_device;
    std::string m_selection;
};

class PlatformSoundOut final : public SoundOut {
public:
    bool play(const WaveFormat& format, const std::int16_t* samples, std::size_t count,
              std::string* error) override
    {
        if (format != SoundFormat) {
            *error = kFormatRefused;
            return false;
        }
        close();
        m_device = platform::createSoundOutput();
        if (!m_device) {
            *error = "No sound output device is available.";
            return false;
        }
        if (!m_device->play(samples, count, error)) {
            m_device->close();
            m_device.reset();
            return false;
        }
        return true;
    }
    std::size_t close() override { return closeDevice(m_device); }

private:
    std::unique_ptr<platform::SoundOutput> m_device;
};

class PlatformTimer final : public TickTimer {
public:
    bool start(int intervalMs, std::function<void()> tick) override
    {
        if (!m_timer)
            m_timer = platform::Timer::create();
        return m_timer && m_timer->start(intervalMs, std::move(tick));
    }
    void stop() override
    {
        if (m_timer)
            m_timer->stop();
    }
    bool isActive() const override { return m_timer && m_timer->isActive(); }

private:
    std::unique_ptr<platform::Timer> m_timer;
};

class PlatformMessageBoxes final : public MessageBoxes {
public:
    void show(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        platform::dialogs().messageBox(text, caption,
                                       icon == MessageIcon::Warning ? platform::MessageIcon::Warning
                                                                    : platform::MessageIcon::Information,
                                       platform::MessageButtons::Ok);
    }
};

class PlatformMessageSink final : public MessageSink {
public:
    bool post(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) override
    {
        return platform::postMessage(window, msg, wParam, lParam);
    }
};

}  // namespace

std::unique_ptr<SoundIn> makePlatformSoundIn()
{
    return std::make_unique<PlatformSoundIn>();
}

std::unique_ptr<SoundOut> makePlatformSoundOut()
{
    return std::make_unique<PlatformSoundOut>();
}

std::unique_ptr<TickTimer> makePlatformTimer()
{
    return std::make_unique<PlatformTimer>();
}

std::unique_ptr<MessageBoxes> makePlatformMessageBoxes()
{
    return std::make_unique<PlatformMessageBoxes>();
}

std::unique_ptr<MessageSink> makePlatformMessageSink()
{
    return std::make_unique<PlatformMessageSink>();
}

EngineServices productionServices()
{
    EngineServices s;
    s.soundIn = makePlatformSoundIn();
    s.soundOut = makePlatformSoundOut();
    s.timer = makePlatformTimer();
    s.messages = makePlatformMessageSink();
    s.messageBoxes = makePlatformMessageBoxes();
    return s;
}

}  // namespace talvor::engine

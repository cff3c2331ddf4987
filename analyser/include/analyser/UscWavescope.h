#pragma once
// uscWavescope: the signal analyser's control, through which a host (the
// workbench) drives the analyser window.
//
//     talvor::UscWavescope wavescope;          // the engine library's exports
//     wavescope.SetAppPath(programFolder);
//     wavescope.SetControls(&dtw, &chainview);
//     wavescope.SetRunTimeMode(0, "result.txt", "TALVOR recog", 1025, 0, "127.0.0.1", 11111, 0, 0);
//     wavescope.LoadMode(8, "digits", "", "work1");   // returns when the user leaves
//
// Needs a QApplication on the calling thread.  The window is created on the
// first member that needs it and is hidden, not destroyed, when the user
// leaves it.  Each control keeps its own module state (program folder, mode
// names, run-time settings).  Tests pass a scripted engine in place of the
// engine library.

#include "common/ControlInterfaces.h"
#include "common/ModuleState.h"

#include <memory>

class QWidget;

namespace talvor {

namespace analyser {
class AnalyserEngine;
class Profiler;
class ProfilerWindow;
class PlatformHost;
class PlatformRunTimeOutputServices;
}  // namespace analyser

class UscWavescope final : public WavescopeControl {
public:
    static constexpr std::int32_t kRevision = 1;

    // The engine library libtalvor2.so.
    UscWavescope();
    // Another engine (tests: a scripted one); null for the engine library.
    explicit UscWavescope(std::unique_ptr<analyser::AnalyserEngine> engine);
    ~UscWavescope() override;
    UscWavescope(const UscWavescope&) = delete;
    UscWavescope& operator=(const UscWavescope&) = delete;

    std::int32_t revision() const override { return m_revision; }
    void setRevision(std::int32_t value) override { m_revision = value; }
    ControlResult SetAppPath(const std::string& a_path) override;
    ControlResult ShowWavescope(std::int32_t modal = 0) override;
    ControlResult LoadMode(std::int32_t pMode, const std::string& vName, const std::string& lName,
                           const std::string& wParh) override;
    ControlResult SetControls(DtwControl* uD, ChainviewControl* uH) override;
    ControlResult SetNewVoc(std::span<const std::string> words, std::int32_t nWords) override;
    ControlResult SetRunTimeMode(std::int32_t RTmode, const std::string& RTfile, const std::string& RTwCapt,
                                 std::int32_t RTmsg, std::int32_t RTwPar, const std::string& RTip,
                                 std::int32_t RTport, std::int32_t RThide, std::int32_t RTResultList) override;

    // For tests and tools: this control's state, the analyser's logic and its
    // window (created on first use).
    ModuleState& state() { return m_module; }
    analyser::Profiler& profiler();
    QWidget* window();
    bool windowCreated() const { return m_window != nullptr; }
    bool inModalShow() const { return m_modalDepth > 0; }

private:
    void ensureWindow();

    std::int32_t m_revision = kRevision;
    ModuleState m_module;
    std::unique_ptr<analyser::AnalyserEngine> m_engine;
    std::unique_ptr<analyser::PlatformHost> m_host;
    std::unique_ptr<analyser::PlatformRunTimeOutputServices> m_outputServices;
    std::unique_ptr<analyser::Profiler> m_profiler;
    std::unique_ptr<analyser::ProfilerWindow> m_window;
    int m_modalDepth = 0;
};

}  // namespace talvor

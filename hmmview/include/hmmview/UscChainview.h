#pragma once
// The HMM viewer's control: what the workbench and the signal analyser call.
// It forwards every member to the library's viewer (ChainviewModel) and its
// one window (ChainviewWindow), which is made on the first ShowChainview and
// kept, hidden, until the control goes.
//
// Use (inside a QApplication, on its GUI thread):
//     talvor::hmmview::UscChainview chainview;
//     chainview.SetAppPath(programFolder);
//     chainview.SetPruneTreshold(500);
//     chainview.LoadMode(11, "digits", "", "test01", "hmm8");
//     chainview.ShowChainview(1);            // returns when the user leaves
//     std::int32_t first = -1;
//     chainview.GetResultByOrder(1, first);  // the model index ranked first
//
// GetResultByOrder returns model indices (load order), never pane indices:
// the user may swap the models between panes, and a receiver must still be
// told the word that was ranked.  GetModelVocabularyIndex turns a model index
// into the model's vocabulary index (its model ID).
//
// While a match runs (an animated match lets events run), every member that
// would change the viewer fails with a reason.

#include <memory>

#include "common/ControlInterfaces.h"
#include "hmmview/Animation.h"
#include "hmmview/ChainviewModel.h"
#include "hmmview/QtMessagePump.h"
#include "hmmview/TrellisPainter.h"

namespace talvor::hmmview {

class ChainviewWindow;

class UscChainview final : public ChainviewControl {
public:
    // `scale` sets the twips a pixel of the window (tests use other scales).
    explicit UscChainview(TwipScale scale = {});
    ~UscChainview() override;
    UscChainview(const UscChainview&) = delete;
    UscChainview& operator=(const UscChainview&) = delete;

    std::int32_t revision() const override { return m_revision; }
    void setRevision(std::int32_t value) override { m_revision = value; }
    ControlResult SetAppPath(const std::string& a_path) override;
    ControlResult ShowChainview(std::int32_t modal = 0) override;
    ControlResult LoadMode(std::int32_t pMode, const std::string& vName, const std::string& vStringName,
                           const std::string& lName, const std::string& wParh) override;
    ControlResult PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                              std::int32_t nFrames, std::string& name, std::int32_t& result) override;
    ControlResult SetPruneTreshold(std::int32_t x) override;
    ControlResult GetResultByOrder(std::int32_t order, std::int32_t& result) override;
    ControlResult GetModelVocabularyIndex(std::int32_t modelIndex, std::int32_t& vocabularyIndex) override;

    ChainviewModel& model() { return *m_model; }
    // The window, made when first asked for.
    ChainviewWindow& window();
    bool hasWindow() const { return m_window != nullptr; }

private:
    std::int32_t m_revision = kChainviewRevision;
    TwipScale m_scale;
    SteadyClock m_clock;
    QtMessagePump m_pump;
    std::unique_ptr<ChainviewModel> m_model;
    std::unique_ptr<ChainviewWindow> m_window;
};

}  // namespace talvor::hmmview

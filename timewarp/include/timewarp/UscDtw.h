#pragma once
// uscDTW, the DTW comparer's control: construct one and hand it to the hosts
// as a talvor::DtwControl.
//
//     talvor::timewarp::UscDtw dtw;          // on the GUI thread, after QApplication
//     dtw.SetAppPath(programFolder);
//     dtw.LoadMode(8, "digits", "dtw20", 8, flags, {"mjk01", "fab01"}, "");
//     dtw.LoadDTW();                         // modes 6 and 8 return at once
//     std::int32_t word;  dtw.GetRecogWord(word);
//
// The control keeps its own library state (word store, paths, mode names):
// two controls in one process never share it.  Its window frmDTW is created
// on first use (ShowDTW, a modal LoadDTW) and after the user's Exit it is
// made afresh on the next use.  Without a QApplication everything but showing
// the window works (ShowDTW and the modal LoadDTW of modes below 6 fail).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ControlInterfaces.h"
#include "common/ModuleState.h"

namespace talvor::timewarp {

struct DtwComparerState;
class DtwSession;
class FrmDtw;
struct DtwDialogs;

class UscDtw : public DtwControl {
public:
    UscDtw();
    ~UscDtw() override;
    UscDtw(const UscDtw&) = delete;
    UscDtw& operator=(const UscDtw&) = delete;

    std::string version() const override { return m_version; }
    void setVersion(const std::string& value) override { m_version = value; }
    std::int32_t revision() const override { return m_revision; }
    void setRevision(std::int32_t value) override { m_revision = value; }

    ControlResult SetAppPath(const std::string& a_path) override;
    ControlResult ShowDTW(std::int32_t modal = 0) override;
    ControlResult LoadDTW() override;
    ControlResult LoadMode(std::int32_t pMode, const std::string& vName, const std::string& wParh, std::int32_t nFeat,
                           std::span<const std::int16_t> chkFeat, const std::vector<std::string>& refFiles,
                           const std::string& sourceFile) override;
    ControlResult SetPMword(std::int32_t i) override;
    ControlResult GetRecogWord(std::int32_t& i) override;
    ControlResult GetSelectedFeature(std::span<bool> sF) override;

    // For tests and the render tool.
    DtwSession& session() { return *m_session; }
    DtwComparerState& state() { return *m_state; }
    FrmDtw* window() const { return m_window; }  // null while not loaded
    DtwDialogs* dialogs() const { return m_dialogs.get(); }  // null until first opened
    FrmDtw& ensureWindow();
    // Unloads the window (and its dialogs), as the user's Exit does.
    void unloadWindow();

private:
    void refreshWindow();
    void openDialog(const std::string& which);

    std::unique_ptr<DtwComparerState> m_state;
    ModuleState m_module;
    std::unique_ptr<DtwSession> m_session;
    FrmDtw* m_window = nullptr;
    std::unique_ptr<DtwDialogs> m_dialogs;
    void* m_modalLoop = nullptr;  // the running modal show's QEventLoop
    std::string m_version;
    std::int32_t m_revision = 0;
};

}  // namespace talvor::timewarp

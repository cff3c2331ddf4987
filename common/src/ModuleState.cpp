#include "common/ModuleState.h"

namespace talvor {

namespace {

const std::array<std::string, kModeCount> kModeNames = {
    "Speech Recording",
    "Signal Exploring",
    "DTW Matching",
    "HMM Training",
    "HMM Matching",
    "Pick & Match (HMM)",
    "Pick & Match (DTW)",
    "Speak & Recognize (HMM)",
    "Speak & Recognize (DTW)",
    "Database Maintanence",
    "STRINGS: Pick & Match (HMM)",
    "HMM sequential  and parallel recognition",
    "STRINGS: Speak & Recognize (HMM)",
    "Talvor's runtime",
};

const std::string kEmpty;

}  // namespace

const std::string& modeNameTable(std::int32_t mode)
{
    return (mode >= 0 && mode < kModeCount) ? kModeNames[std::size_t(mode)] : kEmpty;
}

RunTimeSettings defaultRunTimeSettings()
{
    RunTimeSettings s;
    s.RTfile = kDefaultRTfile;
    s.RTwCapt = kDefaultRTwCapt;
    s.RTmsg = kDefaultRTmsg;
    s.RTwPar = kDefaultRTwPar;
    s.RTip = kDefaultRTip;
    s.RTport = kDefaultRTport;
    return s;
}

void ModuleState::InitModeNames()
{
    for (int i = 0; i < kModeNameSlots; ++i)
        m_modeNames[std::size_t(i)] = modeNameTable(i);
}

const std::string& ModuleState::ModeNames(std::int32_t index) const
{
    if (index < 0 || index >= kModeNameSlots)
        return kEmpty;
    return m_modeNames[std::size_t(index)];
}

std::string ModuleState::caption(const char* toolPrefix, std::int32_t mode) const
{
    return std::string(toolPrefix) + ModeNames(mode);
}

void ModuleState::SetRunTimeMode(std::int32_t rtMode, const std::string& rtFile, const std::string& rtWCapt,
                                 std::int32_t rtMsg, std::int32_t rtWPar, const std::string& rtIp,
                                 std::int32_t rtPort, std::int32_t rtHide, std::int32_t rtResultList)
{
    runTime.RTmode = rtMode;
    runTime.RTfile = rtFile;
    runTime.RTwCapt = rtWCapt;
    runTime.RTmsg = rtMsg;
    runTime.RTwPar = rtWPar;
    runTime.RTip = rtIp;
    runTime.RTport = rtPort;
    runTime.RThide = rtHide;
    runTime.RTResultList = rtResultList;
    runTime.RTcount = 0;
}

ModuleState& moduleState()
{
    static ModuleState state;
    return state;
}

std::int32_t CountSubstrings(const std::string& text, const std::string& pattern)
{
    if (pattern.empty())
        return -1;
    std::int32_t n = 0;
    std::size_t start = 0;
    for (;;) {
        const auto q = text.find(pattern, start);
        if (q == std::string::npos)
            return n;
        ++n;
        start = q + 1;
    }
}

}  // namespace talvor

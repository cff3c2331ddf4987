#pragma once
// One hidden Markov model read from a model file (.mod) written by the
// external trainer, with the tables the decoders need derived from it.
//
// Layout of a .mod file (little-endian, no padding): a 52-byte header
//   0  16 bytes  the model's word, zero-padded (text before the first zero)
//  16  int16     modelID             18  int16  sampling frequency
//  20  int16     window length       22  int16  window shift
//  24  int16     F features/frame    26  int16  S states
//  28  int16     M mixtures/state    30  int16  maxSkips
//  32  5 x int16 reserved            42  int16  year, 44 month, 46 day
//  48  float32   modelConst
// then four float32 tables: transitions (S x S, source state outer, target
// inner), mixture weights (S x M), means (S x M x F) and variances (same order).
// A file is exactly 52 + 4 (S S + S M + 2 S M F) bytes long.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvor::hmmview {

struct TrainDate {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    bool isSet() const { return year != 0; }
    bool operator==(const TrainDate&) const = default;
};

// What one LoadMOD call did.
struct ModLoadReport {
    bool opened = false;  // the file was found and read
    bool loaded = false;  // the model is complete and may be decoded (modelLoaded)
    std::string error;    // why the file was not taken (empty when it was)
    std::vector<std::string> warnings;  // lines worth a line in the report
};

// The model laid out for fast observation scores: components c = s * M + m,
// and for every feature f the C values of that feature side by side, padded
// to `stride` (a whole number of the widest vectors; padding means and
// inverses are 0).
struct CompiledModel {
    std::int32_t components = 0;   // C = S * M
    std::int32_t stride = 0;       // C rounded up to whole vectors
    std::vector<float> means;      // [f * stride + c]
    std::vector<float> invCovars;  // [f * stride + c]
    std::vector<float> factors;    // [c]
    std::vector<float> weights;    // [c]
    // From this component sum on the density is exactly the floor, without
    // exp (floorSumThreshold, DensityFloor.h); NaN: never.  Padding 0.
    std::vector<float> floorFrom;  // [c], stride values
    // b(s, t) of a frame where every component of state s is at the floor.
    std::vector<float> floorScores;  // [s]
};

class HmmModel {
public:
    HmmModel();

    // Reads a model file.  The name is rewritten in place: the file-name part
    // goes to lower case and is cut before its first ".mod", then ".mod" is
    // appended ("/m/ONE.MOD" -> "/m/one.mod", "word" -> "word.mod",
    // "a.mod.bak" -> "a.mod"); the file is then found on disk whatever the case
    // of its name.  A file that cannot be read, has the wrong size for its
    // header, announces fewer than one state, mixture or feature, or holds a
    // negative or non-finite value where none may stand changes nothing but
    // fileLabel().  A file with fewer than 3 states is taken (header and
    // tables) but stays unloaded: no derived tables, never decoded.
    ModLoadReport LoadMOD(std::string& fileName);
    // Loads the bytes of a model file by the same rules (the trainer checks
    // what it is about to write this way); `fileName` only names the file in
    // the messages, and fileLabel() does not change.
    ModLoadReport LoadModBytes(const std::string& bytes, const std::string& fileName);

    // ln(a(state2 -> state1) + 1e-30).  Indices at or above S become S-1, a
    // negative state1 becomes 0 (both written back); a negative state2 gives
    // 0 without reading the table.
    float GetModelTrans(std::int32_t& state1, std::int32_t& state2) const;
    // The weight of a mixture of a state, as read.  Indices at or above their
    // count become count-1, negatives 0 (written back).
    float GetModelWeight(std::int32_t& mixture, std::int32_t& state) const;
    // The density of Gaussian component m of a state for one frame of
    // `vector` (nParams values per frame, frame after frame):
    // factor * exp(-1/2 sum (x-mean)^2 / var) + 1e-30.  Indices outside the
    // model or a frame outside the vector give 1e-30, the value of an empty
    // component.
    float density_function(std::int32_t state, std::int32_t m, std::span<const float> vector,
                           std::int32_t frame) const;

    float mySMALLFLOAT() const { return m_small; }
    float myBIGFLOAT() const { return m_big; }
    const std::string& word() const { return m_word; }
    std::int32_t nStates() const { return m_nStates; }
    std::int32_t nParams() const { return m_nParams; }
    std::int32_t nMixtures() const { return m_nMixtures; }
    std::int32_t maxSkips() const { return m_maxSkips; }
    std::int32_t modelID() const { return m_modelID; }
    std::int32_t frequencY() const { return m_frequency; }
    std::int32_t modelWindowShift() const { return m_windowShift; }
    std::int32_t modelWindowLength() const { return m_windowLength; }
    float modelConst() const { return m_modelConst; }
    const TrainDate& trainDate() const { return m_trainDate; }
    bool modelLoaded() const { return m_loaded; }
    // The model file label: the name last given to LoadMOD, after the name rule.
    const std::string& fileLabel() const { return m_fileLabel; }

    // The tables as read (first index fastest): trans[to + S * from],
    // weights[m + M * s], means/covars[f + F * (m + M * s)].
    const std::vector<float>& modelTrans() const { return m_trans; }
    const std::vector<float>& modelLogTrans() const { return m_logTrans; }
    const std::vector<float>& modelWeights() const { return m_weights; }
    const std::vector<float>& modelMeans() const { return m_means; }
    const std::vector<float>& modelCovars() const { return m_covars; }
    const std::vector<float>& modelInvCovars() const { return m_invCovars; }
    const std::vector<float>& modelFactors() const { return m_factors; }

    const CompiledModel& compiled() const { return m_compiled; }
    // Changes whenever a load replaces the tables (cached scores go stale).
    std::uint64_t generation() const { return m_generation; }

private:
    float m_small;
    float m_big;
    std::string m_word;
    std::int32_t m_nStates = 0;
    std::int32_t m_nParams = 0;
    std::int32_t m_nMixtures = 0;
    std::int32_t m_maxSkips = 0;
    std::int32_t m_modelID = 0;
    std::int32_t m_frequency = 0;
    std::int32_t m_windowShift = 0;
    std::int32_t m_windowLength = 0;
    float m_modelConst = 0.0f;
    TrainDate m_trainDate;
    bool m_loaded = false;
    std::string m_fileLabel;

    std::vector<float> m_trans, m_logTrans, m_weights, m_means, m_covars, m_invCovars, m_factors;
    CompiledModel m_compiled;
    std::uint64_t m_generation = 0;
};

}  // namespace talvor::hmmview

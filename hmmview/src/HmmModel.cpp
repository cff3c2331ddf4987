#include "hmmview/HmmModel.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>

#include "common/FileNames.h"
#include "common/NumberText.h"
#include "hmmview/DensityFloor.h"

#include "ComponentSums.h"

namespace talvor::hmmview {

namespace {

constexpr std::size_t kHeaderBytes = 52;

std::atomic<std::uint64_t> g_nextGeneration{1};

std::int32_t int16At(const std::string& bytes, std::size_t offset)
{
    const auto lo = static_cast<std::uint8_t>(bytes[offset]);
    const auto hi = static_cast<std::uint8_t>(bytes[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

float floatAt(const std::string& bytes, std::size_t offset)
{
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
    return std::bit_cast<float>(u);
}

// The name rule: the file-name part in lower case, cut before its first
// ".mod", then ".mod" appended.  Folders keep their spelling.
std::string modFileName(std::string_view given)
{
    std::string path = normalizeSeparators(given);
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = path.substr(nameStart);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const std::size_t cut = name.find(".mod");
    if (cut != std::string::npos)
        name.erase(cut);
    name += ".mod";
    return path.substr(0, nameStart) + name;
}

bool validDate(std::int32_t year, std::int32_t month, std::int32_t day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    const std::chrono::year_month_day ymd{std::chrono::year{year},
                                          std::chrono::month{static_cast<unsigned>(month)},
                                          std::chrono::day{static_cast<unsigned>(day)}};
    return ymd.ok();
}

// Reads `count` floats from `offset`; false on the first value that breaks the rule.
bool readTable(const std::string& bytes, std::size_t offset, std::size_t count, bool mayBeNegative,
               std::vector<float>* out)
{
    out->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float v = floatAt(bytes, offset + 4 * i);
        if (!std::isfinite(v) || (!mayBeNegative && v < 0.0f))
            return false;
        (*out)[i] = v;
    }
    return true;
}

}  // namespace

HmmModel::HmmModel()
    : m_small(1e-30f)
    , m_big(1.0f / m_small)
{
}

ModLoadReport HmmModel::LoadMOD(std::string& fileName)
{
    ModLoadReport report;
    fileName = modFileName(fileName);
    m_fileLabel = fileName;

    std::string path;
    std::string bytes;
    if (!findFileName(fileName, &path) || !readFileWhole(path, &bytes)) {
        report.error = "Cannot open model file " + fileName;
        return report;
    }
    report.opened = true;
    const ModLoadReport parsed = LoadModBytes(bytes, fileName);
    report.loaded = parsed.loaded;
    report.error = parsed.error;
    report.warnings = parsed.warnings;
    return report;
}

ModLoadReport HmmModel::LoadModBytes(const std::string& bytes, const std::string& fileName)
{
    ModLoadReport report;
    report.opened = true;
    if (bytes.size() < kHeaderBytes) {
        report.error = "Model file " + fileName + " is shorter than its header (" +
                       numberText(static_cast<std::int32_t>(bytes.size())) + " bytes)";
        return report;
    }
    const std::int32_t F = int16At(bytes, 24);
    const std::int32_t S = int16At(bytes, 26);
    const std::int32_t M = int16At(bytes, 28);
    if (F < 1 || S < 1 || M < 1) {
        report.error = "Model file " + fileName + " announces " + numberText(S) + " states, " +
                       numberText(M) + " mixtures and " + numberText(F) +
                       " features; each must be at least 1";
        return report;
    }
    const std::uint64_t s = static_cast<std::uint64_t>(S);
    const std::uint64_t m = static_cast<std::uint64_t>(M);
    const std::uint64_t f = static_cast<std::uint64_t>(F);
    const std::uint64_t expected = kHeaderBytes + 4 * (s * s + s * m + 2 * s * m * f);
    if (bytes.size() != expected) {
        report.error = "Model file " + fileName + " holds " + std::to_string(bytes.size()) +
                       " bytes; its header announces " + std::to_string(expected);
        return report;
    }
    const float modelConst = floatAt(bytes, 48);
    if (!std::isfinite(modelConst) || modelConst < 0.0f) {
        report.error = "Model file " + fileName + " has an invalid model constant";
        return report;
    }

    std::vector<float> trans, weights, means, covars;
    std::size_t offset = kHeaderBytes;
    const std::size_t nTrans = static_cast<std::size_t>(s * s);
    const std::size_t nWeights = static_cast<std::size_t>(s * m);
    const std::size_t nGauss = static_cast<std::size_t>(s * m * f);
    bool ok = readTable(bytes, offset, nTrans, false, &trans);
    offset += 4 * nTrans;
    ok = ok && readTable(bytes, offset, nWeights, false, &weights);
    offset += 4 * nWeights;
    ok = ok && readTable(bytes, offset, nGauss, true, &means);
    offset += 4 * nGauss;
    ok = ok && readTable(bytes, offset, nGauss, false, &covars);
    if (!ok) {
        report.error = "Model file " + fileName +
                       " holds a negative or non-finite probability, weight, mean or variance";
        return report;
    }

    // Derived tables: zero until a model of at least 3 states is loaded.
    std::vector<float> logTrans(nTrans, 0.0f), invCovars(nGauss, 0.0f), factors(nWeights, 0.0f);
    const bool complete = S >= 3;
    std::size_t zeroVariances = 0;
    if (complete) {
        for (std::int32_t st = 0; st < S; ++st) {
            for (std::int32_t mx = 0; mx < M; ++mx) {
                const std::size_t base = static_cast<std::size_t>(F) * (mx + static_cast<std::size_t>(M) * st);
                double p = 1.0;
                for (std::int32_t ft = 0; ft < F; ++ft)
                    p = p * covars[base + ft];
                p = p + 1e-30;
                const float factor = static_cast<float>(modelConst / std::sqrt(p));
                if (!std::isfinite(factor)) {
                    report.error = "Model file " + fileName +
                                   " gives a Gaussian factor too large for a 32-bit float";
                    return report;
                }
                factors[static_cast<std::size_t>(mx) + static_cast<std::size_t>(M) * st] = factor;
                for (std::int32_t ft = 0; ft < F; ++ft) {
                    const float v = covars[base + ft];
                    if (v == 0.0f) {
                        // No inverse: the feature does not count in the density.
                        ++zeroVariances;
                        continue;
                    }
                    const float inv = 1.0f / v;
                    if (!std::isfinite(inv)) {
                        report.error = "Model file " + fileName + " has a variance too small to invert";
                        return report;
                    }
                    invCovars[base + ft] = inv;
                }
            }
            for (std::int32_t i = 0; i < S; ++i) {
                const std::size_t at = static_cast<std::size_t>(i) + static_cast<std::size_t>(S) * st;
                logTrans[at] = static_cast<float>(std::log(static_cast<double>(trans[at]) + 1e-30));
            }
        }
    }

    // Everything checked: the file replaces the model.
    const char* nameField = bytes.data();
    m_word.assign(nameField, strnlen(nameField, 16));
    m_modelID = int16At(bytes, 16);
    m_frequency = int16At(bytes, 18);
    m_windowLength = int16At(bytes, 20);
    m_windowShift = int16At(bytes, 22);
    m_nParams = F;
    m_nStates = S;
    m_nMixtures = M;
    m_maxSkips = int16At(bytes, 30);
    const std::int32_t year = int16At(bytes, 42);
    const std::int32_t month = int16At(bytes, 44);
    const std::int32_t day = int16At(bytes, 46);
    if (validDate(year, month, day))
        m_trainDate = TrainDate{year, month, day};
    m_modelConst = modelConst;
    m_trans = std::move(trans);
    m_weights = std::move(weights);
    m_means = std::move(means);
    m_covars = std::move(covars);
    m_logTrans = std::move(logTrans);
    m_invCovars = std::move(invCovars);
    m_factors = std::move(factors);
    m_loaded = complete;
    m_generation = g_nextGeneration.fetch_add(1);

    m_compiled = CompiledModel{};
    if (complete) {
        const std::size_t C = nWeights;
        const std::size_t stride = (C + kComponentLanes - 1) / kComponentLanes * kComponentLanes;
        m_compiled.components = static_cast<std::int32_t>(C);
        m_compiled.stride = static_cast<std::int32_t>(stride);
        m_compiled.means.assign(stride * f, 0.0f);
        m_compiled.invCovars.assign(stride * f, 0.0f);
        for (std::size_t c = 0; c < C; ++c)
            for (std::size_t ft = 0; ft < f; ++ft) {
                m_compiled.means[ft * stride + c] = m_means[c * f + ft];
                m_compiled.invCovars[ft * stride + c] = m_invCovars[c * f + ft];
            }
        m_compiled.factors = m_factors;
        m_compiled.weights = m_weights;
        m_compiled.floorFrom.assign(stride, 0.0f);
        for (std::size_t c = 0; c < C; ++c)
            m_compiled.floorFrom[c] = floorSumThreshold(m_factors[c]);
        // The observation score of a state whose every component is at the
        // floor: the same steps as for any frame, so the same bits.
        const float floor = densityFloor();
        m_compiled.floorScores.resize(static_cast<std::size_t>(S));
        for (std::size_t st = 0; st < static_cast<std::size_t>(S); ++st) {
            float acc = m_small;
            for (std::size_t mx = 0; mx < static_cast<std::size_t>(M); ++mx)
                acc = m_weights[st * static_cast<std::size_t>(M) + mx] * floor + acc;
            m_compiled.floorScores[st] = static_cast<float>(std::log(static_cast<double>(acc)));
        }
    }

    if (!complete) {
        report.error = "Model file " + fileName + " has " + numberText(S) +
                       " states; a model needs at least 3";
        return report;
    }
    if (zeroVariances > 0)
        report.warnings.push_back("Model file " + fileName + ": " + std::to_string(zeroVariances) +
                                  " zero variances; those features do not count in the density");
    report.loaded = true;
    return report;
}

float HmmModel::GetModelTrans(std::int32_t& state1, std::int32_t& state2) const
{
    if (state1 >= m_nStates)
        state1 = m_nStates - 1;
    if (state1 < 0)
        state1 = 0;
    if (state2 >= m_nStates)
        state2 = m_nStates - 1;
    if (state2 < 0 || m_nStates < 1)
        return 0.0f;
    return m_logTrans[static_cast<std::size_t>(state1) + static_cast<std::size_t>(m_nStates) * state2];
}

float HmmModel::GetModelWeight(std::int32_t& mixture, std::int32_t& state) const
{
    if (state >= m_nStates)
        state = m_nStates - 1;
    if (state < 0)
        state = 0;
    if (mixture >= m_nMixtures)
        mixture = m_nMixtures - 1;
    if (mixture < 0)
        mixture = 0;
    if (m_nStates < 1 || m_nMixtures < 1)
        return 0.0f;
    return m_weights[static_cast<std::size_t>(mixture) + static_cast<std::size_t>(m_nMixtures) * state];
}

float HmmModel::density_function(std::int32_t state, std::int32_t m, std::span<const float> vector,
                                 std::int32_t frame) const
{
    const std::int32_t F = m_nParams;
    if (state < 0 || state >= m_nStates || m < 0 || m >= m_nMixtures || frame < 0 ||
        static_cast<std::uint64_t>(F) * (static_cast<std::uint64_t>(frame) + 1) > vector.size())
        return static_cast<float>(0.0 * 0.0 + 1e-30);
    const std::size_t c = static_cast<std::size_t>(m) + static_cast<std::size_t>(m_nMixtures) * state;
    const float* x = vector.data() + static_cast<std::size_t>(F) * frame;
    const float* mean = m_means.data() + c * F;
    const float* inv = m_invCovars.data() + c * F;
    float sum = 0.0f;
    for (std::int32_t f = 0; f < F; ++f) {
        // A zero variance has no inverse (0 here): the feature does not count,
        // even where d * d is infinite (0 * inf would be NaN).
        if (inv[f] == 0.0f)
            continue;
        const float d = x[f] - mean[f];
        sum = sum + d * d * inv[f];
    }
    return static_cast<float>(static_cast<double>(m_factors[c]) * std::exp(static_cast<double>(sum) / -2.0) +
                              1e-30);
}

}  // namespace talvor::hmmview

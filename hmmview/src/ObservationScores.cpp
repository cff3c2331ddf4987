#include "hmmview/ObservationScores.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <vector>

#include "hmmview/DensityFloor.h"
#include "hmmview/HmmModel.h"

#include "ComponentSums.h"

namespace talvor::hmmview {

namespace {
constexpr void (*kComponentSums[4])(const float*, std::size_t, std::size_t, const float*, const float*,
                                    const float*, std::size_t, float*,
                                    std::uint64_t*) = TALVOR_ISA_TABLE(componentSums);

// The level the component sums run at on this machine: timed once at their
// first use on 64 frames of 18 features against 32 components (8 states of
// 4 mixtures).
isa::Level probeLevel()
{
    constexpr std::size_t kFeatures = 18, kStride = 32, kFrames = 64;
    std::vector<float> x(kFrames * kFeatures), means(kFeatures * kStride), inv(kFeatures * kStride),
        floorFrom(kStride, 400.0f), sums(kFramesAtOnce * kStride);
    std::vector<std::uint64_t> live(kFramesAtOnce * liveWords(kStride));
    std::uint32_t r = 99;
    for (float& v : x)
        v = 2.0f * isa::probeValue(&r);
    for (float& v : means)
        v = 2.0f * isa::probeValue(&r);
    for (float& v : inv)
        v = 1.0f + isa::probeValue(&r);
    return isa::choosePathLevel([&](isa::Level level) {
        for (std::size_t t = 0; t < kFrames; t += kFramesAtOnce)
            kComponentSums[int(level)](x.data() + t * kFeatures, kFramesAtOnce, kFeatures, means.data(), inv.data(),
                                       floorFrom.data(), kStride, sums.data(), live.data());
    });
}

isa::Level chosenLevel()
{
    static const isa::Level level = probeLevel();
    return level;
}
}  // namespace

int componentSumsLevel()
{
    return int(chosenLevel());
}

TrellisObserver::~TrellisObserver() = default;
void TrellisObserver::layoutPane(int, int, int, bool) {}
void TrellisObserver::statePath(int, int, int, int) {}
void TrellisObserver::localBest(int, int, int) {}
void TrellisObserver::frameBest(int, int, int) {}
void TrellisObserver::bestPath(int, int, int) {}
void TrellisObserver::orderScore(int, const std::string&, const std::string&) {}
void TrellisObserver::wordEnd(int, int, int) {}
bool TrellisObserver::step() { return false; }

ObservationScores::ObservationScores(const PackedWord& word)
    : m_word(word)
{
}

ObservationScores::~ObservationScores() = default;

ObservationScores::ModelScores& ObservationScores::forModel(const HmmModel& model)
{
    assert(model.modelLoaded() && model.nParams() == m_word.features && m_word.complete());
    for (auto& entry : m_models)
        if (entry->m_model == &model) {
            if (entry->m_generation != model.generation()) {
                // The model was loaded again since: its scores are stale.
                entry->m_generation = model.generation();
                entry->m_scores.assign(static_cast<std::size_t>(m_word.frames) * model.nStates(), 0.0f);
                entry->m_done.assign(static_cast<std::size_t>(m_word.frames), 0);
                entry->m_sums.assign(kFramesAtOnce * static_cast<std::size_t>(model.compiled().stride), 0.0f);
                entry->m_live.assign(kFramesAtOnce * liveWords(static_cast<std::size_t>(model.compiled().stride)), 0);
            }
            return *entry;
        }
    auto entry = std::make_unique<ModelScores>();
    entry->m_model = &model;
    entry->m_generation = model.generation();
    entry->m_word = &m_word;
    entry->m_scores.assign(static_cast<std::size_t>(m_word.frames) * model.nStates(), 0.0f);
    entry->m_done.assign(static_cast<std::size_t>(m_word.frames), 0);
    entry->m_sums.assign(kFramesAtOnce * static_cast<std::size_t>(model.compiled().stride), 0.0f);
    entry->m_live.assign(kFramesAtOnce * liveWords(static_cast<std::size_t>(model.compiled().stride)), 0);
    m_models.push_back(std::move(entry));
    return *m_models.back();
}

const float* ObservationScores::ModelScores::frame(std::int32_t t)
{
    const HmmModel& model = *m_model;
    const std::size_t S = static_cast<std::size_t>(model.nStates());
    const std::size_t T = m_done.size();
    float* const scores = m_scores.data();
    if (m_done[static_cast<std::size_t>(t)])
        return scores + static_cast<std::size_t>(t) * S;

    const CompiledModel& cm = model.compiled();
    const std::size_t F = static_cast<std::size_t>(model.nParams());
    const std::size_t M = static_cast<std::size_t>(model.nMixtures());
    const std::size_t stride = static_cast<std::size_t>(cm.stride);
    const std::size_t words = liveWords(stride);

    // This frame and the next few not yet scored (decoders ask frame after
    // frame): their component sums together, feature by feature in order for
    // each (the same steps as density_function), and which components are
    // below their floor threshold.
    const std::size_t first = static_cast<std::size_t>(t);
    std::size_t count = 1;
    while (count < kFramesAtOnce && first + count < T && !m_done[first + count])
        ++count;
    isa::select(kComponentSums, chosenLevel())(m_word->values.data() + first * F, count, F, cm.means.data(),
                                               cm.invCovars.data(), cm.floorFrom.data(), stride, m_sums.data(),
                                               m_live.data());

    const float small = model.mySMALLFLOAT();
    const float floor = densityFloor();
    for (std::size_t k = 0; k < count; ++k) {
        const float* sums = m_sums.data() + k * stride;
        const std::uint64_t* live = m_live.data() + k * words;
        float* out = scores + (first + k) * S;
        // A state whose every component is at the floor scores what the
        // model keeps for it; the others are computed in full, exp only for
        // components below their threshold (the bound of DensityFloor.cpp:
        // at or beyond it the density is exactly the floor).
        std::copy(cm.floorScores.begin(), cm.floorScores.end(), out);
        std::size_t lastState = S;
        for (std::size_t w = 0; w < words; ++w)
            for (std::uint64_t bits = live[w]; bits != 0; bits &= bits - 1) {
                const std::size_t s = (w * 64 + static_cast<std::size_t>(std::countr_zero(bits))) / M;
                if (s == lastState)
                    continue;
                lastState = s;
                float acc = small;
                for (std::size_t m = 0; m < M; ++m) {
                    const std::size_t c = s * M + m;
                    const float density =
                        sums[c] >= cm.floorFrom[c]
                            ? floor
                            : static_cast<float>(static_cast<double>(cm.factors[c]) *
                                                     std::exp(static_cast<double>(sums[c]) / -2.0) +
                                                 1e-30);
                    acc = cm.weights[c] * density + acc;
                }
                out[s] = static_cast<float>(std::log(static_cast<double>(acc)));
            }
        m_done[first + k] = 1;
    }
    return scores + first * S;
}

}  // namespace talvor::hmmview

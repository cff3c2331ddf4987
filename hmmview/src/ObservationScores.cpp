#include "hmmview/ObservationScores.h"

#include <cassert>
#include <cmath>

#include "hmmview/DensityFloor.h"
#include "hmmview/HmmModel.h"

#include "ComponentSums.h"

namespace talvor::hmmview {

namespace {
constexpr void (*kComponentSums[4])(const float*, std::size_t, const float*, const float*, std::size_t,
                                    float*) = TALVOR_ISA_TABLE(componentSums);
}  // namespace

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
                entry->m_sums.assign(static_cast<std::size_t>(model.compiled().stride), 0.0f);
            }
            return *entry;
        }
    auto entry = std::make_unique<ModelScores>();
    entry->m_model = &model;
    entry->m_generation = model.generation();
    entry->m_word = &m_word;
    entry->m_scores.assign(static_cast<std::size_t>(m_word.frames) * model.nStates(), 0.0f);
    entry->m_done.assign(static_cast<std::size_t>(m_word.frames), 0);
    entry->m_sums.assign(static_cast<std::size_t>(model.compiled().stride), 0.0f);
    m_models.push_back(std::move(entry));
    return *m_models.back();
}

const float* ObservationScores::ModelScores::frame(std::int32_t t)
{
    const HmmModel& model = *m_model;
    const std::size_t S = static_cast<std::size_t>(model.nStates());
    float* out = m_scores.data() + static_cast<std::size_t>(t) * S;
    if (m_done[static_cast<std::size_t>(t)])
        return out;

    const CompiledModel& cm = model.compiled();
    const std::size_t F = static_cast<std::size_t>(model.nParams());
    const std::size_t M = static_cast<std::size_t>(model.nMixtures());
    const float* x = m_word->values.data() + static_cast<std::size_t>(t) * F;
    float* sums = m_sums.data();

    // sum(c) := sum(c) + d * d / var, feature by feature in order, for all
    // components side by side (the same steps as density_function).
    isa::select(kComponentSums)(x, F, cm.means.data(), cm.invCovars.data(), static_cast<std::size_t>(cm.stride),
                                sums);

    const float small = model.mySMALLFLOAT();
    const float floor = densityFloor();
    const float* floorFrom = cm.floorFrom.data();
    for (std::size_t s = 0; s < S; ++s) {
        const std::size_t first = s * M;
        bool allFloor = true;
        for (std::size_t m = 0; m < M; ++m)
            allFloor = allFloor && sums[first + m] >= floorFrom[first + m];
        if (allFloor) {
            out[s] = cm.floorScores[s];
            continue;
        }
        float acc = small;
        for (std::size_t m = 0; m < M; ++m) {
            const std::size_t c = first + m;
            // At or beyond floorFrom the density is exactly the floor (the
            // bound of DensityFloor.cpp); exp decides the rest.
            const float density =
                sums[c] >= floorFrom[c]
                    ? floor
                    : static_cast<float>(static_cast<double>(cm.factors[c]) *
                                             std::exp(static_cast<double>(sums[c]) / -2.0) +
                                         1e-30);
            acc = cm.weights[c] * density + acc;
        }
        out[s] = static_cast<float>(std::log(static_cast<double>(acc)));
    }
    m_done[static_cast<std::size_t>(t)] = 1;
    return out;
}

}  // namespace talvor::hmmview

#include "hmmview/ObservationScores.h"

#include <cassert>
#include <cmath>

#include "hmmview/HmmModel.h"

namespace talvor::hmmview {

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
                entry->m_sums.assign(static_cast<std::size_t>(model.compiled().components), 0.0f);
            }
            return *entry;
        }
    auto entry = std::make_unique<ModelScores>();
    entry->m_model = &model;
    entry->m_generation = model.generation();
    entry->m_word = &m_word;
    entry->m_scores.assign(static_cast<std::size_t>(m_word.frames) * model.nStates(), 0.0f);
    entry->m_done.assign(static_cast<std::size_t>(m_word.frames), 0);
    entry->m_sums.assign(static_cast<std::size_t>(model.compiled().components), 0.0f);
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
    const std::size_t C = static_cast<std::size_t>(cm.components);
    const std::size_t F = static_cast<std::size_t>(model.nParams());
    const std::size_t M = static_cast<std::size_t>(model.nMixtures());
    const float* x = m_word->values.data() + static_cast<std::size_t>(t) * F;
    float* __restrict sums = m_sums.data();

    // sum(c) := sum(c) + d * d / var, feature by feature in order, for all
    // components side by side (the same steps as density_function).
    for (std::size_t c = 0; c < C; ++c)
        sums[c] = 0.0f;
    for (std::size_t f = 0; f < F; ++f) {
        const float xf = x[f];
        const float* __restrict mean = cm.means.data() + f * C;
        const float* __restrict inv = cm.invCovars.data() + f * C;
        for (std::size_t c = 0; c < C; ++c) {
            // A zero inverse (zero variance) adds nothing, even to an
            // infinite d * d: a select, so the loop stays vectorised.
            const float d = xf - mean[c];
            const float term = d * d * inv[c];
            sums[c] = sums[c] + (inv[c] == 0.0f ? 0.0f : term);
        }
    }

    const float small = model.mySMALLFLOAT();
    for (std::size_t s = 0; s < S; ++s) {
        float acc = small;
        for (std::size_t m = 0; m < M; ++m) {
            const std::size_t c = s * M + m;
            const float density = static_cast<float>(
                static_cast<double>(cm.factors[c]) * std::exp(static_cast<double>(sums[c]) / -2.0) + 1e-30);
            acc = cm.weights[c] * density + acc;
        }
        out[s] = static_cast<float>(std::log(static_cast<double>(acc)));
    }
    m_done[static_cast<std::size_t>(t)] = 1;
    return out;
}

}  // namespace talvor::hmmview

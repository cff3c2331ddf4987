#include "statwalk/Scoring.h"

#include <cmath>

namespace talvor::statwalk {

ScoringModel::ScoringModel(const HmmParameters& model, float modelConst)
    : m_S(model.states), m_M(model.mixtures), m_F(model.features)
{
    const auto S = static_cast<std::size_t>(m_S), M = static_cast<std::size_t>(m_M),
               F = static_cast<std::size_t>(m_F);
    m_logTrans.assign(S * S, 0.0f);
    for (std::size_t from = 0; from < S; ++from)
        for (std::size_t to = 0; to < S; ++to)
            m_logTrans[to + S * from] =
                static_cast<float>(std::log(static_cast<double>(model.trans[from * S + to]) + 1e-30));
    m_weights = model.weights;
    m_means = model.means;
    m_invVars.assign(S * M * F, 0.0f);
    m_factors.assign(S * M, 0.0f);
    for (std::size_t c = 0; c < S * M; ++c) {
        double p = 1.0;
        for (std::size_t f = 0; f < F; ++f)
            p = p * model.vars[c * F + f];
        p = p + 1e-30;
        m_factors[c] = static_cast<float>(modelConst / std::sqrt(p));
        for (std::size_t f = 0; f < F; ++f) {
            const float v = model.vars[c * F + f];
            if (v != 0.0f)
                m_invVars[c * F + f] = 1.0f / v;
        }
    }
}

float ScoringModel::observation(std::int32_t state, const float* frame) const
{
    const auto M = static_cast<std::size_t>(m_M), F = static_cast<std::size_t>(m_F);
    float acc = 1e-30f;
    for (std::size_t m = 0; m < M; ++m) {
        const std::size_t c = static_cast<std::size_t>(state) * M + m;
        const float* mean = m_means.data() + c * F;
        const float* inv = m_invVars.data() + c * F;
        float sum = 0.0f;
        for (std::size_t f = 0; f < F; ++f) {
            const float d = frame[f] - mean[f];
            sum = sum + d * d * inv[f];
        }
        const float density = static_cast<float>(
            static_cast<double>(m_factors[c]) * std::exp(static_cast<double>(sum) / -2.0) + 1e-30);
        acc = m_weights[c] * density + acc;
    }
    return static_cast<float>(std::log(static_cast<double>(acc)));
}

ScoringModel::Alignment ScoringModel::align(std::span<const float> values, std::int32_t frames) const
{
    Alignment out;
    const auto S = static_cast<std::size_t>(m_S), F = static_cast<std::size_t>(m_F);
    if (frames < 1 || S < 1 || static_cast<std::size_t>(frames) * F > values.size())
        return out;
    const auto T = static_cast<std::size_t>(frames);
    std::vector<float> delta(S, kMinusInfinity), previous(S, kMinusInfinity);
    std::vector<std::int32_t> back(S * T, 0);  // [t * S + j]
    delta[0] = observation(0, values.data());
    for (std::size_t t = 1; t < T; ++t) {
        previous = delta;
        const float* x = values.data() + t * F;
        for (std::size_t j = 0; j < S; ++j) {
            float d = kMinusInfinity;
            std::int32_t from = static_cast<std::int32_t>(j);
            for (std::size_t i = j > 0 ? j - 1 : 0; i <= j; ++i) {
                const float candidate = m_logTrans[j + S * i] + previous[i];
                if (candidate > d) {
                    d = candidate;
                    from = static_cast<std::int32_t>(i);
                }
            }
            delta[j] = d + observation(static_cast<std::int32_t>(j), x);
            back[t * S + j] = from;
        }
    }
    out.score = delta[S - 1];
    if (T < S)
        return out;  // the last state is out of reach: no path
    out.states.assign(T, 0);
    std::int32_t j = m_S - 1;
    for (std::size_t t = T; t-- > 0;) {
        out.states[t] = j;
        if (t > 0)
            j = back[t * S + static_cast<std::size_t>(j)];
    }
    return out;
}

}  // namespace talvor::statwalk

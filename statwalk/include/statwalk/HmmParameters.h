#pragma once
// A left-to-right continuous-density HMM as the trainer builds it and the
// model file stores it: S states, M Gaussian mixtures per state, F features,
// diagonal covariances.  The tables are laid out as in the model file:
//   trans[i * S + j]             probability of going from state i to state j
//   weights[s * M + m]           mixture weights of each state
//   means/vars[(s * M + m) * F + f]

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvor::statwalk {

struct HmmParameters {
    std::int32_t states = 0;    // S
    std::int32_t mixtures = 0;  // M
    std::int32_t features = 0;  // F
    std::vector<float> trans;
    std::vector<float> weights;
    std::vector<float> means;
    std::vector<float> vars;

    // All tables sized for S, M and F, zero.
    static HmmParameters sized(std::int32_t S, std::int32_t M, std::int32_t F);
    // True when every table has the size S, M and F ask for (and they are positive).
    bool consistent() const;

    float& transition(std::int32_t from, std::int32_t to) { return trans[index(from) * S() + index(to)]; }
    float transition(std::int32_t from, std::int32_t to) const { return trans[index(from) * S() + index(to)]; }
    float& weight(std::int32_t s, std::int32_t m) { return weights[index(s) * M() + index(m)]; }
    float weight(std::int32_t s, std::int32_t m) const { return weights[index(s) * M() + index(m)]; }
    float& mean(std::int32_t s, std::int32_t m, std::int32_t f) { return means[gauss(s, m, f)]; }
    float mean(std::int32_t s, std::int32_t m, std::int32_t f) const { return means[gauss(s, m, f)]; }
    float& var(std::int32_t s, std::int32_t m, std::int32_t f) { return vars[gauss(s, m, f)]; }
    float var(std::int32_t s, std::int32_t m, std::int32_t f) const { return vars[gauss(s, m, f)]; }

private:
    static std::size_t index(std::int32_t i) { return static_cast<std::size_t>(i); }
    std::size_t S() const { return index(states); }
    std::size_t M() const { return index(mixtures); }
    std::size_t gauss(std::int32_t s, std::int32_t m, std::int32_t f) const
    {
        return (index(s) * M() + index(m)) * index(features) + index(f);
    }
};

// The model constant that makes the model file's density
//   modelConst * exp(-1/2 sum (x - mean)^2 / var) / sqrt(prod var + 1e-30)
// the normalised Gaussian: (2 pi)^(-F/2).
float gaussianConstant(std::int32_t features);

}  // namespace talvor::statwalk

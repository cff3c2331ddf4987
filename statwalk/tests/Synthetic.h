#pragma once
// Utterances drawn from known left-to-right models, for the trainer's tests.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "statwalk/HmmParameters.h"

namespace talvor::statwalk::test {

// A left-to-right model with a stay probability per state and means drawn
// apart from each other; one mixture unless filled in by the caller.
inline HmmParameters knownModel(std::uint32_t seed, std::int32_t S, std::int32_t M, std::int32_t F, float stay = 0.7f,
                                float sd = 0.6f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> spread(-5.0f, 5.0f);
    HmmParameters p = HmmParameters::sized(S, M, F);
    for (std::int32_t s = 0; s < S; ++s) {
        if (s + 1 < S) {
            p.transition(s, s) = stay;
            p.transition(s, s + 1) = 1.0f - stay;
        } else {
            p.transition(s, s) = 1.0f;
        }
        for (std::int32_t m = 0; m < M; ++m) {
            p.weight(s, m) = 1.0f / static_cast<float>(M);
            for (std::int32_t f = 0; f < F; ++f) {
                p.mean(s, m, f) = spread(rng);
                p.var(s, m, f) = sd * sd;
            }
        }
    }
    return p;
}

// One utterance: the state path and the frames.  The last state is left with
// probability 1 - stay of the state before it, so utterances end.
struct Drawn {
    std::vector<std::int32_t> path;
    std::vector<float> values;
    std::int32_t frames() const { return static_cast<std::int32_t>(path.size()); }
};

inline Drawn draw(const HmmParameters& p, std::mt19937& rng)
{
    Drawn d;
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    std::normal_distribution<float> n(0.0f, 1.0f);
    std::int32_t s = 0;
    for (;;) {
        float r = u(rng);
        std::int32_t m = 0;
        while (m + 1 < p.mixtures && r > p.weight(s, m)) {
            r -= p.weight(s, m);
            ++m;
        }
        d.path.push_back(s);
        for (std::int32_t f = 0; f < p.features; ++f)
            d.values.push_back(p.mean(s, m, f) + std::sqrt(p.var(s, m, f)) * n(rng));
        const float stay = s + 1 < p.states ? p.transition(s, s) : (p.states > 1 ? p.transition(s - 1, s - 1) : 0.5f);
        if (u(rng) >= stay) {
            if (s + 1 == p.states)
                break;
            ++s;
        }
    }
    return d;
}

}  // namespace talvor::statwalk::test

#include <string>

#include "common/FileNames.h"
#include "common/WordSetFile.h"

namespace talvor::statwalk::test {

// Writes the word set `name` into `folder`: `perWord` rounds of one utterance
// of each label, each drawn from models[label].
inline bool writeDrawnSet(const std::string& folder, const std::string& name, const std::vector<HmmParameters>& models,
                          const std::vector<std::int32_t>& labels, int perWord, std::uint32_t seed,
                          std::string* error)
{
    std::mt19937 rng(seed);
    std::vector<WordSetEntry> words;
    std::vector<float> values;
    std::int32_t number = 0;
    for (int k = 0; k < perWord; ++k)
        for (std::int32_t label : labels) {
            const Drawn d = draw(models[static_cast<std::size_t>(label)], rng);
            words.push_back({number++, label, d.frames(), 0});
            values.insert(values.end(), d.values.begin(), d.values.end());
        }
    const std::int32_t F = models.front().features;
    return writeWordSet(joinPath(folder, name + ".LB"), joinPath(folder, name + ".PR"), words, F, values,
                        LabelFileSpacing::WordSet, error);
}

// The recorded token x.lb / x.pr: one utterance drawn from `model`.
inline bool writeDrawnToken(const std::string& folder, const HmmParameters& model, std::uint32_t seed,
                            std::string* error)
{
    std::mt19937 rng(seed);
    const Drawn d = draw(model, rng);
    const std::vector<WordSetEntry> token{{1, 0, d.frames(), 0}};
    return writeWordSet(joinPath(folder, "x.lb"), joinPath(folder, "x.pr"), token, model.features, d.values,
                        LabelFileSpacing::Token, error);
}

}  // namespace talvor::statwalk::test

#pragma once
// Models and spoken words for the HMM benchmarks: left-right models written as
// .mod files into a temporary folder and loaded, and words made by walking a
// model's states and drawing each frame around the state's means.

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hmmview/HmmModel.h"
#include "hmmview_testing/ModFile.h"

namespace talvor::bench {

class Lcg {
public:
    explicit Lcg(unsigned seed) : m_x(seed * 2654435761u + 1u) {}
    float uniform()  // [0, 1)
    {
        m_x = m_x * 1664525u + 1013904223u;
        return static_cast<float>(m_x >> 8) / static_cast<float>(1u << 24);
    }
    float normal()
    {
        float s = 0;
        for (int i = 0; i < 12; ++i)
            s += uniform();
        return s - 6.0f;
    }

private:
    unsigned m_x;
};

struct HmmWorkload {
    int states, mixtures, features;
    std::vector<hmmview::testing::ModSpec> specs;
    std::vector<std::unique_ptr<hmmview::HmmModel>> models;
    std::vector<const hmmview::HmmModel*> panes;

    HmmWorkload(int modelCount, int S, int M, int F, unsigned seed)
        : states(S), mixtures(M), features(F)
    {
        Lcg rng(seed);
        std::string tmpl = (std::filesystem::temp_directory_path() / "talvor-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        for (int k = 0; k < modelCount; ++k) {
            auto modSpec = hmmview::testing::ModSpec::leftRight("word" + std::to_string(k), S, M, F, 0.6f);
            for (int i = 0; i < S; ++i) {
                const float stay = 0.5f + 0.4f * rng.uniform();
                modSpec.trans[static_cast<std::size_t>(i * S + i)] = stay;
                if (i + 1 < S)
                    modSpec.trans[static_cast<std::size_t>(i * S + i + 1)] = 1.0f - stay;
                float total = 0;
                for (int m = 0; m < M; ++m)
                    total += (modSpec.weights[static_cast<std::size_t>(i * M + m)] = 0.2f + rng.uniform());
                for (int m = 0; m < M; ++m)
                    modSpec.weights[static_cast<std::size_t>(i * M + m)] /= total;
            }
            for (float& v : modSpec.means)
                v = 3.0f * rng.normal();
            for (float& v : modSpec.vars)
                v = 0.5f + 1.5f * rng.uniform();
            modSpec.modelConst = static_cast<float>(std::pow(2.0 * 3.14159265358979, -F / 2.0));
            std::string path = tmpl + "/" + modSpec.word + ".mod";
            hmmview::testing::writeMod(path, modSpec);
            auto model = std::make_unique<hmmview::HmmModel>();
            if (!model->LoadMOD(path).loaded) {
                std::fprintf(stderr, "cannot load %s\n", path.c_str());
                std::exit(1);
            }
            specs.push_back(modSpec);
            panes.push_back(model.get());
            models.push_back(std::move(model));
        }
        std::filesystem::remove_all(tmpl);
    }

    // Appends about `frames` frames of model k spoken: every state in turn
    // for a share of the frames, each frame drawn around one mixture's means.
    void say(int k, int frames, Lcg& rng, std::vector<float>* out) const
    {
        const auto& modSpec = specs[static_cast<std::size_t>(k)];
        for (int t = 0; t < frames; ++t) {
            const int s = std::min(states - 1, t * states / frames);
            const int m = static_cast<int>(rng.uniform() * static_cast<float>(mixtures)) % mixtures;
            for (int f = 0; f < features; ++f) {
                const std::size_t at = static_cast<std::size_t>((s * mixtures + m) * features + f);
                out->push_back(modSpec.means[at] + std::sqrt(modSpec.vars[at]) * rng.normal());
            }
        }
    }
};

}  // namespace talvor::bench

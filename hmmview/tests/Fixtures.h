#pragma once
// Small hand-made models written into a temporary folder and loaded.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "hmmview/HmmModel.h"
#include "hmmview/Trellis.h"
#include "hmmview_testing/ModFile.h"
#include "testing/TempDir.h"

namespace talvor::hmmview::testing {

// 3 states, 1 mixture, 1 feature, means 0, 1, 2, variances 1, every
// transition 0.5: a frame on a state's mean scores ln(1) = 0 there.
inline ModSpec ramp(std::string word = "ramp", float m0 = 0.0f, float m1 = 1.0f, float m2 = 2.0f)
{
    ModSpec m = ModSpec::leftRight(std::move(word), 3, 1, 1, 0.5f);
    m.mean(0, 0, 0) = m0;
    m.mean(1, 0, 0) = m1;
    m.mean(2, 0, 0) = m2;
    return m;
}

class ModelDir {
public:
    std::string write(const std::string& file, const ModSpec& modSpec)
    {
        const std::string path = m_dir.path() + "/" + file;
        EXPECT_TRUE(writeMod(path, modSpec));
        return path;
    }
    std::unique_ptr<HmmModel> load(const ModSpec& modSpec)
    {
        std::string path = write(modSpec.word + std::to_string(m_count++) + ".mod", modSpec);
        auto model = std::make_unique<HmmModel>();
        const ModLoadReport report = model->LoadMOD(path);
        EXPECT_TRUE(report.loaded) << report.error;
        return model;
    }
    const std::string& path() const { return m_dir.path(); }

private:
    talvor::test::TempDir m_dir;
    int m_count = 0;
};

inline PackedWord packed(const std::vector<float>& values, int features = 1)
{
    return PackedWord{values, static_cast<std::int32_t>(values.size() / static_cast<std::size_t>(features)),
                      features};
}

// ln(p + 1e-30) as the model stores it.
inline float logProb(double p) { return static_cast<float>(std::log(p + 1e-30)); }

}  // namespace talvor::hmmview::testing

namespace talvor::hmmview::testing {

// Records every call of the decoders, one line each, and answers the steps.
class RecordingObserver : public TrellisObserver {
public:
    struct Cell {
        int pane, frame, row;
        bool operator==(const Cell&) const = default;
    };
    struct Link {
        int pane, frame, row, fromRow;
        bool operator==(const Link&) const = default;
    };
    struct Labels {
        int pane;
        std::string order, score;
    };
    std::vector<std::array<int, 4>> layouts;  // pane, frames, rows, entryRow
    std::vector<Link> links;
    std::vector<Cell> localBests, frameBests, path;
    std::vector<Labels> labels;
    std::vector<std::array<int, 3>> wordEnds;
    int steps = 0;
    int stopAtStep = -1;  // the step (1-based) that answers "stop"

    void layoutPane(int pane, int frames, int rows, bool entryRow) override
    {
        layouts.push_back({pane, frames, rows, entryRow ? 1 : 0});
    }
    void statePath(int pane, int frame, int row, int fromRow) override { links.push_back({pane, frame, row, fromRow}); }
    void localBest(int pane, int frame, int row) override { localBests.push_back({pane, frame, row}); }
    void frameBest(int pane, int frame, int row) override { frameBests.push_back({pane, frame, row}); }
    void bestPath(int pane, int frame, int row) override { path.push_back({pane, frame, row}); }
    void orderScore(int pane, const std::string& order, const std::string& score) override
    {
        labels.push_back({pane, order, score});
    }
    void wordEnd(int frame, int pane, int entryFrame) override { wordEnds.push_back({frame, pane, entryFrame}); }
    bool step() override { return ++steps == stopAtStep; }

    std::vector<Cell> pathOf(int pane) const
    {
        std::vector<Cell> out;
        for (const Cell& c : path)
            if (c.pane == pane)
                out.push_back(c);
        return out;
    }
    // The last labels a pane got.
    const Labels* lastLabels(int pane) const
    {
        for (auto it = labels.rbegin(); it != labels.rend(); ++it)
            if (it->pane == pane)
                return &*it;
        return nullptr;
    }
};

// A random model of S states, M mixtures and F features (left-right, random
// means, variances and weights), reproducible from `seed`.
inline ModSpec randomModel(const std::string& word, int S, int M, int F, unsigned seed)
{
    ModSpec m = ModSpec::leftRight(word, S, M, F, 0.5f);
    unsigned x = seed * 2654435761u + 12345u;
    auto next = [&x]() {
        x = x * 1664525u + 1013904223u;
        return static_cast<float>(x >> 8) / static_cast<float>(1u << 24);
    };
    for (int i = 0; i < S; ++i) {
        const float stay = 0.3f + 0.6f * next();
        m.trans[static_cast<std::size_t>(i * S + i)] = stay;
        if (i + 1 < S)
            m.trans[static_cast<std::size_t>(i * S + i + 1)] = 1.0f - stay;
        float total = 0.0f;
        for (int k = 0; k < M; ++k)
            total += (m.weights[static_cast<std::size_t>(i * M + k)] = 0.1f + next());
        for (int k = 0; k < M; ++k)
            m.weights[static_cast<std::size_t>(i * M + k)] /= total;
    }
    for (float& v : m.means)
        v = 4.0f * next() - 2.0f;
    for (float& v : m.vars)
        v = 0.2f + 2.0f * next();
    m.modelConst = 0.05f + next();
    return m;
}

inline std::vector<float> randomFrames(int T, int F, unsigned seed)
{
    std::vector<float> v(static_cast<std::size_t>(T * F));
    unsigned x = seed * 40503u + 7u;
    for (float& f : v) {
        x = x * 1664525u + 1013904223u;
        f = 4.0f * (static_cast<float>(x >> 8) / static_cast<float>(1u << 24)) - 2.0f;
    }
    return v;
}

}  // namespace talvor::hmmview::testing

#pragma once
// A small data tree for the DTW comparer's session, window and render tool:
// vocabulary "digits" (zero .. four), work folder "dtw1" with the test word
// set "test" and the reference word sets "refa" and "refb", each holding one
// word per label.  Nine features are stored: cep1..cep8 and dene (17).
// A word's features are smooth curves of its relative time that depend on
// its label, so the words of one label lie nearer each other than those of
// other labels; each set has its own small variation.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/WordSetFile.h"
#include "testing/TempDir.h"

namespace talvor::timewarp::test {

class DtwTree {
public:
    static constexpr int kFeat = 9;

    DtwTree()
    {
        std::filesystem::create_directories(work());
        std::ofstream(std::filesystem::path(vocFolder()) / "digits.voc", std::ios::binary)
            << " 5 \r\n0  zero\r\n1  one\r\n2  two\r\n3  three\r\n4  four\r\n";
        writeSet("test", 0, {{0, 40}, {1, 55}, {2, 30}, {3, 62}, {4, 48}});
        writeSet("refa", 1, {{0, 44}, {1, 50}, {2, 35}, {3, 60}, {4, 45}});
        writeSet("refb", 2, {{0, 36}, {1, 58}, {2, 28}, {3, 66}, {4, 52}});
    }

    const std::string& app() const { return m_dir.path(); }
    std::string vocFolder() const { return m_dir.path() + "/DATA/digits"; }
    std::string work() const { return vocFolder() + "/dtw1"; }

    // Features 1..8 and 17 stored.
    static std::vector<std::int16_t> flags()
    {
        std::vector<std::int16_t> f(20, 0);
        for (int k = 0; k < 8; ++k)
            f[std::size_t(k)] = 1;
        f[16] = 1;
        return f;
    }

    static float value(int label, int variant, int frame, int frames, int feature)
    {
        const double t = frames > 1 ? double(frame - 1) / double(frames - 1) : 0.0;
        const double phase = 0.9 * label + 0.35 * feature;
        const double v = std::sin(6.2831853 * (0.6 + 0.25 * label) * t + phase) + 0.08 * variant * std::cos(7.0 * t + feature);
        return feature == 9 ? float(0.8 * v) : float(3.0 * v);
    }

    // <name>.lb/.pr with (label, frames) words.
    void writeSet(const std::string& name, int variant, const std::vector<std::pair<int, int>>& words,
                  LabelFileSpacing spacing = LabelFileSpacing::WordSet) const
    {
        std::vector<WordSetEntry> entries;
        std::vector<float> values;
        for (std::size_t k = 0; k < words.size(); ++k) {
            const auto [label, frames] = words[k];
            entries.push_back({std::int32_t(k), label, frames, 0});
            for (int i = 1; i <= frames; ++i)
                for (int f = 1; f <= kFeat; ++f)
                    values.push_back(value(label, variant, i, frames, f));
        }
        writeWordSet(work() + "/" + name + ".lb", work() + "/" + name + ".pr", entries, kFeat, values, spacing);
    }

    // The recorded token x.lb/x.pr: one word of `label`.
    void writeToken(int label, int frames, int variant = 3) const
    {
        writeSet("x", variant, {{label, frames}}, LabelFileSpacing::Token);
    }

private:
    talvor::test::TempDir m_dir;
};

}  // namespace talvor::timewarp::test

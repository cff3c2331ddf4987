#pragma once
// Writes model files (.mod) for tests and benchmarks, byte for byte in the
// trainer's layout (little-endian, 52-byte header, then the four tables).

#include <bit>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace talvor::hmmview::testing {

struct ModSpec {
    std::string word = "w";
    std::int16_t modelID = 1;
    std::int16_t frequency = 8000;
    std::int16_t windowLength = 160;
    std::int16_t windowShift = 80;
    std::int16_t features = 1;  // F
    std::int16_t states = 3;    // S
    std::int16_t mixtures = 1;  // M
    std::int16_t maxSkips = 0;
    std::int16_t year = 2004, month = 5, day = 17;
    float modelConst = 1.0f;
    std::vector<float> trans;    // [i * S + j] = p(i -> j)
    std::vector<float> weights;  // [s * M + m]
    std::vector<float> means;    // [(s * M + m) * F + f]
    std::vector<float> vars;     // same order

    // A left-right model: every state stays with `stay` and moves on with
    // 1 - stay (the last state keeps `stay` and leaks the rest); equal
    // mixture weights; means and variances to be filled by the caller.
    static ModSpec leftRight(std::string word, int S, int M, int F, float stay = 0.5f)
    {
        ModSpec m;
        m.word = std::move(word);
        m.states = static_cast<std::int16_t>(S);
        m.mixtures = static_cast<std::int16_t>(M);
        m.features = static_cast<std::int16_t>(F);
        m.trans.assign(static_cast<std::size_t>(S * S), 0.0f);
        for (int i = 0; i < S; ++i) {
            m.trans[static_cast<std::size_t>(i * S + i)] = stay;
            if (i + 1 < S)
                m.trans[static_cast<std::size_t>(i * S + i + 1)] = 1.0f - stay;
        }
        m.weights.assign(static_cast<std::size_t>(S * M), 1.0f / static_cast<float>(M));
        m.means.assign(static_cast<std::size_t>(S * M * F), 0.0f);
        m.vars.assign(static_cast<std::size_t>(S * M * F), 1.0f);
        return m;
    }
    float& mean(int s, int m, int f) { return means[static_cast<std::size_t>((s * mixtures + m) * features + f)]; }
    float& var(int s, int m, int f) { return vars[static_cast<std::size_t>((s * mixtures + m) * features + f)]; }
};

inline void putInt16(std::string& out, std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

inline void putFloat(std::string& out, float v)
{
    const auto u = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

inline std::string modBytes(const ModSpec& m)
{
    std::string out(16, '\0');
    for (std::size_t i = 0; i < m.word.size() && i < 16; ++i)
        out[i] = m.word[i];
    for (std::int16_t v : {m.modelID, m.frequency, m.windowLength, m.windowShift, m.features, m.states,
                           m.mixtures, m.maxSkips})
        putInt16(out, v);
    for (int i = 0; i < 5; ++i)
        putInt16(out, 0);
    putInt16(out, m.year);
    putInt16(out, m.month);
    putInt16(out, m.day);
    putFloat(out, m.modelConst);
    for (const auto* table : {&m.trans, &m.weights, &m.means, &m.vars})
        for (float v : *table)
            putFloat(out, v);
    return out;
}

inline bool writeMod(const std::string& path, const ModSpec& m)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = modBytes(m);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace talvor::hmmview::testing

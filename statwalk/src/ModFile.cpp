#include "statwalk/ModFile.h"

#include <bit>
#include <cstring>
#include <limits>

#include "common/NameCheck.h"

namespace talvor::statwalk {

namespace {

bool fits16(std::int32_t v)
{
    return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

void put16(std::string& out, std::int32_t v)
{
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

void putFloat(std::string& out, float v)
{
    const auto u = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

}  // namespace

bool modFileBytes(const ModHeader& header, const HmmParameters& model, std::string* bytes, std::string* error)
{
    if (!model.consistent()) {
        if (error)
            *error = "the model's tables do not fit its states, mixtures and features";
        return false;
    }
    for (std::int32_t v : {header.modelID, header.frequency, header.windowLength, header.windowShift, model.features,
                           model.states, model.mixtures, header.maxSkips, header.year, header.month, header.day}) {
        if (!fits16(v)) {
            if (error)
                *error = "the header value " + std::to_string(v) + " does not fit a model file";
            return false;
        }
    }
    std::string out(16, '\0');
    std::memcpy(out.data(), header.word.data(), std::min<std::size_t>(header.word.size(), 15));
    for (std::int32_t v : {header.modelID, header.frequency, header.windowLength, header.windowShift, model.features,
                           model.states, model.mixtures, header.maxSkips})
        put16(out, v);
    for (int k = 0; k < 5; ++k)
        put16(out, 0);
    put16(out, header.year);
    put16(out, header.month);
    put16(out, header.day);
    putFloat(out, header.modelConst);
    for (const std::vector<float>* table : {&model.trans, &model.weights, &model.means, &model.vars})
        for (float v : *table)
            putFloat(out, v);
    *bytes = std::move(out);
    return true;
}

std::string modelFileName(const Vocabulary& vocabulary, std::int32_t index)
{
    const VocabularyEntry* entry = nullptr;
    for (const VocabularyEntry& e : vocabulary)
        if (e.index == index)
            entry = &e;
    std::string fallback = "model" + std::to_string(index) + ".mod";
    if (!entry || !checkName(entry->word, NameKind::File))
        return fallback;
    for (const VocabularyEntry& e : vocabulary)
        if (e.index != index && sameIgnoringCase(e.word, entry->word))
            return fallback;
    // A word that reads as another word's fallback name would collide with it,
    // and the viewer cuts a model file's name before its first ".mod".
    std::string lowered = entry->word;
    for (char& c : lowered)
        c = lower(c);
    if (lowered.starts_with("model") || lowered.find(".mod") != std::string::npos)
        return fallback;
    return entry->word + ".mod";
}

}  // namespace talvor::statwalk

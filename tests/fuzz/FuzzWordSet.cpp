// Word sets: the label file, the feature file and the pair read as a whole.
// Input: one byte that chooses the features per frame (0 to 20), the label
// text, the part separator, the feature bytes.
#include <bit>
#include <cstring>

#include "FuzzSupport.h"
#include "common/WordSetFile.h"

using namespace talvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::int32_t featuresPerFrame = data[0] % 21;
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data + 1, size - 1), fuzz::kPartSeparator, 2);
    const std::string_view label = parts[0], features = parts[1];

    // Label text: what parses and fits is written and read back the same.
    LabelFileContents contents;
    std::string error;
    if (parseLabelFile(label, &contents, &error)) {
        FUZZ_CHECK(contents.count >= 0 && std::int64_t(contents.words.size()) == contents.count);
        if (labelFileFits(contents.words, &error)) {
            for (auto spacing : {LabelFileSpacing::WordSet, LabelFileSpacing::Token}) {
                LabelFileContents back;
                FUZZ_CHECK(parseLabelFile(labelFileText(contents.words, spacing), &back, &error));
                FUZZ_CHECK(back.count == contents.count && back.words.size() == contents.words.size());
                std::int64_t offset = 0;
                for (std::size_t k = 0; k < back.words.size(); ++k) {
                    const WordSetEntry& a = contents.words[k];
                    const WordSetEntry& b = back.words[k];
                    FUZZ_CHECK(a.number == b.number && a.label == b.label && a.frames == b.frames);
                    FUZZ_CHECK(b.offset == offset);
                    offset += b.frames;
                }
            }
        }
    }
    LabelFileContents first;
    parseLabelFile(label, &first, &error, 1);

    // Feature bytes: whole values, bit for bit.
    const std::vector<float> values = parseFeatureFile(features);
    FUZZ_CHECK(values.size() == features.size() / 4);
    FUZZ_CHECK(featureFileBytes(values) == features.substr(0, 4 * values.size()));

    // The pair from files, as the DTW comparer and the HMM programs read it.
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string lb = scratch.file("w.LB"), pr = scratch.file("w.PR");
    fuzz::putFile(lb, label);
    fuzz::putFile(pr, features);
    WordSet set;
    if (readWordSet(lb, pr, featuresPerFrame, &set, &error)) {
        FUZZ_CHECK(set.firstValue.size() == set.words.size());
        std::int64_t need = 0;
        for (const WordSetEntry& w : set.words)
            need += std::int64_t(featuresPerFrame) * w.frames;
        FUZZ_CHECK(std::int64_t(set.values.size()) == need);
        FUZZ_CHECK(std::int64_t(features.size() / 4) == need);  // a pair of one save
        // What was read is written and read back the same.
        if (labelFileFits(set.words) &&
            writeWordSet(lb, pr, set.words, featuresPerFrame, set.values, LabelFileSpacing::WordSet, &error)) {
            WordSet back;
            FUZZ_CHECK(readWordSet(lb, pr, featuresPerFrame, &back, &error));
            FUZZ_CHECK(back.values.size() == set.values.size());
            FUZZ_CHECK(set.values.empty() || std::memcmp(back.values.data(), set.values.data(), 4 * set.values.size()) == 0);
        }
    }
    readWordSet(lb, pr, featuresPerFrame, &set, &error, 1);
    return 0;
}

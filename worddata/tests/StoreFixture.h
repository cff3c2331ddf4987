#pragma once
// Word data files with a pattern that tells every value's place: feature value
// = frame x 100 + index within the frame, sample = its position in the file.
#include <cstdint>
#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/NumberText.h"
#include "worddata/WordDataFiles.h"
#include "worddata/WordDataStore.h"

namespace talvor::worddata::fixture {

inline std::vector<float> patternFeatures(std::int64_t frames)
{
    std::vector<float> v(std::size_t(frames * 20));
    for (std::int64_t f = 0; f < frames; ++f)
        for (int k = 0; k < 20; ++k)
            v[std::size_t(f * 20 + k)] = float(f * 100 + k);
    return v;
}

inline std::vector<std::int16_t> patternSamples(std::int64_t frames)
{
    std::vector<std::int16_t> s(std::size_t(frames * 80));
    for (std::size_t p = 0; p < s.size(); ++p)
        s[p] = std::int16_t(p);
    return s;
}

// Writes <folder>/<title>.lab from rows and, for a frame count of 0 or more,
// the patterned .par / .rec (a negative count writes no file).
inline void writeRecording(const std::string& folder, const std::string& title, const std::vector<WordRow>& rows,
                           std::int64_t parFrames, std::int64_t recFrames)
{
    std::string lab;
    for (const auto& r : rows)
        lab += labLine(r);
    writeFileWhole(folder + "/" + title + ".lab", lab);
    if (parFrames >= 0)
        writeFileWhole(folder + "/" + title + ".par", featureBytes(patternFeatures(parFrames)));
    if (recFrames >= 0)
        writeFileWhole(folder + "/" + title + ".rec", sampleBytes(patternSamples(recFrames)));
}

inline WordRow row(int index, const char* length, const char* offset, const char* name)
{
    return {signedDecimal(std::int64_t(index)), signedDecimal(std::int64_t(index) - 1), length, offset, name};
}

// The whole observable state, for "nothing changed" checks.
struct Snapshot {
    std::vector<WordRow> rows;
    std::vector<float> features;
    std::vector<std::int16_t> samples;
    std::string dataName, title, lblWords, lblFilePar, lblFileRec;
    std::int32_t savedFlag = 0;
    bool operator==(const Snapshot&) const = default;
};

inline Snapshot snapshot(const WordDataStore& s)
{
    Snapshot out;
    for (std::int32_t r = 0; r < s.Rows(); ++r) {
        WordRow w;
        for (int c = 0; c < kWordTableColumns; ++c)
            w[std::size_t(c)] = s.cell(r, c);
        out.rows.push_back(w);
    }
    out.features = s.featureData();
    out.samples = s.sampleData();
    out.dataName = s.dataName();
    out.title = s.lblName();
    out.lblWords = s.lblWords();
    out.lblFilePar = s.lblFilePar();
    out.lblFileRec = s.lblFileRec();
    out.savedFlag = s.savedFlag();
    return out;
}

}  // namespace talvor::worddata::fixture

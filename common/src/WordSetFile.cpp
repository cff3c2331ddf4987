#include "common/WordSetFile.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <random>

#include "common/FileNames.h"
#include "common/NumberText.h"

namespace talvor {

namespace {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559, "feature files hold IEEE floats");

void setError(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

// Free-format items of a label file.
class ItemReader {
public:
    explicit ItemReader(std::string_view text) : m_text(text) {}

    // The next item; false at the end of the text.
    bool next(std::string_view* item)
    {
        while (m_pos < m_text.size() && isSeparator(m_text[m_pos]))
            ++m_pos;
        if (m_pos >= m_text.size())
            return false;
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !isSeparator(m_text[m_pos]))
            ++m_pos;
        *item = m_text.substr(start, m_pos - start);
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

std::uint32_t toLittleEndian(std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        return v;
    else
        return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
}

// The token's stamp: the label file's item before it, and the feature file's
// trailer ("TKST", the stamp in 64 bits, the values before it in 32 bits).
constexpr std::string_view kStampItem = "stamp";
constexpr std::size_t kTrailerBytes = 16;

bool parseStamp(std::string_view item, std::uint64_t* stamp)
{
    if (item.empty() || item.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (char c : item) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t d = std::uint64_t(c - '0');
        if (v > (UINT64_MAX - d) / 10)
            return false;
        v = v * 10 + d;
    }
    *stamp = v;
    return true;
}

void appendLittleEndian(std::string* bytes, std::uint64_t v, int n)
{
    for (int k = 0; k < n; ++k)
        bytes->push_back(char((v >> (8 * k)) & 0xFFu));
}

std::uint64_t readLittleEndian(std::string_view bytes, std::size_t at, int n)
{
    std::uint64_t v = 0;
    for (int k = 0; k < n; ++k)
        v |= std::uint64_t(static_cast<unsigned char>(bytes[at + std::size_t(k)])) << (8 * k);
    return v;
}

// The stamp of a feature file that ends in a token trailer.
bool trailerStamp(std::string_view bytes, std::uint64_t* stamp)
{
    if (bytes.size() < kTrailerBytes)
        return false;
    const std::size_t at = bytes.size() - kTrailerBytes;
    if (bytes.substr(at, 4) != "TKST" || readLittleEndian(bytes, at + 12, 4) * 4 != at)
        return false;
    *stamp = readLittleEndian(bytes, at + 4, 8);
    return true;
}

// A whole file of a word set; false with the reason ("cannot read ...", or
// the reader's own for a file over the limit).
bool readSetFile(std::string_view path, std::size_t limit, std::string* bytes, std::string* error)
{
    std::string why;
    if (readFileWhole(path, bytes, limit, &why))
        return true;
    setError(error, why.find("larger than") != std::string::npos ? why : "cannot read " + normalizeSeparators(path));
    return false;
}

// The values of a feature file's bytes; false when they do not fit in memory.
bool featureValues(std::string_view bytes, std::string_view path, std::vector<float>* values, std::string* error)
{
    try {
        *values = parseFeatureFile(bytes);
    } catch (const std::bad_alloc&) {
        setError(error, "not enough memory to read " + normalizeSeparators(path));
        return false;
    }
    return true;
}

// A new stamp for every token, also across processes and runs.
std::uint64_t newStamp()
{
    static std::mutex mutex;
    static std::mt19937_64 rng{std::random_device{}() ^ (std::uint64_t(::getpid()) << 32) ^
                               std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::lock_guard lock(mutex);
    return rng();
}

}  // namespace

bool labelFileFits(std::span<const WordSetEntry> words, std::string* error)
{
    std::int64_t offset = 0;
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (words[k].frames < 0) {
            setError(error, "word " + std::to_string(k + 1) + ": negative frame count " +
                                std::to_string(words[k].frames));
            return false;
        }
        // The reader takes every number of a line as a 32-bit whole number.
        if (offset > std::numeric_limits<std::int32_t>::max()) {
            setError(error, "word " + std::to_string(k + 1) + " would start at frame " + std::to_string(offset) +
                                ", beyond the " + std::to_string(std::numeric_limits<std::int32_t>::max()) +
                                " a label file can hold");
            return false;
        }
        offset += words[k].frames;
    }
    if (words.size() > std::size_t(std::numeric_limits<std::int32_t>::max())) {
        setError(error, "too many words for a label file");
        return false;
    }
    return true;
}

std::string labelFileText(std::span<const WordSetEntry> words, LabelFileSpacing spacing)
{
    const char* between = spacing == LabelFileSpacing::WordSet ? " " : "";
    std::string text = printNumber(std::int64_t(words.size())) + "\r\n";
    std::int64_t offset = 0;
    for (const WordSetEntry& w : words) {
        text += printNumber(std::int64_t(w.number));
        text += between;
        text += printNumber(std::int64_t(w.label));
        text += between;
        text += printNumber(std::int64_t(w.frames));
        text += between;
        text += printNumber(offset);
        text += "\r\n";
        offset += w.frames;
    }
    return text;
}

bool parseLabelFile(std::string_view text, LabelFileContents* out, std::string* error, std::int32_t wordsWanted)
{
    ItemReader items(text);
    std::string_view item;
    LabelFileContents result;
    if (!items.next(&item)) {
        setError(error, "the label file holds no word count");
        return false;
    }
    if (!parseInt32(item, &result.count) || result.count < 0) {
        setError(error, "the word count \"" + std::string(item) + "\" is not a number of words");
        return false;
    }
    const std::int32_t wanted = wordsWanted < 0 ? result.count : std::min(wordsWanted, result.count);
    static const char* const kFieldNames[4] = {"number", "label", "frame count", "offset"};
    for (std::int32_t k = 1; k <= wanted; ++k) {
        std::int32_t fields[4];
        for (int f = 0; f < 4; ++f) {
            if (!items.next(&item)) {
                setError(error, "the label file ends in word " + std::to_string(k) + " of "
                                    + std::to_string(result.count));
                return false;
            }
            if (!parseInt32(item, &fields[f])) {
                setError(error, "word " + std::to_string(k) + ": the " + kFieldNames[f] + " \""
                                    + std::string(item) + "\" is not a whole number");
                return false;
            }
        }
        if (fields[2] < 0) {
            setError(error, "word " + std::to_string(k) + ": negative frame count " + std::to_string(fields[2]));
            return false;
        }
        result.words.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    // The token's stamp follows its words.
    if (wanted == result.count && items.next(&item) && item == kStampItem) {
        if (!items.next(&item) || !parseStamp(item, &result.stamp)) {
            setError(error, "the stamp \"" + std::string(item) + "\" is not a number");
            return false;
        }
        result.stamped = true;
    }
    *out = std::move(result);
    return true;
}

bool writeLabelFile(std::string_view path, std::span<const WordSetEntry> words, LabelFileSpacing spacing,
                    std::string* error)
{
    if (!labelFileFits(words, error))
        return false;
    return writeFileWhole(path, labelFileText(words, spacing), error);
}

bool readLabelFile(std::string_view path, LabelFileContents* out, std::string* error, std::int32_t wordsWanted)
{
    std::string text, why;
    if (!readSetFile(path, kLabelFileLimit, &text, error))
        return false;
    if (!parseLabelFile(text, out, &why, wordsWanted)) {
        setError(error, normalizeSeparators(path) + ": " + why);
        return false;
    }
    return true;
}

std::string featureFileBytes(std::span<const float> values)
{
    std::string bytes(values.size() * 4, '\0');
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::uint32_t v = toLittleEndian(std::bit_cast<std::uint32_t>(values[k]));
        std::memcpy(bytes.data() + 4 * k, &v, 4);
    }
    return bytes;
}

std::vector<float> parseFeatureFile(std::string_view bytes)
{
    std::vector<float> values(bytes.size() / 4);
    for (std::size_t k = 0; k < values.size(); ++k) {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + 4 * k, 4);
        values[k] = std::bit_cast<float>(toLittleEndian(v));
    }
    return values;
}

std::vector<float> selectedFeatureValues(std::span<const float> frames, const FeatureSelection& features)
{
    const std::size_t count = frames.size() / kFeaturesPerFrame;
    std::vector<float> out;
    out.reserve(count * std::size_t(selectedFeatureCount(features)));
    for (std::size_t f = 0; f < count; ++f)
        for (std::size_t j = 0; j < std::size_t(kFeaturesPerFrame); ++j)
            if (features[j])
                out.push_back(frames[f * kFeaturesPerFrame + j]);
    return out;
}

bool writeFeatureFile(std::string_view path, std::span<const float> values, std::string* error)
{
    return writeFileWhole(path, featureFileBytes(values), error);
}

bool readFeatureFile(std::string_view path, std::vector<float>* values, std::string* error)
{
    std::string bytes;
    return readSetFile(path, kReadFileWholeLimit, &bytes, error) && featureValues(bytes, path, values, error);
}

bool readWordSet(std::string_view labelPath, std::string_view featurePath, std::int32_t featuresPerFrame,
                 WordSet* out, std::string* error, std::int32_t wordsWanted)
{
    if (featuresPerFrame < 0) {
        setError(error, "negative number of features per frame");
        return false;
    }
    LabelFileContents labels;
    if (!readLabelFile(labelPath, &labels, error, wordsWanted))
        return false;
    std::string bytes;
    if (!readSetFile(featurePath, kReadFileWholeLimit, &bytes, error))
        return false;
    // The two files of a stamped token must carry one stamp.
    std::uint64_t featureStamp = 0;
    const bool featureStamped = trailerStamp(bytes, &featureStamp);
    if (labels.stamped != featureStamped || featureStamp != labels.stamp) {
        setError(error, normalizeSeparators(featurePath) + " and " + normalizeSeparators(labelPath) +
                            " are of two different recordings (their stamps differ): the token is refused");
        return false;
    }
    if (featureStamped)
        bytes.resize(bytes.size() - kTrailerBytes);
    std::vector<float> values;
    if (!featureValues(bytes, featurePath, &values, error))
        return false;
    WordSet set;
    set.count = labels.count;
    std::int64_t next = 0;
    for (std::size_t k = 0; k < labels.words.size(); ++k) {
        const std::int64_t need = std::int64_t(featuresPerFrame) * labels.words[k].frames;
        if (next + need > std::int64_t(values.size())) {
            setError(error, normalizeSeparators(featurePath) + " ends in word " + std::to_string(k + 1) + ": "
                                + std::to_string(values.size() * 4) + " bytes, the label file announces "
                                + std::to_string((next + need) * 4));
            return false;
        }
        set.firstValue.push_back(next);
        next += need;
    }
    // The writer makes a word set's feature file exactly as long as the label
    // file's words need.  When the whole set is read, a longer feature file
    // belongs to another save (a crash between the two writes) or to another
    // feature selection: refused rather than read as wrong features.  (The
    // recorded token, read by its first word alone, may run longer.)
    if (wordsWanted < 0 && next != std::int64_t(values.size())) {
        setError(error, normalizeSeparators(featurePath) + " does not belong to " + normalizeSeparators(labelPath) +
                            ": it holds " + std::to_string(4 * std::int64_t(values.size())) +
                            " bytes, the label file's words take " + std::to_string(4 * next));
        return false;
    }
    values.resize(std::size_t(next));
    set.values = std::move(values);
    set.words = std::move(labels.words);
    *out = std::move(set);
    return true;
}

bool writeTokenWordSet(std::string_view labelPath, std::string_view featurePath, const WordSetEntry& word,
                       std::int32_t featuresPerFrame, std::span<const float> values, std::string* error)
{
    const std::span<const WordSetEntry> words(&word, 1);
    if (!labelFileFits(words, error))
        return false;
    if (featuresPerFrame < 0 || std::int64_t(featuresPerFrame) * word.frames != std::int64_t(values.size()) ||
        values.size() > UINT32_MAX) {
        setError(error, std::to_string(values.size()) + " feature values do not make " + std::to_string(word.frames)
                            + " frames of " + std::to_string(featuresPerFrame) + " features");
        return false;
    }
    const std::uint64_t stamp = newStamp();
    std::string bytes = featureFileBytes(values);
    bytes += "TKST";
    appendLittleEndian(&bytes, stamp, 8);
    appendLittleEndian(&bytes, values.size(), 4);
    const std::string label = labelFileText(words, LabelFileSpacing::Token) + std::string(kStampItem) + " " +
                              std::to_string(stamp) + " \r\n";
    return writeFileWhole(featurePath, bytes, error, FileFlush::Skip) &&
           writeFileWhole(labelPath, label, error, FileFlush::Skip);
}

bool writeWordSet(std::string_view labelPath, std::string_view featurePath, std::span<const WordSetEntry> words,
                  std::int32_t featuresPerFrame, std::span<const float> values, LabelFileSpacing spacing,
                  std::string* error)
{
    if (!labelFileFits(words, error))
        return false;
    std::int64_t frames = 0;
    for (const WordSetEntry& w : words)
        frames += w.frames;
    if (featuresPerFrame < 0 || std::int64_t(featuresPerFrame) * frames != std::int64_t(values.size())) {
        setError(error, std::to_string(values.size()) + " feature values do not make " + std::to_string(frames)
                            + " frames of " + std::to_string(featuresPerFrame) + " features");
        return false;
    }
    // The values first, then the label file that describes them; either write
    // failing is reported.
    return writeFeatureFile(featurePath, values, error) && writeLabelFile(labelPath, words, spacing, error);
}

}  // namespace talvor

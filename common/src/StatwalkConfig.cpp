#include "common/StatwalkConfig.h"

#include <strings.h>

#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"

namespace talvor {

namespace {

constexpr const char* kLabelMode = "Operation Mode:";
constexpr const char* kLabelVocabulary = "Vocabulary:";
constexpr const char* kLabelWorkDirectory = "Work Directory:";
constexpr const char* kLabelFeatureCount = "Number of features:";
constexpr const char* kLabelFeatures = "Features:";
constexpr const char* kLabelTrainingFiles = "Number of training files:";
constexpr const char* kLabelTestFiles = "Number of test files:";
constexpr const char* kLabelStates = "Number of states:";
constexpr const char* kLabelMixtures = "Number of mixtures:";

// The value column of the print statement's positioning: values start in column 3.
constexpr const char* kIndent = "  ";

bool sameLabel(std::string_view item, std::string_view label)
{
    return item.size() == label.size() && ::strncasecmp(item.data(), label.data(), label.size()) == 0;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

class ItemReader {
public:
    ItemReader(std::string_view text, std::string* error, std::string_view source)
        : m_items(statwalkItems(text)), m_error(error), m_source(source)
    {
    }

    std::size_t size() const { return m_items.size(); }

    bool fail(const std::string& why)
    {
        if (m_error)
            *m_error = "Cannot read " + std::string(m_source) + ": " + why;
        return false;
    }

    // Item `n` (1-based) into *out.
    bool item(std::size_t n, std::string* out, const char* what)
    {
        if (n > m_items.size())
            return fail("it ends before item " + std::to_string(n) + " (" + what + ").");
        *out = m_items[n - 1];
        return true;
    }

    bool label(std::size_t n, const char* expected)
    {
        std::string s;
        if (!item(n, &s, expected))
            return false;
        if (!sameLabel(s, expected))
            return fail("item " + std::to_string(n) + " is \"" + s + "\" where \"" + expected + "\" belongs.");
        return true;
    }

    bool number(std::size_t n, std::int32_t* out, const char* what)
    {
        std::string s;
        if (!item(n, &s, what))
            return false;
        if (!parseInt32(s, out))
            return fail("item " + std::to_string(n) + " (" + what + ") \"" + s + "\" is no whole number.");
        return true;
    }

private:
    std::vector<std::string> m_items;
    std::string* m_error;
    std::string_view m_source;
};

bool readHead(ItemReader& r, StatwalkConfig* c)
{
    StatwalkConfig head = *c;
    std::string mask;
    if (!r.label(1, kLabelMode) || !r.number(2, &head.mode, "the operating mode") || !r.label(3, kLabelVocabulary)
        || !r.item(4, &head.vocabulary, "the vocabulary") || !r.label(5, kLabelWorkDirectory)
        || !r.item(6, &head.workDirectory, "the work directory") || !r.label(7, kLabelFeatureCount)
        || !r.number(8, &head.featureCount, "the number of features") || !r.label(9, kLabelFeatures)
        || !r.item(10, &mask, "the feature mask"))
        return false;
    if (!parseFeatureMask(mask, &head.features))
        return r.fail("the feature mask \"" + mask + "\" is not 20 characters \"0\" or \"1\".");
    *c = head;
    return true;
}

std::string readError(const std::string& path)
{
    return "Cannot read " + normalizeSeparators(path) + ": it is missing or unreadable.";
}

}  // namespace

const char* statwalkConfigName(StatwalkKind kind)
{
    return kind == StatwalkKind::Training ? "STATWALK1.EDF" : "STATWALK2.EDF";
}

const char* statwalkProgramName(StatwalkKind kind)
{
    return kind == StatwalkKind::Training ? "statwalk1" : "statwalk2";
}

std::string featureMask(const FeatureSelection& features)
{
    std::string mask(kFeaturesPerFrame, '0');
    for (int i = 0; i < kFeaturesPerFrame; ++i)
        if (features[std::size_t(i)])
            mask[std::size_t(i)] = '1';
    return mask;
}

bool parseFeatureMask(std::string_view mask, FeatureSelection* features)
{
    if (mask.size() != std::size_t(kFeaturesPerFrame))
        return false;
    FeatureSelection f{};
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] != '0' && mask[i] != '1')
            return false;
        f[i] = mask[i] == '1';
    }
    *features = f;
    return true;
}

int selectedFeatureCount(const FeatureSelection& features)
{
    int n = 0;
    for (bool b : features)
        n += b ? 1 : 0;
    return n;
}

std::vector<std::string> statwalkItems(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && isBlank(text[i]))
            ++i;
        std::string item;
        if (i < n && text[i] == '"') {
            // A quoted item runs to the closing quote; the rest up to the item's end is dropped.
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? n : close;
            item.assign(text.substr(i + 1, end - i - 1));
            i = end == n ? n : end + 1;
            while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                ++i;
        } else {
            const std::size_t start = i;
            while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                ++i;
            std::size_t end = i;
            while (end > start && isBlank(text[end - 1]))
                --end;
            item.assign(text.substr(start, end - start));
        }
        // One separator: a comma, or a line end (CR LF, LF or CR).
        if (i < n) {
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
                i += 2;
            else
                ++i;
        }
        if (!item.empty())
            items.push_back(std::move(item));
    }
    return items;
}

bool statwalkConfigText(const StatwalkConfig& c, std::string* text, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "Cannot write " + std::string(statwalkConfigName(c.kind)) + ": " + why;
        return false;
    };
    std::string why;
    if (!checkName(c.vocabulary, NameKind::Vocabulary, &why) || !checkName(c.workDirectory, NameKind::WorkDirectory, &why))
        return fail(why);
    for (const auto& f : c.files)
        if (!checkName(f, NameKind::File, &why))
            return fail(why);
    if (c.kind == StatwalkKind::Recognition && c.files.size() != 1)
        return fail("a recognition names exactly one test file.");

    std::string out;
    auto label = [&](const char* l) { out += std::string(l) + "\r\n"; };
    auto number = [&](std::int64_t v) { out += kIndent + printNumber(v) + "\r\n"; };
    auto value = [&](const std::string& v) { out += kIndent + v + "\r\n"; };
    label(kLabelMode);
    number(c.mode);
    label(kLabelVocabulary);
    value(c.vocabulary);
    label(kLabelWorkDirectory);
    value(c.workDirectory);
    label(kLabelFeatureCount);
    number(c.featureCount);
    label(kLabelFeatures);
    value(featureMask(c.features));
    label(c.kind == StatwalkKind::Training ? kLabelTrainingFiles : kLabelTestFiles);
    number(std::int64_t(c.files.size()));
    for (const auto& f : c.files)
        value(f);
    label(kLabelStates);
    number(c.states);
    label(kLabelMixtures);
    number(c.mixtures);
    *text = std::move(out);
    return true;
}

bool writeStatwalkConfig(const std::string& path, const StatwalkConfig& config, std::string* error)
{
    std::string text, why;
    if (!statwalkConfigText(config, &text, error))
        return false;
    if (!writeFileWhole(path, text, &why)) {
        if (error)
            *error = "Cannot write " + normalizeSeparators(path) + ": " + why;
        return false;
    }
    return true;
}

bool parseStatwalkHead(std::string_view text, StatwalkConfig* config, std::string* error, std::string_view sourceName)
{
    ItemReader r(text, error, sourceName);
    return readHead(r, config);
}

bool parseStatwalkConfig(std::string_view text, StatwalkConfig* config, std::string* error, std::string_view sourceName)
{
    ItemReader r(text, error, sourceName);
    StatwalkConfig c;
    if (!readHead(r, &c))
        return false;
    std::string filesLabel;
    if (!r.item(11, &filesLabel, "the number of files label"))
        return false;
    if (sameLabel(filesLabel, kLabelTrainingFiles))
        c.kind = StatwalkKind::Training;
    else if (sameLabel(filesLabel, kLabelTestFiles))
        c.kind = StatwalkKind::Recognition;
    else
        return r.fail("item 11 is \"" + filesLabel + "\" where \"" + kLabelTrainingFiles + "\" or \"" + kLabelTestFiles
                      + "\" belongs.");
    std::int32_t n = 0;
    if (!r.number(12, &n, "the number of files"))
        return false;
    if (n < 0)
        return r.fail("the number of files is negative.");
    if (std::size_t(n) > r.size())
        return r.fail("it announces " + std::to_string(n) + " files but ends before them.");
    for (std::int32_t k = 0; k < n; ++k) {
        std::string f;
        if (!r.item(13 + std::size_t(k), &f, "a file name"))
            return false;
        c.files.push_back(std::move(f));
    }
    const std::size_t after = 13 + std::size_t(n);
    if (!r.label(after, kLabelStates) || !r.number(after + 1, &c.states, "the number of states")
        || !r.label(after + 2, kLabelMixtures) || !r.number(after + 3, &c.mixtures, "the number of mixtures"))
        return false;
    *config = std::move(c);
    return true;
}

namespace {

// Reads the file whole and parses it with `parse` (the whole job or its head).
bool readAndParse(const std::string& path, StatwalkConfig* config, std::string* error,
                  bool (*parse)(std::string_view, StatwalkConfig*, std::string*, std::string_view))
{
    // A configuration is a few hundred bytes; a megabyte is no configuration.
    std::string bytes, why;
    if (!readFileWhole(path, &bytes, std::size_t(1) << 20, &why)) {
        if (error)
            *error = why.find("larger than") != std::string::npos ? why : readError(path);
        return false;
    }
    return parse(bytes, config, error, normalizeSeparators(path));
}

}  // namespace

bool readStatwalkConfig(const std::string& path, StatwalkConfig* config, std::string* error)
{
    return readAndParse(path, config, error, parseStatwalkConfig);
}

bool readStatwalkHead(const std::string& path, StatwalkConfig* config, std::string* error)
{
    return readAndParse(path, config, error, parseStatwalkHead);
}

}  // namespace talvor

#include "worddata/WordDataStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/TempFiles.h"
#include "common/VocabularyFile.h"

namespace talvor::worddata {

MessageOutput::~MessageOutput() = default;

namespace {

const std::string kEmpty;

bool isRegularFile(const std::string& path, std::int64_t* size = nullptr)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (size)
        *size = std::int64_t(st.st_size);
    return true;
}

bool canListFolder(const std::string& folder, std::string* resolved)
{
    if (!findFileName(folder, resolved))
        return false;
    DIR* d = ::opendir(resolved->c_str());
    if (!d)
        return false;
    ::closedir(d);
    return true;
}

// The folder part of a path, with its "/" ("" for a bare name).
std::string folderPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool hasControlCharacter(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
}

template <class T>
std::int32_t copyValues(std::span<T> d, std::int32_t sd, std::int32_t n, std::span<const T> s, std::int32_t sS)
{
    if (n == 0)
        return 0;
    const std::int64_t count = n > 0 ? n : -std::int64_t(n);
    if (sd < 0 || sS < 0 || std::int64_t(sd) + count > std::int64_t(d.size())
        || std::int64_t(sS) + count > std::int64_t(s.size()))
        return -1;
    if (n > 0) {
        for (std::int64_t k = 0; k < count; ++k)
            d[std::size_t(sd + k)] = s[std::size_t(sS + k)];
    } else {
        for (std::int64_t k = count - 1; k >= 0; --k)
            d[std::size_t(sd + k)] = s[std::size_t(sS + k)];
    }
    return 0;
}

// Replaces `oldCount` values at `start` by `count` values of `source`, moving
// the values behind the old span.
template <class T>
void replaceSpan(std::vector<T>& data, std::size_t start, std::size_t oldCount, const T* source, std::size_t count)
{
    if (count >= oldCount) {
        data.insert(data.begin() + std::ptrdiff_t(start + oldCount), count - oldCount, T{});
    } else {
        data.erase(data.begin() + std::ptrdiff_t(start + count), data.begin() + std::ptrdiff_t(start + oldCount));
    }
    if (count > 0)
        std::memcpy(data.data() + start, source, count * sizeof(T));
}

// A small checksum of a file's bytes (64-bit FNV-1a).
std::uint64_t checksum(std::string_view bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// While a save replaces its files, a hidden marker beside the .lab lists the
// files of the new set with their sizes and checksums; it goes when the set
// is complete.  A marker found on opening means that a save was cut off: the
// files must be the ones it lists, or the set is mixed.
std::string unfinishedSaveMarker(const std::string& labPath)
{
    const std::string folder = folderPart(labPath);
    return folder + "." + labPath.substr(folder.size()) + ".unfinished";
}

// Empty when the set beside the marker is the one it lists (the save was cut
// off after its last rename: the marker goes now) or there is no marker, else
// the name of the first file that is not.
std::optional<std::string> mixedFileOfSet(const std::string& labPath)
{
    std::string marker;
    if (!readFileWhole(unfinishedSaveMarker(labPath), &marker, 4096))
        return std::nullopt;
    const std::string folder = folderPart(labPath);
    std::size_t pos = 0;
    while (pos < marker.size()) {
        std::size_t end = marker.find('\n', pos);
        if (end == std::string::npos)
            end = marker.size();
        const std::string line = marker.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos)
            continue;
        const std::string name = line.substr(0, t1);
        std::string bytes;
        if (!readFileWhole(folder + name, &bytes) || std::to_string(bytes.size()) != line.substr(t1 + 1, t2 - t1 - 1) ||
            std::to_string(checksum(bytes)) != line.substr(t2 + 1))
            return name;
    }
    ::unlink(unfinishedSaveMarker(labPath).c_str());
    return std::nullopt;
}

WordDataStore::SaveStepHook g_saveStepHook;

}  // namespace

void WordDataStore::setSaveStepHookForTesting(SaveStepHook hook) { g_saveStepHook = std::move(hook); }

std::int64_t cellNumber(const std::string& text) { return roundHalfEven(leadingNumber(text)); }

WordDataStore::WordDataStore()
{
    m_featuresPerFrame = 20;
    m_frameShift = 80;
    m_marginFrames = 10;
    NewVoc(1);
}

const std::string& WordDataStore::cell(std::int32_t row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= kWordTableColumns)
        return kEmpty;
    return m_rows[std::size_t(row)][std::size_t(column)];
}

void WordDataStore::setCurrentRow(std::int32_t row)
{
    m_currentRow = Rows() > 1 ? std::clamp(row, 1, Rows() - 1) : 0;
}

const std::string& WordDataStore::extension(int index) const
{
    return index >= 0 && index < 4 ? m_extensions[index] : kEmpty;
}

std::int32_t WordDataStore::fail(const std::string& text)
{
    m_lastError = text;
    if (m_messages)
        m_messages->showError(text);
    return -1;
}

void WordDataStore::clearTable()
{
    m_rows.clear();
    WordRow header;
    for (int c = 0; c < kWordTableColumns; ++c)
        header[std::size_t(c)] = kWordTableHeaders[c];
    m_rows.push_back(header);
}

void WordDataStore::appendRow(WordRow row) { m_rows.push_back(std::move(row)); }

void WordDataStore::wordsChanged()
{
    m_lblWords = signedDecimal(std::int64_t(Rows() - 1));
    m_currentRow = Rows() > 1 ? 1 : 0;
}

WordDataStore::Span WordDataStore::span(std::int32_t row) const
{
    Span sp;
    sp.offset = cellNumber(cell(row, ColOffset));
    const std::int64_t length = cellNumber(cell(row, ColLength));
    sp.frames = length > 0 ? length + 2 * std::int64_t(m_marginFrames) : 0;
    return sp;
}

// ---------------------------------------------------------------- files

std::int32_t WordDataStore::Open_Data(const std::string& ffileName, const std::string& fileTitle)
{
    if (ffileName.empty()) {
        m_lastError = "No word data file was given.";
        return -1;
    }
    const std::string labPath = normalizeSeparators(ffileName);
    if (fileTitle.size() > labPath.size()) {
        m_lastError = "The file name " + fileTitle + " is not part of " + labPath + ".";
        return -1;
    }
    // The folder is the path without the file's name.
    const std::string folder = labPath.substr(0, labPath.size() - fileTitle.size());
    std::string listed;
    if (!canListFolder(folder.empty() ? "." : folder, &listed)) {
        m_lastError = "Cannot find: " + (folder.empty() ? std::string(".") : folder);
        return -1;
    }

    // A set that a cut-off save left mixed is refused as a whole: its spans
    // would point into the wrong samples.
    std::string labOnDisk;
    if (findFileName(labPath, &labOnDisk)) {
        if (const auto mixed = mixedFileOfSet(labOnDisk)) {
            m_lastError = "Cannot open " + labPath + ": its word data files are from two different saves (" +
                          *mixed + " does not belong to the others; a save was cut off).";
            return -1;
        }
        std::int64_t labBytes = 0;
        if (isRegularFile(labOnDisk, &labBytes) && labBytes > kLabByteLimit) {
            m_lastError = "Cannot open " + labPath + ": it is very long (" + std::to_string(labBytes) +
                          " bytes; a word table file holds at most " + std::to_string(kLabByteLimit) + ").";
            return -1;
        }
    }

    m_dataName = ffileName;
    m_dialogInitDir.clear();
    const std::string title = fileTitle.size() >= 4 ? fileTitle.substr(0, fileTitle.size() - 4) : std::string();
    m_title = title;
    m_extensions[1] = ".lab";
    m_extensions[2] = ".par";
    m_extensions[3] = ".rec";

    // The table.  An empty or missing .lab leaves an empty store, not the
    // previous vocabulary under the new name.
    std::string labText, found;
    const bool haveLab = findFileName(labPath, &found) && isRegularFile(found) &&
                         readFileWhole(found, &labText, std::size_t(kLabByteLimit)) && !labText.empty();
    if (!haveLab) {
        clearTable();
        wordsChanged();
        m_featureData.clear();
        m_sampleData.clear();
        m_lblFilePar = kNoFileLabel;
        m_lblFileRec = kNoFileLabel;
        return 0;
    }
    std::vector<WordRow> rows = parseLabText(labText, std::size_t(kLabRowLimit));
    if (rows.size() > std::size_t(kLabRowLimit)) {
        m_lastError = "Cannot open " + labPath + ": it holds more than " + std::to_string(kLabRowLimit) + " words.";
        return -1;
    }
    clearTable();
    for (auto& row : rows)
        appendRow(std::move(row));
    wordsChanged();

    // The value files beside it, found whatever the case of their names.
    auto loadValues = [&](const char* ext, std::int64_t valueSize, std::int64_t limit, const char* absentText,
                          std::string* label, auto* data) {
        data->clear();
        const std::string name = title + ext;
        std::string path;
        std::int64_t bytes = 0;
        if (!findFileName(joinPath(listed, name), &path) || !isRegularFile(path, &bytes)) {
            *label = absentText;
            return;
        }
        const std::int64_t count = bytes / valueSize;
        if (count >= limit) {
            *label = name + "   is very long (" + signedDecimal(count) + " B ) . Cannot open it!";
            return;
        }
        std::string raw;
        if (!readFileWhole(path, &raw, std::size_t(limit * valueSize + valueSize))) {
            *label = name + "   cannot be read.";
            return;
        }
        raw.resize(std::size_t(std::min<std::int64_t>(std::int64_t(raw.size()), count * valueSize)));
        using T = typename std::remove_pointer_t<decltype(data)>::value_type;
        if constexpr (std::is_same_v<T, float>)
            *data = featuresFromBytes(raw);
        else
            *data = samplesFromBytes(raw);
        *label = name;
    };
    loadValues(".par", 4, kFeatureValueLimit, kNoFeatureFile, &m_lblFilePar, &m_featureData);
    loadValues(".rec", 2, kSampleValueLimit, kNoSampleFile, &m_lblFileRec, &m_sampleData);
    m_savedFlag = 1;
    return 0;
}

std::int32_t WordDataStore::Save_Data(const std::string& fn)
{
    const std::string labPath = normalizeSeparators(fn);
    if (labPath.size() < 4 || ::strcasecmp(labPath.c_str() + labPath.size() - 4, ".lab") != 0)
        return fail("Cannot save the word data as \"" + fn + "\": the file name must end in .lab.");
    const std::string title = labPath.substr(0, labPath.size() - 4);
    const std::string base = title.substr(title.rfind('/') == std::string::npos ? 0 : title.rfind('/') + 1);
    std::string why;
    if (!checkName(base, NameKind::File, &why))
        return fail("Cannot save the word data: " + why);

    // The three files' contents.
    struct Output {
        std::string path;
        std::string bytes;
        std::string staged;
    };
    std::vector<Output> outputs;
    std::string lab;
    for (std::int32_t r = 1; r < Rows(); ++r) {
        if (m_rows[std::size_t(r)][ColLength] == " 0")
            continue;  // a word without data; the later words are still written
        lab += labLine(m_rows[std::size_t(r)]);
    }
    outputs.push_back({labPath, std::move(lab), {}});
    if (featureCount() != 0)
        outputs.push_back({title + ".par", featureBytes(m_featureData), {}});
    if (sampleCount() > 0)
        outputs.push_back({title + ".rec", sampleBytes(m_sampleData), {}});

    std::int64_t labRows = 0;
    for (char c : outputs[0].bytes)
        labRows += c == '\n' ? 1 : 0;
    if (labRows > kLabRowLimit || std::int64_t(outputs[0].bytes.size()) > kLabByteLimit)
        return fail("Cannot save the word data: its table would be too large to open again (more than " +
                    std::to_string(kLabRowLimit) + " words or " + std::to_string(kLabByteLimit) + " bytes).");

    // All or none: every file is first written whole under a hidden staging
    // name beside its target, then the staged files replace the targets.  The
    // targets are kept under hidden names (hard links) until all are replaced,
    // so that a failed replacement puts them back; a marker lists the new set
    // while the replacements run (see mixedFileOfSet).
    for (auto& o : outputs) {
        o.path = resolveFileName(o.path);
        struct stat st;
        if (::lstat(o.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            return fail("Cannot save the word data: " + o.path + " is not a file.");
    }
    const std::string folder = folderPart(outputs[0].path);
    removeStaleTemporaries(folder.empty() ? std::string(".") : folder.substr(0, folder.size() > 1 ? folder.size() - 1 : 1));
    std::vector<std::string> kept(outputs.size());  // the old files' hidden links ("" none)
    const std::string marker = unfinishedSaveMarker(outputs[0].path);
    auto cleanUp = [&]() {
        for (auto& o : outputs)
            if (!o.staged.empty())
                ::unlink(o.staged.c_str());
        for (const auto& k : kept)
            if (!k.empty())
                ::unlink(k.c_str());
    };
    std::string markerText;
    for (auto& o : outputs) {
        const std::string name = o.path.substr(folderPart(o.path).size());
        const std::string staged = folderPart(o.path) + temporaryPrefix(name) + "save";
        if (!writeFileWhole(staged, o.bytes, &why)) {
            cleanUp();
            return fail("Cannot save the word data: " + why);
        }
        o.staged = staged;
        struct stat st;
        if (::stat(o.path.c_str(), &st) == 0)
            ::chmod(staged.c_str(), st.st_mode & 07777);  // the replaced file keeps its mode
        markerText += name + "\t" + std::to_string(o.bytes.size()) + "\t" + std::to_string(checksum(o.bytes)) + "\n";
    }
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const std::string& target = outputs[k].path;
        if (::access(target.c_str(), F_OK) != 0)
            continue;
        const std::string link = folderPart(target) + temporaryPrefix(target.substr(folderPart(target).size())) + "prev";
        ::unlink(link.c_str());
        if (::link(target.c_str(), link.c_str()) != 0) {
            const std::string err = std::strerror(errno);
            cleanUp();
            return fail("Cannot save the word data: cannot keep " + target + " while it is replaced: " + err);
        }
        kept[k] = link;
    }
    if (!writeFileWhole(marker, markerText, &why)) {
        cleanUp();
        return fail("Cannot save the word data: " + why);
    }
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        int err = g_saveStepHook ? g_saveStepHook(k) : 0;
        if (err == 0 && ::rename(outputs[k].staged.c_str(), outputs[k].path.c_str()) != 0)
            err = errno;
        if (err != 0) {
            // Put back what was replaced; the marker stays only when that fails too.
            bool restored = true;
            for (std::size_t j = 0; j < k; ++j) {
                if (!kept[j].empty()) {
                    if (::rename(kept[j].c_str(), outputs[j].path.c_str()) == 0)
                        kept[j].clear();
                    else
                        restored = false;
                } else if (::unlink(outputs[j].path.c_str()) != 0) {
                    restored = false;
                }
            }
            if (restored) {
                cleanUp();
                ::unlink(marker.c_str());
            } else {
                // The old files' links are all that is left of them: kept.
                for (auto& o : outputs)
                    if (!o.staged.empty())
                        ::unlink(o.staged.c_str());
            }
            return fail("Cannot save the word data: cannot replace " + outputs[k].path + ": " + std::strerror(err));
        }
        outputs[k].staged.clear();
    }
    // The new set is complete: the marker and the old files go.
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    ::unlink(marker.c_str());
    cleanUp();

    m_dialogFileName = fn;
    m_dataName = fn;
    m_title = title;
    if (featureCount() != 0)
        m_lblFilePar = title + ".par";
    if (sampleCount() > 0)
        m_lblFileRec = title + ".rec";
    m_savedFlag = 1;
    return 0;
}

std::int32_t WordDataStore::SaveFiles(const std::string& fn, const std::string& /*ft*/)
{
    const std::int32_t r = Save_Data(fn);
    if (r == 0)
        m_dialogFileName = fn;
    return r;
}

std::int32_t WordDataStore::SaveVocabulary()
{
    if (m_savedFlag != 1 || m_dataName.empty())
        return 1;
    return Save_Data(m_dataName);
}

std::int32_t WordDataStore::NewVoc(std::int32_t n)
{
    if (n < 0)
        return fail("A vocabulary cannot have " + std::to_string(n) + " words.");
    clearTable();
    for (std::int32_t k = 0; k < n; ++k)
        appendRow({signedDecimal(std::int64_t(k) + 1), signedDecimal(std::int64_t(k)), " 0", " 0", kNoNameCell});
    wordsChanged();
    m_savedFlag = 0;
    m_featureData.clear();  // the arrays keep their memory
    m_sampleData.clear();
    return 0;
}

std::int32_t WordDataStore::CopyVector(std::span<float> d, std::int32_t sd, std::int32_t n, std::span<const float> s,
                                       std::int32_t sS)
{
    return copyValues(d, sd, n, s, sS);
}

std::int32_t WordDataStore::CopySample(std::span<std::int16_t> d, std::int32_t sd, std::int32_t n,
                                       std::span<const std::int16_t> s, std::int32_t sS)
{
    return copyValues(d, sd, n, s, sS);
}

// ---------------------------------------------------------------- word exchange

WordDataStore::Delivery WordDataStore::lookUp(std::int32_t& i, std::span<float> v, std::span<std::int16_t> s,
                                              std::int32_t& nFrames, std::string& name, std::int32_t& statusVoc) const
{
    Delivery delivered;
    std::int32_t status = WordDelivered;
    if (i > Rows() - 1) {
        i = Rows() - 1;
        status = WordNumberBeyond;
    }
    if (i < 1) {
        i = 1;
        status = WordNumberBelow;
    }
    if (Rows() < 2) {  // no word at all: nothing to read
        nFrames = 0;
        name.clear();
        statusVoc = WordNumberBelow;
        return delivered;
    }
    const Span sp = span(i);
    name = cell(i, ColName);
    if (sp.frames < 1) {
        nFrames = 0;
        statusVoc = WordHasNoData;
        return delivered;
    }
    nFrames = std::int32_t(std::min<std::int64_t>(sp.frames, std::numeric_limits<std::int32_t>::max()));
    if (featureCount() < 1) {
        statusVoc = NoFeaturesLoaded;
        return delivered;
    }
    const std::int64_t fStart = m_featuresPerFrame * sp.offset, fLen = m_featuresPerFrame * sp.frames;
    if (sp.offset >= 0 && fStart + fLen <= featureCount() && fLen <= std::int64_t(v.size())) {
        std::copy_n(m_featureData.begin() + fStart, fLen, v.begin());
        delivered.features = true;
    } else {
        status = FeaturesOutOfRange;
    }
    const std::int64_t sStart = m_frameShift * sp.offset, sLen = m_frameShift * sp.frames;
    if (sampleCount() < 1) {
        status = NoSamplesLoaded;
    } else if (sp.offset >= 0 && sStart + sLen <= sampleCount() && sLen <= std::int64_t(s.size())) {
        std::copy_n(m_sampleData.begin() + sStart, sLen, s.begin());
        delivered.samples = true;
    } else {
        status = SamplesOutOfRange;
    }
    statusVoc = status;
    return delivered;
}

void WordDataStore::GetWordData(std::int32_t& i, std::span<float> v, std::span<std::int16_t> s, std::int32_t& nFrames,
                                std::string& name, std::int32_t& statusVoc) const
{
    lookUp(i, v, s, nFrames, name, statusVoc);
}

void WordDataStore::GetWordData(WordData& word, std::int32_t& statusVoc) const
{
    // Room for the word's span, but never more than the loaded data, so a
    // corrupt length cell cannot ask for memory beyond it.
    const std::int32_t row = std::clamp(word.i, 1, std::max(1, Rows() - 1));
    const Span sp = Rows() > 1 ? span(row) : Span{};
    const std::int64_t frames = sp.frames > 0 ? sp.frames : 0;
    std::vector<float> v(std::size_t(std::min<std::int64_t>(m_featuresPerFrame * frames, featureCount())));
    std::vector<std::int16_t> s(std::size_t(std::min<std::int64_t>(m_frameShift * frames, sampleCount())));
    const Delivery got = lookUp(word.i, v, s, word.nFrames, word.name, statusVoc);
    word.v = got.features ? std::move(v) : std::vector<float>();
    word.s = got.samples ? std::move(s) : std::vector<std::int16_t>();
}

std::int32_t WordDataStore::PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                                        std::int32_t nFrames, const std::string& name)
{
    const std::string what = "Cannot store word " + std::to_string(i) + ": ";
    if (i < 1 || i > Rows() - 1)
        return fail(what + "the table has " + (Rows() > 1 ? "words 1 to " + std::to_string(Rows() - 1) : "no words")
                    + ".");
    const std::int64_t margins = 2 * std::int64_t(m_marginFrames);
    if (nFrames < 0 || (nFrames > 0 && nFrames <= margins))
        return fail(what + std::to_string(nFrames) + " frames hold no word between the " + std::to_string(margins)
                    + " margin frames.");
    const std::int64_t fpf = m_featuresPerFrame, spf = m_frameShift;
    if (std::int64_t(v.size()) < fpf * nFrames || std::int64_t(s.size()) < spf * nFrames)
        return fail(what + "the word's data is shorter than " + std::to_string(nFrames) + " frames.");
    if (hasControlCharacter(name))
        return fail(what + "its name holds a control character.");
    const Span old = span(i);
    if (old.offset < 0 || fpf * (old.offset + old.frames) > featureCount()
        || spf * (old.offset + old.frames) > sampleCount())
        return fail(what + "its stored span (offset " + std::to_string(old.offset) + ", "
                    + std::to_string(old.frames) + " frames) lies outside the loaded data.");
    const std::int64_t d = nFrames - old.frames;
    // The store never grows past what its files can be opened with again: a
    // saved .par or .rec at the limits would be refused by the next opening.
    const std::int64_t newFeatures = featureCount() + fpf * d, newSamples = sampleCount() + spf * d;
    if (d > 0 && (newFeatures >= kFeatureValueLimit || newSamples >= kSampleValueLimit))
        return fail(what + "the word data would hold " + std::to_string(newFeatures) + " feature values and "
                    + std::to_string(newSamples) + " samples, and files of " + std::to_string(kFeatureValueLimit)
                    + " feature values or " + std::to_string(kSampleValueLimit)
                    + " samples cannot be opened again.");

    // The caller's arrays may be views of this store's own data, which the
    // moves below change: take a copy first then.
    auto overlaps = [](const auto* p, std::size_t n, const auto& data) {
        using T = std::remove_cvref_t<decltype(*p)>;
        const auto at = reinterpret_cast<std::uintptr_t>(p), begin = reinterpret_cast<std::uintptr_t>(data.data());
        return n > 0 && !data.empty() && at < begin + data.size() * sizeof(T) && begin < at + n * sizeof(T);
    };
    const std::size_t fNew = std::size_t(fpf * nFrames), sNew = std::size_t(spf * nFrames);
    std::vector<float> vCopy;
    std::vector<std::int16_t> sCopy;
    const float* vFrom = v.data();
    const std::int16_t* sFrom = s.data();
    if (overlaps(vFrom, fNew, m_featureData)) {
        vCopy.assign(vFrom, vFrom + fNew);
        vFrom = vCopy.data();
    }
    if (overlaps(sFrom, sNew, m_sampleData)) {
        sCopy.assign(sFrom, sFrom + sNew);
        sFrom = sCopy.data();
    }

    replaceSpan(m_featureData, std::size_t(fpf * old.offset), std::size_t(fpf * old.frames), vFrom, fNew);
    replaceSpan(m_sampleData, std::size_t(spf * old.offset), std::size_t(spf * old.frames), sFrom, sNew);
    auto& row = m_rows[std::size_t(i)];
    row[ColName] = name;
    row[ColLength] = signedDecimal(std::int64_t(nFrames) - margins);
    // Every later row's offset moves by the difference (its cell is written
    // anew in signed decimal text even when the difference is 0).
    for (std::int32_t r = i + 1; r < Rows(); ++r)
        m_rows[std::size_t(r)][ColOffset] = signedDecimal(cellNumber(m_rows[std::size_t(r)][ColOffset]) + d);
    return 0;
}

std::int32_t WordDataStore::PutWordData(const WordData& word)
{
    return PutWordData(word.i, word.v, word.s, word.nFrames, word.name);
}

void WordDataStore::GetWordNames(std::vector<std::string>& t, std::int32_t& n) const
{
    n = Rows() - 1;
    if (t.size() < std::size_t(n) + 1)
        t.resize(std::size_t(n) + 1);
    for (std::int32_t k = 1; k <= n; ++k)
        t[std::size_t(k)] = cell(k, ColName);
}

std::int32_t WordDataStore::NewLab(const std::string& vocPathName, const std::string& /*labName*/)
{
    Vocabulary vocabulary;
    std::string why;
    if (!readVocabularyFile(vocPathName + ".VOC", &vocabulary, &why))
        return fail(why);
    return SetNewVoc(vocabularyWords(vocabulary), std::int32_t(vocabulary.size()));
}

std::int32_t WordDataStore::SetNewVoc(const std::vector<std::string>& words, std::int32_t nWords)
{
    if (nWords < 0 || std::size_t(nWords) > words.size())
        return fail("Cannot make a table of " + std::to_string(nWords) + " words from " + std::to_string(words.size())
                    + " names.");
    for (std::int32_t k = 0; k < nWords; ++k)
        if (hasControlCharacter(words[std::size_t(k)]))
            return fail("Cannot use the word \"" + words[std::size_t(k)] + "\": it holds a control character.");
    NewVoc(nWords);
    for (std::int32_t k = 1; k <= nWords; ++k)
        m_rows[std::size_t(k)][ColName] = words[std::size_t(k - 1)];
    return 0;
}

}  // namespace talvor::worddata

#pragma once
// The word data store of the word data editor: one vocabulary's recorded words
// in memory, and their word data files (WordDataFiles.h).
//
// The word table has a header row 0 ("index", "ident", "length", "offset",
// "name") and one row per word, 1 to Rows() - 1.  Cells are text; numbers stand
// in signed decimal text (" 0", " 41", "-20").  A word's stored span is its
// feature frames and samples including 10 margin frames on each side: with
// L = length + 20 when length > 0 (else 0), frames offset .. offset + L - 1,
// i.e. featureData[20 * offset ..] and sampleData[80 * offset ..].  Spans
// follow each other in row order.
//
// Every instance is independent: the signal analyser and the HMM viewer each
// keep their own.  Nothing throws; operations report by status (0 success)
// and, for failures, a message in lastError() that also goes to the message
// output when one is set.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "worddata/WordDataFiles.h"

namespace talvor::worddata {

inline constexpr const char* kWordTableHeaders[kWordTableColumns] = {"index", "ident", "length", "offset", "name"};
inline constexpr const char* kUntitled = "(untitled)";
inline constexpr const char* kNoFileLabel = "none";
inline constexpr const char* kNoNameCell = "(none)";
inline constexpr const char* kNoFeatureFile = "File with parameters is not supported.";
inline constexpr const char* kNoSampleFile = "File with signal record is not supported.";
// Files holding this many values or more are not read.
inline constexpr std::int32_t kFeatureValueLimit = 1000000;
inline constexpr std::int32_t kSampleValueLimit = 4000000;
// A .lab file larger than this, or of more word rows, is not read (a saved
// table holds only words with data, at most a few thousand within the value
// limits; a row takes at most a few hundred bytes).
inline constexpr std::int64_t kLabByteLimit = std::int64_t(4) << 20;
inline constexpr std::int32_t kLabRowLimit = 10000;

// Status codes of GetWordData.
enum WordStatus : std::int32_t {
    WordNumberBelow = -2,      // i was below 1 (or the table is empty); i := 1
    WordNumberBeyond = -1,     // i was beyond the last word; i := Rows() - 1
    WordDelivered = 0,         // features, samples, frame count and name
    WordHasNoData = 1,         // length below 1: nFrames := 0, name only
    NoFeaturesLoaded = 2,      // nFrames and name; samples not tried
    FeaturesOutOfRange = 3,    // span beyond the feature values (or the caller's room)
    NoSamplesLoaded = 4,       // after 0 or 3
    SamplesOutOfRange = 5,     // span beyond the samples (or the caller's room), after 0 or 3
};

// One word as passed between the store and its users.
struct WordData {
    std::int32_t i = 0;              // word number = table row, 1-based
    std::vector<float> v;            // 20 x nFrames feature values, frame after frame
    std::vector<std::int16_t> s;     // 80 x nFrames samples
    std::int32_t nFrames = 0;        // frames, the 10 margin frames at each end included
    std::string name;
};

// Where failure messages go (the editor shows them in message boxes).
class MessageOutput {
public:
    virtual ~MessageOutput();
    virtual void showError(const std::string& text) = 0;
};

class WordDataStore {
public:
    WordDataStore();  // 20 features and 80 samples per frame, 10 margin frames, NewVoc(1)

    // --- table ---
    std::int32_t Rows() const { return std::int32_t(m_rows.size()); }
    const std::string& cell(std::int32_t row, int column) const;  // "" outside the table
    std::int32_t currentRow() const { return m_currentRow; }
    void setCurrentRow(std::int32_t row);  // kept inside 1 .. Rows() - 1

    // --- fields ---
    std::int32_t featuresPerFrame() const { return m_featuresPerFrame; }
    std::int32_t frameShift() const { return m_frameShift; }
    std::int32_t marginFrames() const { return m_marginFrames; }
    const std::vector<float>& featureData() const { return m_featureData; }
    std::int32_t featureCount() const { return std::int32_t(m_featureData.size()); }
    const std::vector<std::int16_t>& sampleData() const { return m_sampleData; }
    std::int32_t sampleCount() const { return std::int32_t(m_sampleData.size()); }
    const std::string& dataName() const { return m_dataName; }
    std::int32_t savedFlag() const { return m_savedFlag; }
    // Extension table: 1 ".lab", 2 ".par", 3 ".rec" after an opening; "" otherwise.
    const std::string& extension(int index) const;

    // --- label texts ---
    const std::string& lblName() const { return m_title; }      // the data's title
    const std::string& lblWords() const { return m_lblWords; }  // number of words
    const std::string& lblFilePar() const { return m_lblFilePar; }
    const std::string& lblFileRec() const { return m_lblFileRec; }
    // The file dialog's file name ("*.lab" until a save sets it) and starting
    // folder (cleared by each opening).
    const std::string& dialogFileName() const { return m_dialogFileName; }
    const std::string& dialogInitDir() const { return m_dialogInitDir; }
    void setDialogInitDir(const std::string& folder) { m_dialogInitDir = folder; }

    // --- files ---
    // Opens the .lab file `ffileName` (full path) whose name is `fileTitle`
    // (name with extension), and the .par/.rec files beside it.  0 done (also
    // for an empty or missing .lab, which leaves an empty table); -1 no name,
    // the folder cannot be listed, the .lab is beyond kLabByteLimit or
    // kLabRowLimit, or the three files are from two different saves (a save
    // was cut off between its renames): the store is left as it was and
    // lastError() says why.
    std::int32_t Open_Data(const std::string& ffileName, const std::string& fileTitle);
    // Writes the .lab file `fn` and, when they hold data, the .par and .rec
    // files beside it, all or none: each is written whole under a hidden
    // temporary name, then they replace the old files one by one; when a
    // replacement fails the files already replaced are put back.  A save cut
    // off between its replacements (a crash) leaves a hidden marker by which
    // Open_Data refuses the mixed set.  Rows whose length reads " 0" are not
    // written.  0 done; -1 with nothing written and nothing changed.
    std::int32_t Save_Data(const std::string& fn);
    // Tests only: called before each staged file replaces its target (step 0
    // the .lab, then the .par and .rec that are written); a non-zero result is
    // taken as the errno of a failed replacement.  Empty: none.
    using SaveStepHook = std::function<int(std::size_t step)>;
    static void setSaveStepHookForTesting(SaveStepHook hook);
    // Save_Data with `fn`; `ft` is not used.
    std::int32_t SaveFiles(const std::string& fn, const std::string& ft);
    // The editor's plain save: after an opening or saving, Save_Data under the
    // store's own file name (0 or -1); otherwise 1: a name must be asked for.
    std::int32_t SaveVocabulary();
    // A new table of n empty words, both counts 0.  -1 for n < 0.
    std::int32_t NewVoc(std::int32_t n);

    // d[sd + k] := s[sS + k] for k = 0 .. n-1 in rising order (n > 0), or
    // k = -n-1 .. 0 in falling order (n < 0), so data can move to higher
    // indices inside one array.  Bit for bit.  -1 (nothing copied) when an
    // index lies outside either array.
    static std::int32_t CopyVector(std::span<float> d, std::int32_t sd, std::int32_t n, std::span<const float> s,
                                   std::int32_t sS);
    static std::int32_t CopySample(std::span<std::int16_t> d, std::int32_t sd, std::int32_t n,
                                   std::span<const std::int16_t> s, std::int32_t sS);

    // --- word exchange ---
    // Hands out word i (corrected into the table, see WordStatus) into the
    // caller's arrays from index 0.  Values are copied only when the whole span
    // lies inside the loaded data and fits the caller's array.
    void GetWordData(std::int32_t& i, std::span<float> v, std::span<std::int16_t> s, std::int32_t& nFrames,
                     std::string& name, std::int32_t& statusVoc) const;
    // Same into a WordData (word.i in and out), whose arrays hold what was
    // delivered and are empty otherwise.
    void GetWordData(WordData& word, std::int32_t& statusVoc) const;
    // Replaces word i by nFrames frames (margins included) of v and s, moving
    // the later words' data and offsets; 0 frames removes the word's data.  0
    // done; -1 (store unchanged) for a word number outside the table, a frame
    // count of 1 to 20, arrays shorter than 20 / 80 x nFrames, a name with a
    // control character, an old span outside the loaded data, or a word that
    // would make the data reach the value limits of the files (which could
    // then not be opened again).  v and s may be views of the store's own data.
    std::int32_t PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                             std::int32_t nFrames, const std::string& name);
    std::int32_t PutWordData(const WordData& word);
    // n := number of words; t[k] := name of row k for k = 1..n (t grows as
    // needed; t[0] is not touched).
    void GetWordNames(std::vector<std::string>& t, std::int32_t& n) const;
    // A new table from the vocabulary file vocPathName + ".VOC" (found whatever
    // the case): one empty word per entry, named by it.  -1 (store unchanged)
    // when the file is missing or short.  labName is not used.
    std::int32_t NewLab(const std::string& vocPathName, const std::string& labName);
    // A new table of nWords words named words[0 .. nWords-1].  -1 (unchanged)
    // when words holds fewer names or a name has a control character.
    std::int32_t SetNewVoc(const std::vector<std::string>& words, std::int32_t nWords);

    // --- row edits (the editor window's insert, append and remove) ---
    // A new empty word after the last row: index and ident one above the last
    // row's, length " 0", offset just past the last row's span, no name; on an
    // empty table the row " 1", " 0", " 0", " 0", "".  It becomes the current row.
    void AppendWord();
    // A new empty word before row r: it takes row r's index, ident and offset
    // (so it points at the start of r's span), with length " 0" and no name;
    // the rows below it get index + 1 and ident + 1.  On an empty table as
    // AppendWord.  The new row becomes the current row.  -1 (nothing changed)
    // for r outside the table.
    std::int32_t InsertWord(std::int32_t r);
    // Takes word r's data out (PutWordData with 0 frames), then its row; the
    // later rows keep their index and ident cells.  -1 (nothing changed) when
    // r is outside the table or the store refuses to take the data out (its
    // message is in lastError()).
    std::int32_t RemoveWord(std::int32_t r);

    // --- failures ---
    const std::string& lastError() const { return m_lastError; }
    void setMessageOutput(MessageOutput* output) { m_messages = output; }  // not owned; null: none
    MessageOutput* messageOutput() const { return m_messages; }

private:
    struct Span {
        std::int64_t offset = 0;  // first frame
        std::int64_t frames = 0;  // L: length + 2 margins, or 0
    };
    Span span(std::int32_t row) const;
    struct Delivery {
        bool features = false;
        bool samples = false;
    };
    Delivery lookUp(std::int32_t& i, std::span<float> v, std::span<std::int16_t> s, std::int32_t& nFrames,
                    std::string& name, std::int32_t& statusVoc) const;
    std::int32_t fail(const std::string& text);
    void clearTable();
    void appendRow(WordRow row);
    void wordsChanged();

    std::int32_t m_featuresPerFrame = 20;
    std::int32_t m_frameShift = 80;
    std::int32_t m_marginFrames = 10;
    std::vector<WordRow> m_rows;  // row 0 is the header
    std::int32_t m_currentRow = 0;
    std::vector<float> m_featureData;
    std::vector<std::int16_t> m_sampleData;
    std::string m_dataName;
    std::string m_title = kUntitled;
    std::int32_t m_savedFlag = 0;
    std::string m_extensions[4];
    std::string m_lblWords;
    std::string m_lblFilePar = kNoFileLabel;
    std::string m_lblFileRec = kNoFileLabel;
    std::string m_dialogFileName = "*.lab";
    std::string m_dialogInitDir;
    std::string m_lastError;
    MessageOutput* m_messages = nullptr;
};

// The number a cell starts with, rounded to the nearest whole number (halves
// to even); 0 when it starts with no number.
std::int64_t cellNumber(const std::string& text);

}  // namespace talvor::worddata

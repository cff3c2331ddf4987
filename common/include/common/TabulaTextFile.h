#pragma once
// TabulaTextFile: the one reader and writer of the system's small text files
// (experiment files, help captions, vocabulary lists, colour schemes, the
// run-time result file).
//
// Reading: the whole file is held as one buffer; ReadNextData returns one token
// at a time.  Tokens are separated by runs of blanks, TABs, CRs and LFs; a token
// that begins with a double quote runs to the next double quote and may hold
// separators.  There is no escape for a quote inside a quoted token.
//
// Writing: PrintToString appends items (numbers in the shortest decimal form,
// strings quoted when they hold a separator), each followed by its separator;
// SaveStringToFile writes the buffer and a final CR LF as the file's whole
// content.
//
// Result codes: 0 success (for the token reader: the 1-based start of the
// token), -1 failure or end of text.  Nothing throws.
//
// Text the reader could not read back the same is refused: a string holding a
// double quote makes PrintToString return -1, and the object then refuses to
// save (-1) until the buffer is replaced (PrintFirstString, MyString, or new
// input).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace talvor {

// InputFromFile refuses (-1) a file larger than this: positions are 32-bit and
// the system's text files are small.
inline constexpr std::size_t kTextFileLimit = std::size_t(64) << 20;

// An untyped value of ReadNext / PrintToString.  For reading, the caller presets
// each element's type; the token is converted to it.
using TextValue = std::variant<double, float, std::int32_t, std::int16_t, bool, std::string>;

class TabulaTextFile {
public:
    enum Mode : std::int32_t { New = 0, Reading = 1, Writing = 2 };

    std::int32_t InputFromFile(const std::string& fileName);
    std::int32_t InputFromString(const std::string& text, std::int32_t startPos = 1);

    const std::string& MyString() const { return m_buffer; }
    void MyString(const std::string& text);
    std::int32_t MyLen() const { return m_position - 1; }
    std::int32_t startPos(std::int32_t xStartPos);

    std::int32_t ReadNext(std::vector<TextValue>& values);
    std::int32_t ReadNextSingle(double& x);
    std::int32_t ReadNextData(std::string& text);

    std::int32_t PrintToString(const TextValue& dat, const std::optional<std::string>& txtFormat = std::nullopt);
    std::int32_t PrintToStrAll(const std::vector<TextValue>& text);
    std::int32_t PrintFirstString(const std::string& text, const std::optional<std::string>& txtFormat = std::nullopt);
    std::int32_t SaveStringToFile(const std::string& fileName);

    std::int32_t mode() const { return m_mode; }
    std::int32_t position() const { return m_position; }
    std::int32_t length() const { return std::int32_t(m_buffer.size()); }

    // The item text PrintToString writes for a value; false when it cannot be
    // written so that it reads back the same (a string holding a double quote).
    static bool itemText(const TextValue& dat, std::string* out);

private:
    std::string m_buffer;
    std::int32_t m_position = 1;
    std::int32_t m_mode = New;
    bool m_refused = false;  // an item was refused since the buffer was replaced
};

}  // namespace talvor

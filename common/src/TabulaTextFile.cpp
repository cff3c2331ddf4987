#include "common/TabulaTextFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/FileNames.h"
#include "common/NumberText.h"

namespace talvor {

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool readBoolean(const std::string& s)
{
    std::string t;
    for (char c : s)
        t += char(std::tolower(static_cast<unsigned char>(c)));
    if (t == "true")
        return true;
    if (t == "false")
        return false;
    return leadingNumber(s) != 0;
}

}  // namespace

std::int32_t TabulaTextFile::InputFromFile(const std::string& fileName)
{
    std::string bytes;
    if (!readFileWhole(fileName, &bytes, kTextFileLimit))
        return -1;
    m_buffer = std::move(bytes);
    m_position = 1;
    m_mode = Reading;
    m_refused = false;
    return 0;
}

std::int32_t TabulaTextFile::InputFromString(const std::string& text, std::int32_t startPos)
{
    if (text.empty() || text.size() > kTextFileLimit)
        return -1;
    m_buffer = text;
    const auto len = std::int32_t(m_buffer.size());
    m_position = (startPos >= 1 && startPos <= len) ? startPos : 1;
    m_mode = Reading;
    m_refused = false;
    return 0;
}

void TabulaTextFile::MyString(const std::string& text)
{
    m_buffer = text;
    m_position = 1;
    m_refused = false;  // the refused item is no longer in the buffer
}

std::int32_t TabulaTextFile::startPos(std::int32_t xStartPos)
{
    if (m_mode != Reading || xStartPos < 1 || xStartPos > length())
        return -1;
    m_position = xStartPos;
    return xStartPos;
}

std::int32_t TabulaTextFile::ReadNextData(std::string& text)
{
    if (m_mode != Reading)
        return -1;
    text.clear();
    const std::int32_t len = length();
    // Positions are 1-based; the character at p is m_buffer[p - 1].
    auto at = [&](std::int32_t p) { return m_buffer[std::size_t(p - 1)]; };
    while (m_position <= len && isSeparator(at(m_position)))
        ++m_position;
    if (m_position > len)
        return -1;
    const std::int32_t start = m_position;
    for (;;) {
        // The end of the buffer ends a token like a separator, so a file that
        // ends without a line end keeps its last token.
        if (m_position > len)
            return start;
        const char c = at(m_position);
        if (isSeparator(c)) {
            ++m_position;
            return start;
        }
        if (c != '"') {
            text += c;
            ++m_position;
            continue;
        }
        // A quoted token: the text up to the next quote replaces what was
        // collected; the closing quote is consumed, also for an empty "".
        const auto q = m_buffer.find('"', std::size_t(m_position));  // 0-based index after the opening quote
        if (q != std::string::npos) {
            text = m_buffer.substr(std::size_t(m_position), q - std::size_t(m_position));
            m_position = std::int32_t(q) + 2;
        } else {
            ++m_position;  // an unmatched quote: nothing taken
        }
        return start;
    }
}

std::int32_t TabulaTextFile::ReadNext(std::vector<TextValue>& values)
{
    std::int32_t r = -1;
    for (auto& v : values) {
        std::string s;
        r = ReadNextData(s);
        if (r < 0)
            break;
        std::visit(
            [&](auto& element) {
                using T = std::decay_t<decltype(element)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    element = s;
                } else if constexpr (std::is_same_v<T, bool>) {
                    element = readBoolean(s);
                } else if constexpr (std::is_same_v<T, double>) {
                    element = leadingNumber(s);
                } else if constexpr (std::is_same_v<T, float>) {
                    element = float(leadingNumber(s));
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    element = roundHalfEven(leadingNumber(s));
                } else {
                    element = std::int16_t(std::clamp(roundHalfEven(leadingNumber(s)), -32768, 32767));
                }
            },
            v);
    }
    return r;
}

std::int32_t TabulaTextFile::ReadNextSingle(double& x)
{
    std::string s;
    const std::int32_t r = ReadNextData(s);
    x = leadingNumber(s);
    return r;
}

bool TabulaTextFile::itemText(const TextValue& dat, std::string* out)
{
    return std::visit(
        [&](const auto& v) -> bool {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                if (v.find('"') != std::string::npos)
                    return false;
                const bool quote = v.empty() || v.find_first_of(" \t\r\n") != std::string::npos;
                *out = quote ? "\"" + v + "\"" : v;
            } else if constexpr (std::is_same_v<T, bool>) {
                *out = v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, double>) {
                *out = numberText(v, 15);
            } else if constexpr (std::is_same_v<T, float>) {
                *out = numberText(v);
            } else {
                *out = std::to_string(v);
            }
            return true;
        },
        dat);
}

std::int32_t TabulaTextFile::PrintToString(const TextValue& dat, const std::optional<std::string>& txtFormat)
{
    std::string s;
    if (!itemText(dat, &s)) {
        m_refused = true;
        return -1;
    }
    m_buffer += s;
    if (txtFormat)
        m_buffer += *txtFormat;
    m_mode = Writing;
    return 0;
}

std::int32_t TabulaTextFile::PrintToStrAll(const std::vector<TextValue>& text)
{
    // Every element is an item, also one that equals a separator (" ", TAB,
    // CR LF): it is quoted like any text holding a separator, so that it reads
    // back as itself instead of vanishing between its neighbours.
    std::int32_t status = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::optional<std::string> sep;
        if (i + 1 < text.size())
            sep = std::string("\t");
        if (PrintToString(text[i], sep) != 0)
            status = -1;
    }
    m_buffer += "\r\n";
    m_mode = Writing;
    return status;
}

std::int32_t TabulaTextFile::PrintFirstString(const std::string& text, const std::optional<std::string>& txtFormat)
{
    std::string s;
    m_refused = false;
    if (!itemText(TextValue(text), &s)) {
        m_refused = true;
        m_buffer.clear();
        m_mode = Writing;
        return -1;
    }
    m_buffer = s;
    if (txtFormat)
        m_buffer += *txtFormat;
    m_mode = Writing;
    return 0;
}

std::int32_t TabulaTextFile::SaveStringToFile(const std::string& fileName)
{
    if (m_mode != Writing || m_refused)
        return -1;
    if (!writeFileWhole(fileName, m_buffer + "\r\n"))
        return -1;
    return 0;
}

}  // namespace talvor

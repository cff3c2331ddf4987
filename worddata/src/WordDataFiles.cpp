#include "worddata/WordDataFiles.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace talvor::worddata {

namespace {

template <class T>
std::string toLittleEndian(std::span<const T> values)
{
    std::string out(values.size() * sizeof(T), '\0');
    if constexpr (std::endian::native == std::endian::little) {
        if (!values.empty())
            std::memcpy(out.data(), values.data(), out.size());
    } else {
        for (std::size_t i = 0; i < values.size(); ++i) {
            unsigned char b[sizeof(T)];
            std::memcpy(b, &values[i], sizeof(T));
            for (std::size_t k = 0; k < sizeof(T); ++k)
                out[i * sizeof(T) + k] = char(b[sizeof(T) - 1 - k]);
        }
    }
    return out;
}

template <class T>
std::vector<T> fromLittleEndian(std::string_view bytes)
{
    std::vector<T> out(bytes.size() / sizeof(T));
    if constexpr (std::endian::native == std::endian::little) {
        if (!out.empty())
            std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    } else {
        for (std::size_t i = 0; i < out.size(); ++i) {
            unsigned char b[sizeof(T)];
            for (std::size_t k = 0; k < sizeof(T); ++k)
                b[k] = static_cast<unsigned char>(bytes[i * sizeof(T) + sizeof(T) - 1 - k]);
            std::memcpy(&out[i], b, sizeof(T));
        }
    }
    return out;
}

}  // namespace

std::string labLine(const WordRow& row)
{
    std::string line;
    for (const auto& cell : row) {
        line += cell;
        line += '\t';
    }
    line += "\r\n";
    return line;
}

std::vector<WordRow> parseLabText(std::string_view text, std::size_t maxRows)
{
    std::vector<WordRow> rows;
    std::size_t start = 0;
    while (start < text.size() && rows.size() <= maxRows) {
        // A line ends at CR LF, LF or a lone CR; the empty line between a CR
        // and its LF is skipped below with the other blank lines.
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        WordRow row;
        std::size_t pos = 0;
        for (int c = 0; c < kWordTableColumns && pos <= line.size(); ++c) {
            std::size_t tab = line.find('\t', pos);
            if (tab == std::string_view::npos)
                tab = line.size();
            row[std::size_t(c)] = std::string(line.substr(pos, tab - pos));
            pos = tab + 1;
        }
        // Five blank cells make a blank line when written: no word.
        if (std::all_of(row.begin(), row.end(),
                        [](const std::string& c) { return c.find_first_not_of(" \t") == std::string::npos; }))
            continue;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string featureBytes(std::span<const float> values) { return toLittleEndian(values); }
std::string sampleBytes(std::span<const std::int16_t> values) { return toLittleEndian(values); }
std::vector<float> featuresFromBytes(std::string_view bytes) { return fromLittleEndian<float>(bytes); }
std::vector<std::int16_t> samplesFromBytes(std::string_view bytes) { return fromLittleEndian<std::int16_t>(bytes); }

}  // namespace talvor::worddata

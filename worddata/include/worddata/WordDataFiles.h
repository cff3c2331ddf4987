#pragma once
// The word data files of one recording, all in one folder with one base name:
//
//   <title>.lab  text, one line per word row in table order, no header and no
//                count line: the cells index, ident, length, offset, name, each
//                followed by a TAB, then CR LF:  " 3\t 2\t 41\t 120\tyes\t\r\n"
//   <title>.par  the feature values, little-endian 32-bit IEEE floats, 20 per
//                frame, frames in stored order, no header
//   <title>.rec  the samples, little-endian 16-bit signed, 80 per frame, no header
//
// A value count is the file length divided by the value size, rounded down.

#include <array>
#include <cstdint>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvor::worddata {

constexpr int kWordTableColumns = 5;
enum WordColumn : int { ColIndex = 0, ColIdent = 1, ColLength = 2, ColOffset = 3, ColName = 4 };
using WordRow = std::array<std::string, kWordTableColumns>;

// One .lab line: every cell followed by a TAB, then CR LF.
std::string labLine(const WordRow& row);

// The rows of a .lab text.  Lines end at CR LF, LF or a lone CR, cells
// are split at TABs, the empty field after the last TAB is ignored, missing
// cells are empty and cells beyond the fifth are dropped.  Blank lines, and
// lines whose first five cells are blank, hold no word and are skipped.  Parsing stops after maxRows + 1 rows, so a caller
// can tell a text of too many rows without holding all of them.
std::vector<WordRow> parseLabText(std::string_view text, std::size_t maxRows = SIZE_MAX);

// Raw value files, little-endian whatever the machine.
std::string featureBytes(std::span<const float> values);
std::string sampleBytes(std::span<const std::int16_t> values);
std::vector<float> featuresFromBytes(std::string_view bytes);
std::vector<std::int16_t> samplesFromBytes(std::string_view bytes);

}  // namespace talvor::worddata

#pragma once
// Colour schemes: the display settings as a named text file <name>.sc1 in the
// program folder, and the arithmetic of the Properties dialog's fields.
//
// Layout (CR LF line ends), the scheme name on line 1, then a label, a TAB
// and a value on each of 16 lines, then an empty line:
//   the six scale fields ("X - grid step:" ... "Gaps between models:") with
//   grStpX, grStpY, grStpR, grpsh, leftGraphPos, modelGap;
//   the ten role names in role list order, with the colours in the order
//   clrState, clrStateV, clrStateBorder, clrStateBPrath, clrStateLMax,
//   clrStateMax, clrStatePath, clrModelSheetBorder, clrModelText,
//   clrModelTextBorder (so the labels of lines 9, 10, 12, 13 and 14 do not
//   name the colour that follows them: only the value order binds).
// Labels with a blank stand in double quotes.  Readers skip the labels.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hmmview/DisplaySettings.h"

namespace talvor::hmmview {

inline constexpr const char* kSchemeExtension = ".sc1";
// The scale fields accept 1 .. 2000.
constexpr std::int32_t kScaleMin = 1;
constexpr std::int32_t kScaleMax = 2000;

// The captions of the six scale fields, in field order.
const std::array<std::string_view, 6>& scaleLabels();

// The scheme file's text; nothing when the name cannot be written (it holds
// a double quote).
std::optional<std::string> schemeText(const std::string& name, const DisplaySettings& settings);

// Reads a scheme's values into `settings` in file order: the name, then label
// and value pairs.  A text that ends early (or a value that is not a number)
// leaves the remaining values as they were.  Scale values are clamped to
// 1 .. 2000 (and rounded for the whole-number ones).  Returns the number of
// values read.
int parseSchemeText(std::string_view text, DisplaySettings& settings);

// The value of scale field k (0..5) and setting it (clamped to 1..2000).
double scaleField(const DisplaySettings& settings, int k);
void setScaleField(DisplaySettings& settings, int k, double value);

// The grid slider: with value v and t twips a pixel, grStpX = grStpY =
// round(2 t (v + 1)), grStpR = 5 v, grpsh = round(4 t v).
void gridFromSlider(DisplaySettings& settings, int v, int twipsPerPixel);

// The schemes of a program folder: its *.sc1 files (extension in any case),
// by name without the extension, sorted ignoring case.
std::vector<std::string> listSchemes(const std::string& appPath);
// Writes <appPath>/<name>.sc1 whole.  False with a reason for a name the
// project's file-name check refuses or a failed write.
bool saveScheme(const std::string& appPath, const std::string& name, const DisplaySettings& settings,
                std::string* error = nullptr);
// Reads <appPath>/<name>.sc1 (found whatever the case); false (settings
// unchanged) when it cannot be read or the name is refused.
bool loadScheme(const std::string& appPath, const std::string& name, DisplaySettings& settings,
                std::string* error = nullptr);
// Deletes <appPath>/<name>.sc1; false with a reason when it cannot.
bool deleteScheme(const std::string& appPath, const std::string& name, std::string* error = nullptr);
// True when <appPath>/<name>.sc1 exists (any letter case).
bool schemeExists(const std::string& appPath, const std::string& name);

}  // namespace talvor::hmmview

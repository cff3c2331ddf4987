#pragma once
// Number text shared by every file the system reads and writes.
//
// All conversions here are locale-independent: a program running under a
// comma-decimal locale reads and writes the same bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace talvor {

// Shortest decimal text of a value the way the text-file writer and the grid
// cells show it: at most `significantDigits` significant digits (7 for a 32-bit
// float, 15 for a 64-bit float), no trailing zeros, no zero before the decimal
// point of a value between -1 and 1 (".5", "-.25"), exponent form with a sign
// and at least two digits for very large or small values ("1E+30", "1.5E-07").
// A negative value starts with "-"; a non-negative one has no leading blank.
std::string numberText(double value, int significantDigits);
inline std::string numberText(float value) { return numberText(double(value), 7); }
inline std::string numberText(std::int32_t value) { return std::to_string(value); }
// The same form with as few significant digits (7, 8 or 9) as it takes for the
// text to read back (leadingNumber, then to 32 bits) as exactly `value`:
// numberText(1671.19348f) is "1671.193", exactFloatText(1671.19348f) is
// "1671.1935".  For values that a file must keep unchanged.
std::string exactFloatText(float value);

// The print statement's number form: a minus sign or a blank, the digits and one
// trailing blank.  printNumber(5) == " 5 ", printNumber(-3) == "-3 ".
std::string printNumber(std::int64_t value);
std::string printNumber(float value);
std::string printNumber(double value);

// Signed decimal text of grid cells and .lab files: one leading blank when not
// negative, "-" otherwise, no trailing blank.  signedDecimal(41) == " 41".
std::string signedDecimal(std::int64_t value);
std::string signedDecimal(float value);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2).  NaN gives 0; values beyond the 32-bit range are clamped.
std::int32_t roundHalfEven(double value);

// The number a text starts with, as a 64-bit float: optional blanks, a sign,
// digits with at most one decimal point, an optional exponent (E or D).  Text
// that does not start with a number gives 0.  "12abc" -> 12, "-.5" -> -0.5.
double leadingNumber(std::string_view text);

// Parses a whole item as a 32-bit integer (optional sign, digits only, blanks
// around allowed).  Returns false, leaving *out alone, for anything else.
bool parseInt32(std::string_view text, std::int32_t* out);

}  // namespace talvor

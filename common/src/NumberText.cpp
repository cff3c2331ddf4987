#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace talvor {

std::string numberText(double value, int significantDigits)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0)
        return "0";

    // Scientific form first: it tells the decimal exponent after rounding to
    // the requested digits.
    char sci[64];
    auto r = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific,
                           significantDigits - 1);
    std::string s(sci, r.ptr);
    const auto ePos = s.find('e');
    const int exponent = std::stoi(s.substr(ePos + 1));
    std::string mantissa = s.substr(0, ePos);
    const bool negative = mantissa[0] == '-';
    if (negative)
        mantissa.erase(0, 1);
    // Significant digits without the point, trailing zeros removed.
    std::string digits;
    for (char c : mantissa)
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= significantDigits || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += e;
    } else if (exponent < 0) {
        out += '.';
        out.append(std::size_t(-exponent - 1), '0');
        out += digits;
    } else {
        const std::size_t intDigits = std::size_t(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, intDigits);
            out += '.';
            out += digits.substr(intDigits);
        }
    }
    return out;
}

std::string exactFloatText(float value)
{
    std::string text;
    for (int digits = 7; digits <= 9; ++digits) {
        text = numberText(double(value), digits);
        if (!std::isfinite(value) || static_cast<float>(leadingNumber(text)) == value)
            break;
    }
    return text;
}

std::string printNumber(std::int64_t value)
{
    return (value < 0 ? "" : " ") + std::to_string(value) + " ";
}

std::string printNumber(float value)
{
    return (value < 0 ? "" : " ") + numberText(value) + " ";
}

std::string printNumber(double value)
{
    return (value < 0 ? "" : " ") + numberText(value, 15) + " ";
}

std::string signedDecimal(std::int64_t value)
{
    return (value < 0 ? "" : " ") + std::to_string(value);
}

std::string signedDecimal(float value)
{
    return (value < 0 ? "" : " ") + numberText(value);
}

std::int32_t roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    // nearbyint rounds halves to even in the default rounding mode.
    return std::int32_t(std::nearbyint(value));
}

namespace {

// A number text beyond the range of a 64-bit float: infinity when it is too
// large, 0 when it is too small ("1E-400").  Decided by the decimal exponent
// of its first significant digit.
double outOfRangeMagnitude(const std::string& body)
{
    std::size_t i = 0;
    long long leadingZeros = 0;  // zeros after the point before the first digit
    long long intDigits = 0;     // significant digits before the point
    bool seenPoint = false, seenDigit = false;
    for (; i < body.size() && body[i] != 'e'; ++i) {
        const char c = body[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!seenDigit && c == '0') {
            if (seenPoint)
                ++leadingZeros;
        } else {
            seenDigit = true;
            if (!seenPoint)
                ++intDigits;
        }
    }
    if (!seenDigit)
        return 0;
    long long exponent = 0;
    bool negativeExponent = false;
    if (i < body.size()) {
        ++i;  // 'e'
        if (i < body.size() && (body[i] == '+' || body[i] == '-'))
            negativeExponent = body[i++] == '-';
        for (; i < body.size(); ++i)
            exponent = std::min(exponent * 10 + (body[i] - '0'), 1000000000LL);
    }
    if (negativeExponent)
        exponent = -exponent;
    const long long magnitude = (intDigits > 0 ? intDigits : -leadingZeros) + exponent;
    return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

double leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            number += '-';
        ++i;
    }
    bool anyDigit = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number += text[i++];
        anyDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            number += text[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exp += text[j++];
        bool expDigit = false;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
            exp += text[j++];
            expDigit = true;
        }
        if (expDigit)
            number += exp;
    }
    double value = 0;
    const bool negative = number[0] == '-';
    std::string body = negative ? number.substr(1) : number;
    if (!body.empty() && body[0] == '.')
        body.insert(body.begin(), '0');
    auto res = std::from_chars(body.data(), body.data() + body.size(), value);
    if (res.ec == std::errc::result_out_of_range)
        value = outOfRangeMagnitude(body);
    else if (res.ec != std::errc())
        return 0;
    return negative ? -value : value;
}

bool parseInt32(std::string_view text, std::int32_t* out)
{
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    if (b == e)
        return false;
    if (text[b] == '+')
        ++b;
    std::int32_t v = 0;
    auto res = std::from_chars(text.data() + b, text.data() + e, v);
    if (res.ec != std::errc() || res.ptr != text.data() + e)
        return false;
    *out = v;
    return true;
}

}  // namespace talvor

#include "engine/Convert.h"

#include <cmath>
#include <limits>

namespace talvor::engine {

namespace {

// The 32-bit float 1.1, widened where the scale formulas use it.
const double kMargin = static_cast<double>(1.1f);

// Truncation toward zero into 32 bits; NaN gives 0 and values beyond the
// 32-bit range are clamped (a picture coordinate never wraps).
std::int32_t truncate32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

template <class Sample>
int konvertSamples(int width, int height, std::span<const Sample> s, std::span<PolyPoint> points, int& count)
{
    const long long n = static_cast<long long>(s.size());
    const bool columnMode = n >= 2LL * width;
    const long long needed = columnMode ? 2LL * width + 1 : n;
    if (n <= 0 || width < 0 || static_cast<long long>(points.size()) < needed) {
        count = 0;
        return -1;
    }

    // Scale: mean m, vertical range R, pixels per unit k, height y0 of the mean.
    float m = 0.0f;
    float range = 0.0f;
    float k = 0.0f;
    std::int32_t y0 = 0;
    if (height >= 0) {
        float hi = -2147483648.0f;
        float lo = 2147483648.0f;
        double sum = 0.0;
        for (const Sample v : s) {
            const float f = static_cast<float>(v);
            if (f > hi)
                hi = f;
            if (f < lo)
                lo = f;
            sum += static_cast<double>(v);
        }
        m = static_cast<float>(sum / static_cast<double>(n));
        range = static_cast<float>(kMargin * static_cast<double>(hi - lo));
        if (range != 0.0f) {
            k = static_cast<float>(height) / range;
            y0 = truncate32(kMargin * static_cast<double>(hi - m) * static_cast<double>(k));
        } else {
            y0 = height / 2;  // constant stretch: a flat line at the middle
        }
    } else {
        // The value 0 sits at the middle row trunc(|H| / 2).  (0.5 x R x k
        // with k = |H| / R lands just below |H| / 2 for about a quarter of
        // the ranges and would put it one row higher.)
        const long long absHeight = -static_cast<long long>(height);
        range = static_cast<float>(kMargin * static_cast<double>(count));
        if (range != 0.0f)
            k = static_cast<float>(absHeight) / range;
        y0 = static_cast<std::int32_t>(absHeight / 2);  // also for no range given: a flat line at the middle
    }
    const auto yOf = [&](float v) {
        return truncate32(static_cast<float>(y0) + (m - v) * k);
    };

    const float xs = n > 1 ? static_cast<float>(width) / static_cast<float>(n - 1) : 0.0f;
    if (!columnMode) {
        for (long long i = 0; i < n; ++i)
            points[i] = {truncate32(static_cast<float>(i) * xs), yOf(static_cast<float>(s[i]))};
        count = static_cast<int>(n);
    } else {
        points[0] = {0, yOf(static_cast<float>(s[0]))};
        long long next = 0;
        for (int c = 1; c <= width; ++c) {
            long long j = next < n ? next : n - 1;
            float hi = static_cast<float>(s[j]);
            float lo = hi;
            while (!(static_cast<float>(j) * xs > static_cast<float>(c)) && j < n - 1) {
                ++j;
                const float f = static_cast<float>(s[j]);
                if (f > hi)
                    hi = f;
                if (f < lo)
                    lo = f;
            }
            next = j + 1;
            points[2 * c - 1] = {c, yOf(hi)};
            points[2 * c] = {c, yOf(lo)};
        }
        count = 2 * width + 1;
    }
    return truncate32(static_cast<double>(range) / kMargin);
}

}  // namespace

int konvert(int width, int height, std::span<const std::int16_t> samples, std::span<PolyPoint> points, int& count)
{
    return konvertSamples(width, height, samples, points, count);
}

int konvertS(int width, int height, std::span<const float> samples, std::span<PolyPoint> points, int& count)
{
    return konvertSamples(width, height, samples, points, count);
}

}  // namespace talvor::engine

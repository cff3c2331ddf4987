#include "AnalysisReference.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace talvor::engine::reference {

namespace {

constexpr float kUnreachable = 3.4028235e38f;

float distance(const float* a, const float* b, int dim)
{
    float sum = 0.0f;
    for (int c = 0; c < dim; ++c) {
        const float diff = a[c] - b[c];
        sum = sum + diff * diff;
    }
    return std::sqrt(sum);
}

// Cost matrix with row 0 and columns -1, 0 unreachable.
struct Matrix {
    int m;
    std::vector<float> cells;
    Matrix(int n, int cols) : m(cols), cells(std::size_t(n + 1) * std::size_t(cols + 2), kUnreachable) {}
    float& at(int i, int j) { return cells[std::size_t(i) * std::size_t(m + 2) + std::size_t(j + 1)]; }
};

}  // namespace

std::vector<std::complex<double>> directDft(std::span<const double> re, std::span<const double> im)
{
    const std::size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double arg = -2.0 * std::numbers::pi * double((j * k) % n) / double(n);
            sum += std::complex<double>(re[j], im[j]) * std::complex<double>(std::cos(arg), std::sin(arg));
        }
        out[k] = sum;
    }
    return out;
}

std::vector<double> powerDb(std::span<const std::int16_t> samples, int length, int bins)
{
    std::vector<double> re(std::size_t(length), 0.0);
    std::vector<double> im(std::size_t(length), 0.0);
    for (int j = 0; j < length; ++j) {
        const double w = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * j / (length - 1));
        re[std::size_t(j)] = std::size_t(j) < samples.size() ? w * samples[std::size_t(j)] : 0.0;
    }
    const auto x = directDft(re, im);
    std::vector<double> db(static_cast<std::size_t>(bins));
    for (int k = 0; k < bins; ++k)
        db[std::size_t(k)] = 10.0 * std::log10(std::norm(x[std::size_t(k)]) / length);
    return db;
}

int intervalLinear(const ColorScale& scale, int s, float v)
{
    if (!(v > scale.threshold(s, 0)))
        return 0;  // at or below t_0, and NaN
    for (int i = 1; i < ColorScale::kThresholds; ++i) {
        if (scale.threshold(s, i - 1) < v && v <= scale.threshold(s, i))
            return i;
    }
    return ColorScale::kColors - 1;
}

float itakuraMatrix(const float* test, int n, const float* ref, int m, int dim)
{
    if (2 * m < n || 2 * n - 1 < m)
        return kUnreachable;
    Matrix d(n, m);
    std::vector<unsigned char> horizontal(std::size_t(n + 1) * std::size_t(m + 1), 0);
    const auto flag = [&](int i, int j) -> unsigned char& { return horizontal[std::size_t(i) * std::size_t(m + 1) + std::size_t(j)]; };
    d.at(1, 1) = distance(test, ref, dim);
    for (int i = 2; i <= n; ++i) {
        // The parallelogram: at most two reference frames per test frame,
        // at least one per two test frames, ending in (n, m).
        const int low = std::max((i + 1) / 2, m - 2 * (n - i));
        const int high = std::min(2 * i - 1, m - (n - i) / 2);
        for (int j = std::max(low, 1); j <= high; ++j) {
            float best = d.at(i - 1, j - 2);
            if (d.at(i - 1, j - 1) < best)
                best = d.at(i - 1, j - 1);
            if (!flag(i - 1, j) && d.at(i - 1, j) < best) {
                best = d.at(i - 1, j);
                flag(i, j) = 1;
            }
            d.at(i, j) = best + distance(test + std::size_t(i - 1) * dim, ref + std::size_t(j - 1) * dim, dim);
        }
    }
    const float total = d.at(n, m);
    return total >= kUnreachable ? kUnreachable : total / float(n);
}

float generalMatrix(const float* test, int n, const float* ref, int m, int dim, int band)
{
    const auto centre = [&](int i) { return n == 1 ? 1 : (i * (m - 1) + n - m) / (n - 1); };
    Matrix d(n, m);
    // First test frame: the cells up to the high limit of frame 0.
    const int high0 = std::min(centre(0) + band, m);
    if (high0 >= 1) {
        d.at(1, 1) = distance(test, ref, dim);
        for (int j = 2; j <= high0; ++j)
            d.at(1, j) = d.at(1, j - 1) + distance(test, ref + std::size_t(j - 1) * dim, dim);
    }
    for (int i = 2; i <= n; ++i) {
        const int low = std::max(centre(i) - band, 1);
        const int high = std::min(centre(i) + band, m);
        for (int j = low; j <= high; ++j) {
            const float best = std::min({d.at(i, j - 1), d.at(i - 1, j - 1), d.at(i - 1, j)});
            d.at(i, j) = distance(test + std::size_t(i - 1) * dim, ref + std::size_t(j - 1) * dim, dim) + best;
        }
    }
    const float total = d.at(n, m);
    return total >= kUnreachable ? kUnreachable : total / float(n);
}

}  // namespace talvor::engine::reference

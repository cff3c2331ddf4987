#include "hmmview/ModelText.h"

#include <charconv>
#include <cmath>

namespace talvor::hmmview {

std::string modelNumber(float value)
{
    if (value == 0.0f)
        return "0";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::fixed, 5);
    return std::string(buf, r.ptr);
}

std::string modelTextDump(const HmmModel& model)
{
    const std::int32_t S = model.nStates(), M = model.nMixtures(), F = model.nParams();
    if (S < 3)
        return {};
    const auto& trans = model.modelTrans();
    const auto& weights = model.modelWeights();
    const auto& means = model.modelMeans();
    const auto& covars = model.modelCovars();
    auto at = [](const std::vector<float>& v, std::size_t k) { return k < v.size() ? v[k] : 0.0f; };
    std::string out;
    for (std::int32_t s = 0; s < S; ++s) {
        out += std::to_string(s + 1) + ".state\r\n";
        out += "Trans:";
        for (std::int32_t j = 0; j < S; ++j)
            out += "\t" + modelNumber(at(trans, static_cast<std::size_t>(j) + static_cast<std::size_t>(S) * s));
        out += "\r\n";
        for (std::int32_t m = 0; m < M; ++m) {
            out += std::to_string(m + 1) + ". mix: \tWeigth:\t" +
                   modelNumber(at(weights, static_cast<std::size_t>(m) + static_cast<std::size_t>(M) * s)) + "\r\n";
            const std::size_t base = static_cast<std::size_t>(F) * (static_cast<std::size_t>(m) + static_cast<std::size_t>(M) * s);
            out += "Means:";
            for (std::int32_t f = 0; f < F; ++f)
                out += "\t" + modelNumber(at(means, base + static_cast<std::size_t>(f)));
            out += "\r\nCovar:";
            for (std::int32_t f = 0; f < F; ++f)
                out += "\t" + modelNumber(at(covars, base + static_cast<std::size_t>(f)));
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::vector<std::vector<double>> densityCurves(const HmmModel& model, std::int32_t f, std::int32_t mixture,
                                               std::int32_t s, double minX, double maxX)
{
    std::vector<std::vector<double>> curves;
    const std::int32_t S = model.nStates(), M = model.nMixtures(), F = model.nParams();
    if (!model.modelLoaded() || f < 0 || f >= F || s < 0 || s >= S || mixture >= M || mixture < kAddMixtures ||
        !std::isfinite(minX) || !std::isfinite(maxX))
        return curves;
    constexpr double twoPi = 6.2831854;
    auto curve = [&](std::int32_t m, std::vector<double>& y) {
        const std::size_t c = static_cast<std::size_t>(m) + static_cast<std::size_t>(M) * static_cast<std::size_t>(s);
        const std::size_t k = static_cast<std::size_t>(F) * c + static_cast<std::size_t>(f);
        const double w = model.modelWeights()[c];
        const double mean = model.modelMeans()[k];
        const double var = model.modelCovars()[k];
        if (!(var > 0.0) || !std::isfinite(var) || !std::isfinite(mean) || !std::isfinite(w))
            return false;
        const double norm = std::sqrt(twoPi * var);
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = minX + (maxX - minX) * i / (kCurvePoints - 1);
            y[static_cast<std::size_t>(i)] += w * std::exp(-(x - mean) * (x - mean) / (2 * var)) / norm;
        }
        return true;
    };
    if (mixture >= 0) {
        std::vector<double> y(kCurvePoints, 0.0);
        if (curve(mixture, y))
            curves.push_back(std::move(y));
    } else if (mixture == kAllMixtures) {
        for (std::int32_t m = 0; m < M; ++m) {
            std::vector<double> y(kCurvePoints, 0.0);
            if (curve(m, y))
                curves.push_back(std::move(y));
        }
    } else {
        std::vector<double> y(kCurvePoints, 0.0);
        bool any = false;
        for (std::int32_t m = 0; m < M; ++m)
            any = curve(m, y) || any;
        if (any)
            curves.push_back(std::move(y));
    }
    return curves;
}

}  // namespace talvor::hmmview

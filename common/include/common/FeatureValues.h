#pragma once
// The values a feature of a word can hold.  The engine's features (cepstra,
// their deltas, energies in dB, the spectral variation) stay far inside
// +-1e6; a value beyond it, or one that is not a finite number, comes from a
// damaged or foreign file, and a model trained or a score computed on it is
// worthless (squares overflow 32 bits, NaN spreads through every sum).  The
// HMM trainer, the recogniser and the HMM viewer refuse such a word.

#include <cmath>
#include <cstddef>
#include <optional>
#include <span>

namespace talvor {

inline constexpr float kFeatureMagnitudeLimit = 1e6f;

inline bool usableFeatureValue(float v)
{
    return std::isfinite(v) && std::fabs(v) <= kFeatureMagnitudeLimit;
}

// The index of the first value that is not usable, if any.
inline std::optional<std::size_t> firstUnusableFeatureValue(std::span<const float> values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!usableFeatureValue(values[i]))
            return i;
    return std::nullopt;
}

}  // namespace talvor

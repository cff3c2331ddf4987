#pragma once
// Extremes of a stretch of samples, and the array conversions and copies the
// signal analyser exchanges with the engine.

#include <cstdint>
#include <span>

namespace talvor::engine {

// max starts at -2147483648 and min at 2147483647 and take every greater or
// smaller sample; an empty stretch returns the start values.
void getExtrems(std::span<const std::int16_t> samples, std::int32_t& max, std::int32_t& min);

// n > 0: ints[i] := the low 16 bits of longs[i], i < n; n < 0: longs[i] :=
// ints[i] sign-extended, i < |n|.  Returns 0, or 1 for n = 0 (nothing done).
int longToInt(std::int32_t* longs, std::int32_t n, std::int16_t* ints);

// n > 0: destination[i] := source[i] in rising order; n < 0: |n| values from
// the last down to the first, so that a copy to a higher address inside the
// same array is safe.  Returns 0, or 1 for n = 0.
int copyInteger(std::int16_t* destination, std::int32_t n, const std::int16_t* source);
int copySingle(float* destination, std::int32_t n, const float* source);

}  // namespace talvor::engine

#include "engine/ArrayRoutines.h"

namespace talvor::engine {

namespace {

// |n| without overflow for n = -2^31.
inline long long magnitude(std::int32_t n)
{
    return n < 0 ? -static_cast<long long>(n) : n;
}

template <class T>
int copyValues(T* destination, std::int32_t n, const T* source)
{
    if (n == 0)
        return 1;
    const long long count = magnitude(n);
    if (n > 0) {
        for (long long i = 0; i < count; ++i)
            destination[i] = source[i];
    } else {
        for (long long i = count - 1; i >= 0; --i)
            destination[i] = source[i];
    }
    return 0;
}

}  // namespace

void getExtrems(std::span<const std::int16_t> samples, std::int32_t& max, std::int32_t& min)
{
    max = -2147483647 - 1;
    min = 2147483647;
    for (const std::int16_t v : samples) {
        if (v > max)
            max = v;
        if (v < min)
            min = v;
    }
}

int longToInt(std::int32_t* longs, std::int32_t n, std::int16_t* ints)
{
    if (n == 0)
        return 1;
    const long long count = magnitude(n);
    if (n > 0) {
        for (long long i = 0; i < count; ++i)
            ints[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(longs[i]) & 0xFFFFu));
    } else {
        for (long long i = 0; i < count; ++i)
            longs[i] = ints[i];
    }
    return 0;
}

int copyInteger(std::int16_t* destination, std::int32_t n, const std::int16_t* source)
{
    return copyValues(destination, n, source);
}

int copySingle(float* destination, std::int32_t n, const float* source)
{
    return copyValues(destination, n, source);
}

}  // namespace talvor::engine

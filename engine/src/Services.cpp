#include "engine/Services.h"

#include <new>

namespace talvor::engine {

std::unique_ptr<std::int16_t[]> allocateSamples(std::size_t count)
{
    return std::unique_ptr<std::int16_t[]>(new (std::nothrow) std::int16_t[count]);
}

}  // namespace talvor::engine

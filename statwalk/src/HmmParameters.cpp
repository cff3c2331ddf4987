#include "statwalk/HmmParameters.h"

#include <cmath>

namespace talvor::statwalk {

HmmParameters HmmParameters::sized(std::int32_t S, std::int32_t M, std::int32_t F)
{
    HmmParameters p;
    p.states = S;
    p.mixtures = M;
    p.features = F;
    const auto s = static_cast<std::size_t>(S), m = static_cast<std::size_t>(M), f = static_cast<std::size_t>(F);
    p.trans.assign(s * s, 0.0f);
    p.weights.assign(s * m, 0.0f);
    p.means.assign(s * m * f, 0.0f);
    p.vars.assign(s * m * f, 0.0f);
    return p;
}

bool HmmParameters::consistent() const
{
    if (states < 1 || mixtures < 1 || features < 1)
        return false;
    const auto s = static_cast<std::size_t>(states), m = static_cast<std::size_t>(mixtures),
               f = static_cast<std::size_t>(features);
    return trans.size() == s * s && weights.size() == s * m && means.size() == s * m * f &&
           vars.size() == s * m * f;
}

float gaussianConstant(std::int32_t features)
{
    return static_cast<float>(std::pow(2.0 * 3.14159265358979323846, -0.5 * features));
}

}  // namespace talvor::statwalk

#pragma once
// What the model viewer shows of a model: the whole model as text, and the
// Gaussian density curves of one state and feature.

#include <cstdint>
#include <string>
#include <vector>

#include "hmmview/HmmModel.h"

namespace talvor::hmmview {

// A number of the text dump: 0 as "0", anything else with five decimals and
// "." ("0.50000", "-1.25000").
std::string modelNumber(float value);

// The model as text, states numbered from 1, TAB between values, CR LF line
// ends:  "1.state", "Trans:" and the S transition probabilities from the
// state, then per mixture "1. mix: <TAB>Weigth:<TAB>w", "Means:" and the F
// means, "Covar:" and the F variances, then an empty line.  Empty for a model
// of fewer than 3 states.
std::string modelTextDump(const HmmModel& model);

// The points of a density plot: x from minX to maxX in 1000 equal steps.
constexpr int kCurvePoints = 1001;

// The mixture choice of the plot: one mixture (0..M-1), every mixture, or
// their sum (the state's mixture density for the feature).
constexpr std::int32_t kAllMixtures = -1;
constexpr std::int32_t kAddMixtures = -2;

// The curves to draw: y(x) = w exp(-(x - mean)^2 / (2 var)) / sqrt(2 pi var)
// of feature f, state s, with 2 pi = 6.2831854.  A mixture whose variance is
// 0 or not finite is left out.  Nothing for indices outside the model or a
// model that is not loaded.
std::vector<std::vector<double>> densityCurves(const HmmModel& model, std::int32_t f, std::int32_t mixture,
                                               std::int32_t s, double minX, double maxX);

}  // namespace talvor::hmmview

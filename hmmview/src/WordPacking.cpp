#include "hmmview/WordPacking.h"

#include "common/FileNames.h"

namespace talvor::hmmview {

PackedFrames packWordFrames(std::span<const float> v, std::int32_t nFrames, const FeatureSelection& mask)
{
    PackedFrames out;
    out.features = selectedFeatureCount(mask);
    if (nFrames < kMinWordFrames ||
        v.size() < static_cast<std::size_t>(nFrames) * static_cast<std::size_t>(kFeaturesPerFrame))
        return out;
    out.frames = nFrames - 2 * kMarginFrames;
    out.values.reserve(static_cast<std::size_t>(out.frames) * static_cast<std::size_t>(out.features));
    for (std::int32_t t = kMarginFrames; t <= nFrames - kMarginFrames - 1; ++t)
        for (int c = 0; c < kFeaturesPerFrame; ++c)
            if (mask[static_cast<std::size_t>(c)])
                out.values.push_back(v[static_cast<std::size_t>(t) * kFeaturesPerFrame + static_cast<std::size_t>(c)]);
    return out;
}

TrainerConfig ReadTrainerConfig(const std::string& path)
{
    TrainerConfig config;
    std::string resolved;
    if (!findFileName(path, &resolved)) {
        config.error = "there is no trainer configuration " + path;
        return config;
    }
    StatwalkConfig head;
    std::string error;
    if (!readStatwalkHead(resolved, &head, &error)) {
        config.error = error.empty() ? "the trainer configuration " + resolved + " cannot be read" : error;
        return config;
    }
    config.found = true;
    config.coefCount = head.featureCount;
    config.featureMask = head.features;
    return config;
}

}  // namespace talvor::hmmview

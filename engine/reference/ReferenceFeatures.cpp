#include "ReferenceFeatures.h"

#include <cmath>

namespace talvor::engine::reference {

namespace {

std::vector<float> hammingWindow()
{
    std::vector<float> w(160);
    for (int i = 0; i < 160; ++i)
        w[i] = static_cast<float>(static_cast<double>(0.54f) - static_cast<double>(0.46f) *
                                                                   std::cos(6.283185307178 * i / 159));
    return w;
}

// Levinson-Durbin, written out with vectors of the coefficients per order.
std::vector<float> predictor(std::vector<float> r)
{
    if (r[0] < 1e-30f)
        r[0] = 1e-30f;
    std::vector<float> a(13, 0.0f);
    a[0] = 1.0f;
    float k = -r[1] / r[0];
    if (!(std::fabs(k) <= 1.0f))
        return a;
    a[1] = k;
    float error = r[0] * (1.0f - k * k);
    for (int i = 2; i <= 12; ++i) {
        if (!(error > 0.0f))
            break;
        float acc = r[i];
        for (int j = 1; j < i; ++j)
            acc += a[j] * r[i - j];
        k = -acc / error;
        if (!(std::fabs(k) <= 1.0f))
            break;
        const std::vector<float> lower = a;
        for (int j = 1; j < i; ++j)
            a[j] = lower[j] + k * lower[i - j];
        a[i] = k;
        error = error * (1.0f - k * k);
    }
    return a;
}

}  // namespace

void preEmphasis(std::int16_t block[kBlockSamples], std::int16_t* lastRaw)
{
    const std::int16_t raw79 = block[kBlockSamples - 1];
    for (int n = kBlockSamples - 1; n >= 1; --n) {
        const float x = static_cast<float>(block[n]);
        const float xPrev = static_cast<float>(block[n - 1]);
        block[n] = static_cast<std::int16_t>(kPreEmphasisGain * (x - kPreEmphasisCoefficient * xPrev));
    }
    block[0] = static_cast<std::int16_t>(
        kPreEmphasisGain * (static_cast<float>(block[0]) - kPreEmphasisCoefficient * static_cast<float>(*lastRaw)));
    *lastRaw = raw79;
}

void hammingWindow(const std::int16_t previous[kBlockSamples], const std::int16_t current[kBlockSamples],
                   float out[kWindowSamples])
{
    const float* w = featureTables().hamming;
    for (int i = 0; i < kBlockSamples; ++i)
        out[i] = static_cast<float>(previous[i]) * w[i];
    for (int i = 0; i < kBlockSamples; ++i)
        out[kBlockSamples + i] = static_cast<float>(current[i]) * w[kBlockSamples + i];
}

void autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1])
{
    for (int k = 0; k <= kLpcOrder; ++k) {
        float sum = 0.0f;
        for (int n = 0; n <= kWindowSamples - 1 - k; ++n)
            sum += s[n + k] * s[n];
        r[k] = sum;
    }
}

std::vector<FeatureFrame> computeFrames(const std::vector<std::int16_t>& samples)
{
    const std::size_t blocks = samples.size() / 80;
    // Pre-emphasis over the whole recording, truncated to 16 bits.
    std::vector<std::int16_t> y(blocks * 80);
    for (std::size_t n = 0; n < y.size(); ++n) {
        const float previous = n == 0 ? 0.0f : static_cast<float>(samples[n - 1]);
        y[n] = static_cast<std::int16_t>(0.5128205f * (static_cast<float>(samples[n]) - 0.95f * previous));
    }

    std::vector<FeatureFrame> frames(blocks, FeatureFrame{});
    for (std::size_t t = 0; t < blocks; ++t) {
        const std::vector<float> w = hammingWindow();
        std::vector<float> s(160);
        for (int i = 0; i < 160; ++i) {
            const long index = static_cast<long>(t) * 80 - 80 + i;
            s[i] = (index < 0 ? 0.0f : static_cast<float>(y[static_cast<std::size_t>(index)])) * w[i];
        }
        std::vector<float> r(13);
        for (int k = 0; k <= 12; ++k) {
            float sum = 0.0f;
            for (int n = 0; n + k < 160; ++n)
                sum += s[n + k] * s[n];
            r[k] = sum;
        }
        frames[t].v[19] = static_cast<float>(std::log10(static_cast<double>(r[0] + 1e-30f)));
        const std::vector<float> a = predictor(r);
        std::vector<float> c(9);
        c[1] = -a[1];
        for (int n = 2; n <= 8; ++n) {
            float sum = 0.0f;
            for (int m = 1; m < n; ++m)
                sum += (static_cast<float>(m) / static_cast<float>(n)) * c[m] * a[n - m];
            c[n] = -a[n] - sum;
        }
        for (int n = 1; n <= 8; ++n)
            frames[t].v[n - 1] = c[n] * (1.0f + 4.0f * std::sin(static_cast<float>(n) * 3.1415927f * 0.125f));
        // Indices 8..12 hold the autocorrelation until the frame's deltas come.
        for (int k = 8; k <= 12; ++k)
            frames[t].v[k] = r[k];
    }

    const long last = static_cast<long>(blocks) - 1;
    for (long a = 4; a + 4 <= last; ++a) {
        FeatureFrame& f = frames[static_cast<std::size_t>(a)];
        for (int i = 0; i < 8; ++i) {
            float sum = 0.0f;
            for (int k = -4; k <= 4; ++k)
                sum += static_cast<float>(k) * frames[static_cast<std::size_t>(a + k)].v[i];
            f.v[8 + i] = sum / 60.0f;
        }
        float sum = 0.0f;
        for (int k = -4; k <= 4; ++k)
            sum += static_cast<float>(k) * frames[static_cast<std::size_t>(a + k)].v[19];
        f.v[16] = sum / 60.0f;
        float change = 0.0f;
        for (int i = 0; i < 8; ++i) {
            float d = 0.0f;
            for (int k = 0; k <= 3; ++k)
                d += frames[static_cast<std::size_t>(a - 4 + k)].v[i] - frames[static_cast<std::size_t>(a + 1 + k)].v[i];
            change += d * d;
        }
        f.v[18] = change * 0.0625f;
    }
    for (long a = 5; a + 5 <= last; ++a)
        frames[static_cast<std::size_t>(a)].v[17] =
            frames[static_cast<std::size_t>(a + 1)].v[16] - frames[static_cast<std::size_t>(a - 1)].v[16];
    return frames;
}

Detection detect(const std::vector<FeatureFrame>& frames, int maxWordLength)
{
    Detection d;
    int state = 0;
    float background = 0.0f, e1 = 0.0f, e2 = 0.0f;
    int start = 0, end = 0;
    for (int t = 0; t < static_cast<int>(frames.size()); ++t) {
        const float logEnergy = frames[static_cast<std::size_t>(t)].v[19];
        float e = std::pow(10.0f, logEnergy) < 1e-30f ? 10.0f * std::log10(2.3131724e-12f * 1e-30f)
                                                      : 10.0f * logEnergy + -116.35792f;
        if (e < -90.0f)
            e = -90.0f;
        const float f = e - background;
        // The block of frame t ends at sample 80 (t + 1).
        const std::int32_t blockStart = 80 * t;
        switch (state) {
        case 0:
            background = e1 = e2 = e;
            if (t > 2)
                state = 1;
            break;
        case 1:
            if (f > 4.0f) {
                start = t;
                d.startSample = blockStart;
                state = 2;
            } else {
                background = 0.5f * e1 + 0.25f * e + 0.25f * e2;
                e2 = e1;
                e1 = e;
            }
            break;
        case 2:
            if (f <= 4.0f) {
                state = 1;
            } else if (f > 10.0f) {
                if (t - start >= 7) {
                    start = t;
                    d.startSample = blockStart;
                }
                state = 9;
            } else if (t - start > 12) {
                state = 5;
            }
            break;
        case 3:
            state = 4;
            break;
        case 4:
            if (t - start > maxWordLength) {
                state = 5;
            } else if (f < 10.0f) {
                end = t;
                d.endSample = blockStart + 80;
                state = 6;
            }
            break;
        case 5:
            state = 0;
            break;
        case 6:
            if (t - start > maxWordLength) {
                state = 5;
            } else if (f >= 7.0f) {
                state = 4;
            } else {
                if (t - end < 6) {
                    end = t;
                    d.endSample = blockStart + 80;
                }
                state = 7;
            }
            break;
        case 7:
            if (t - start > maxWordLength)
                state = 5;
            else if (f >= 10.0f)
                state = 4;
            else if (t - end > 25) {
                if (end - start < 15) {
                    state = 5;
                } else {
                    d.status = start >= 10 ? 0 : -2;
                    d.decisionFrame = t;
                    d.startFrame = start;
                    d.endFrame = end;
                    return d;
                }
            }
            break;
        case 8:
            state = 1;
            break;
        case 9:
            if (t - start >= 4)
                state = 3;
            else if (f < 7.0f)
                state = 0;
            break;
        default:
            break;
        }
    }
    return d;
}

}  // namespace talvor::engine::reference

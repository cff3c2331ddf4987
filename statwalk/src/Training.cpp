#include "statwalk/Training.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "statwalk/Scoring.h"

namespace talvor::statwalk {

namespace {

using Alignment = std::vector<std::int32_t>;  // state of each frame

// Frame t of a sequence.
const float* frameAt(const TrainingSequence& s, std::int32_t t, std::int32_t F)
{
    return s.values.data() + static_cast<std::size_t>(t) * static_cast<std::size_t>(F);
}

Alignment uniformAlignment(std::int32_t frames, std::int32_t S)
{
    Alignment a(static_cast<std::size_t>(frames));
    for (std::int32_t t = 0; t < frames; ++t)
        a[static_cast<std::size_t>(t)] =
            static_cast<std::int32_t>(static_cast<std::int64_t>(t) * S / frames);
    return a;
}

struct Gaussian {
    std::vector<double> mean, var;
    std::size_t count = 0;
};

// Mean and floored variance of the frames `members` of `points`.
Gaussian estimate(const std::vector<const float*>& points, const std::vector<std::size_t>& members, std::size_t F,
                  const std::vector<float>& floor)
{
    Gaussian g;
    g.mean.assign(F, 0.0);
    g.var.assign(F, 0.0);
    g.count = members.size();
    if (members.empty())
        return g;
    for (std::size_t k : members)
        for (std::size_t f = 0; f < F; ++f)
            g.mean[f] += points[k][f];
    for (std::size_t f = 0; f < F; ++f)
        g.mean[f] /= static_cast<double>(members.size());
    for (std::size_t k : members)
        for (std::size_t f = 0; f < F; ++f) {
            const double d = points[k][f] - g.mean[f];
            g.var[f] += d * d;
        }
    for (std::size_t f = 0; f < F; ++f)
        g.var[f] = std::max(g.var[f] / static_cast<double>(members.size()), static_cast<double>(floor[f]));
    return g;
}

// Nearest centroid by the distance scaled with the state's variances.
std::size_t nearest(const float* x, const std::vector<std::vector<double>>& centroids, const std::vector<double>& scale)
{
    std::size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t c = 0; c < centroids.size(); ++c) {
        double d = 0.0;
        for (std::size_t f = 0; f < scale.size(); ++f) {
            const double e = x[f] - centroids[c][f];
            d += e * e / scale[f];
        }
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

// Clusters one state's frames into M Gaussians by k-means.  Without seeds the
// clusters grow from the state's mean by splitting the widest cluster; with
// seeds (the means of the model so far) k-means starts there.
std::vector<Gaussian> clusterState(const std::vector<const float*>& points, std::size_t M, std::size_t F,
                                   const std::vector<float>& floor, const std::vector<std::vector<double>>* seeds,
                                   std::int32_t iterations)
{
    std::vector<std::size_t> all(points.size());
    for (std::size_t k = 0; k < all.size(); ++k)
        all[k] = k;
    const Gaussian whole = estimate(points, all, F, floor);
    if (M == 1)
        return {whole};

    std::vector<std::size_t> assignment(points.size(), 0);
    auto assignAll = [&](const std::vector<std::vector<double>>& centroids) {
        bool changed = false;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const std::size_t c = nearest(points[k], centroids, whole.var);
            changed = changed || c != assignment[k];
            assignment[k] = c;
        }
        return changed;
    };
    auto clusters = [&](std::size_t count) {
        std::vector<std::vector<std::size_t>> members(count);
        for (std::size_t k = 0; k < points.size(); ++k)
            members[assignment[k]].push_back(k);
        std::vector<Gaussian> out;
        for (const auto& m : members)
            out.push_back(estimate(points, m, F, floor));
        return out;
    };
    auto refine = [&](std::vector<std::vector<double>> centroids) {
        assignAll(centroids);
        for (std::int32_t it = 0; it < iterations; ++it) {
            const std::vector<Gaussian> g = clusters(centroids.size());
            for (std::size_t c = 0; c < centroids.size(); ++c)
                if (g[c].count > 0)
                    centroids[c] = g[c].mean;
            if (!assignAll(centroids))
                break;
        }
        return clusters(centroids.size());
    };

    std::vector<Gaussian> result;
    if (seeds && seeds->size() == M) {
        result = refine(*seeds);
    } else {
        result = {whole};
        while (result.size() < M) {
            // Split the cluster with the largest spread (variance times members).
            std::size_t widest = 0;
            double widestSpread = -1.0;
            for (std::size_t c = 0; c < result.size(); ++c) {
                double spread = 0.0;
                for (double v : result[c].var)
                    spread += v;
                spread *= static_cast<double>(result[c].count);
                if (spread > widestSpread) {
                    widestSpread = spread;
                    widest = c;
                }
            }
            std::vector<std::vector<double>> centroids;
            for (const Gaussian& g : result)
                centroids.push_back(g.mean);
            std::vector<double> up = result[widest].mean, down = result[widest].mean;
            for (std::size_t f = 0; f < F; ++f) {
                const double step = 0.2 * std::sqrt(result[widest].var[f]);
                up[f] += step;
                down[f] -= step;
            }
            centroids[widest] = down;
            centroids.push_back(up);
            result = refine(centroids);
        }
    }
    // A cluster left without frames takes a copy of the largest one, which
    // gives it half of its share: the state's density stays the same and no
    // weight is zero.
    for (Gaussian& g : result) {
        if (g.count > 0)
            continue;
        auto largest = std::max_element(result.begin(), result.end(),
                                        [](const Gaussian& a, const Gaussian& b) { return a.count < b.count; });
        const std::size_t half = largest->count / 2;
        g = *largest;
        g.count = largest->count - half;
        largest->count = half;
        if (largest->count == 0) {  // a single frame: both keep it, half weight each
            largest->count = 1;
            g.count = 1;
        }
    }
    return result;
}

// The model estimated from an alignment of every sequence.
HmmParameters estimateModel(std::span<const TrainingSequence> seqs, const std::vector<Alignment>& alignments,
                            std::int32_t S, std::int32_t M, std::int32_t F, const std::vector<float>& floor,
                            const HmmParameters* previous, std::int32_t kmeansIterations)
{
    HmmParameters model = HmmParameters::sized(S, M, F);
    const auto uS = static_cast<std::size_t>(S), uM = static_cast<std::size_t>(M), uF = static_cast<std::size_t>(F);
    std::vector<std::vector<const float*>> frames(uS);
    std::vector<double> stays(uS, 0.0), leaves(uS, 0.0);
    for (std::size_t k = 0; k < seqs.size(); ++k) {
        const Alignment& a = alignments[k];
        for (std::size_t t = 0; t < a.size(); ++t) {
            const auto s = static_cast<std::size_t>(a[t]);
            frames[s].push_back(frameAt(seqs[k], static_cast<std::int32_t>(t), F));
            if (t + 1 < a.size()) {
                if (a[t + 1] == a[t])
                    stays[s] += 1.0;
                else
                    leaves[s] += 1.0;
            }
        }
    }
    for (std::size_t s = 0; s < uS; ++s) {
        if (s + 1 == uS) {
            model.transition(S - 1, S - 1) = 1.0f;
        } else {
            const double total = stays[s] + leaves[s];
            double next = total > 0.0 ? leaves[s] / total : 0.5;
            next = std::clamp(next, static_cast<double>(kMinTransition), 1.0 - kMinTransition);
            const float moveOn = static_cast<float>(next);
            model.transition(static_cast<std::int32_t>(s), static_cast<std::int32_t>(s + 1)) = moveOn;
            model.transition(static_cast<std::int32_t>(s), static_cast<std::int32_t>(s)) = 1.0f - moveOn;
        }
        std::vector<std::vector<double>> seeds;
        if (previous) {
            for (std::size_t m = 0; m < uM; ++m) {
                std::vector<double> c(uF);
                for (std::size_t f = 0; f < uF; ++f)
                    c[f] = previous->mean(static_cast<std::int32_t>(s), static_cast<std::int32_t>(m),
                                          static_cast<std::int32_t>(f));
                seeds.push_back(std::move(c));
            }
        }
        const std::vector<Gaussian> g =
            clusterState(frames[s], uM, uF, floor, previous ? &seeds : nullptr, kmeansIterations);
        std::size_t total = 0;
        for (const Gaussian& c : g)
            total += c.count;
        for (std::size_t m = 0; m < uM; ++m) {
            const auto si = static_cast<std::int32_t>(s), mi = static_cast<std::int32_t>(m);
            model.weight(si, mi) = static_cast<float>(static_cast<double>(g[m].count) / static_cast<double>(total));
            for (std::size_t f = 0; f < uF; ++f) {
                const auto fi = static_cast<std::int32_t>(f);
                model.mean(si, mi, fi) = static_cast<float>(g[m].mean[f]);
                // Rounding to 32 bits must not take a variance below its floor.
                model.var(si, mi, fi) = std::max(static_cast<float>(g[m].var[f]), floor[f]);
            }
        }
    }
    return model;
}

}  // namespace

std::vector<float> varianceFloor(std::span<const TrainingSequence> sequences, std::int32_t F)
{
    const auto uF = static_cast<std::size_t>(std::max(F, 0));
    std::vector<double> sum(uF, 0.0), sq(uF, 0.0);
    double n = 0.0;
    for (const TrainingSequence& s : sequences) {
        if (s.frames < 1 || static_cast<std::size_t>(s.frames) * uF > s.values.size())
            continue;
        for (std::int32_t t = 0; t < s.frames; ++t) {
            const float* x = frameAt(s, t, F);
            for (std::size_t f = 0; f < uF; ++f) {
                sum[f] += x[f];
                sq[f] += static_cast<double>(x[f]) * x[f];
            }
        }
        n += s.frames;
    }
    std::vector<float> floor(uF, kAbsoluteVarianceFloor);
    if (n > 0.0)
        for (std::size_t f = 0; f < uF; ++f) {
            const double mean = sum[f] / n;
            const double var = std::max(sq[f] / n - mean * mean, 0.0);
            floor[f] = std::max(static_cast<float>(kRelativeVarianceFloor * var), kAbsoluteVarianceFloor);
        }
    return floor;
}

TrainingResult trainWordModel(std::span<const TrainingSequence> sequences, std::int32_t S, std::int32_t M,
                              std::int32_t F, const TrainingOptions& options)
{
    TrainingResult result;
    if (S < 1 || M < 1 || F < 1) {
        result.reason = "the model needs at least one state, one mixture and one feature";
        return result;
    }
    std::vector<TrainingSequence> usable;
    for (const TrainingSequence& s : sequences) {
        if (s.frames >= S && static_cast<std::size_t>(s.frames) * static_cast<std::size_t>(F) <= s.values.size())
            usable.push_back(s);
        else
            ++result.skipped;
    }
    result.used = static_cast<std::int32_t>(usable.size());
    if (usable.empty()) {
        result.reason = sequences.empty() ? "no training utterances"
                                          : "no training utterance has at least " + std::to_string(S) +
                                                " frames (one per state)";
        return result;
    }
    std::vector<float> floor = options.varianceFloor;
    if (floor.size() != static_cast<std::size_t>(F))
        floor.assign(static_cast<std::size_t>(F), kAbsoluteVarianceFloor);

    std::vector<Alignment> alignments;
    for (const TrainingSequence& s : usable)
        alignments.push_back(uniformAlignment(s.frames, S));

    const float modelConst = gaussianConstant(F);
    HmmParameters best;
    double bestScore = -std::numeric_limits<double>::infinity();
    HmmParameters seed;  // the model of the round before, whose means start the clustering
    bool haveSeed = false;
    for (std::int32_t round = 0; round <= std::max(options.maxRounds, 0); ++round) {
        HmmParameters current =
            estimateModel(usable, alignments, S, M, F, floor, haveSeed ? &seed : nullptr, options.kmeansIterations);
        const ScoringModel scorer(current, modelConst);
        double total = 0.0;
        std::vector<Alignment> next;
        for (const TrainingSequence& s : usable) {
            ScoringModel::Alignment a = scorer.align(s.values, s.frames);
            total += a.score;
            next.push_back(std::move(a.states));
        }
        result.rounds = round;
        const bool improved = total > bestScore;
        const bool converged = round > 0 && (next == alignments || !improved ||
                                             total - bestScore <= options.tolerance * std::fabs(bestScore));
        if (improved) {
            best = current;
            bestScore = total;
        }
        if (converged)
            break;
        alignments = std::move(next);
        seed = std::move(current);
        haveSeed = true;
    }
    result.ok = true;
    result.model = std::move(best);
    result.score = static_cast<float>(bestScore);
    return result;
}

}  // namespace talvor::statwalk

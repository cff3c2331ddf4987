#pragma once
// The DTW comparer's word store: test words, references, the current pair, the
// trace of the last pair match and the results of the last batch match.
//
// Everything is allocated once, with the fixed bounds below, when the store is
// made; nothing is allocated per match.  Word, frame and feature indices are
// 1-based as in the matching recurrences.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace talvor::timewarp {

// 1e35 as a 32-bit float (bits 0x799A130C): an impossible cell, or a match the
// constraints do not allow.
inline constexpr float kForbidden = 1e35f;

inline constexpr int kMaxFrames = 200;        // frames of one word
inline constexpr int kMaxFeatures = 20;       // stored features per frame
inline constexpr int kMaxValues = 4000;       // values of one word
inline constexpr int kMaxTestWords = 100;
inline constexpr int kMaxReferences = 500;
inline constexpr int kMaxReferenceSets = 5;
inline constexpr int kMaxPathPoints = 400;
inline constexpr int kMaxLabel = 50;          // labels and vocabulary indices 0..50

// Back-pointer of a cell the last pair match did not compute.
inline constexpr std::int16_t kNoBackPointer = INT16_MIN;

// The matching methods, by their one-character codes.
enum : char {
    kMethodItakura = 'I',  // DTW with Itakura constraints
    kMethodGeneral = 'N',  // DTW with general constraints in a band around the diagonal
    kMethodLinear = 'L',   // linear time warping
};

struct WordRecord {
    std::int16_t set = 0;     // test words: 1; references: the reference word set 1..5
    std::int16_t number = 0;  // the word's number in its label file
    std::int16_t label = 0;   // vocabulary index 0..50
    std::int16_t frames = 0;  // 1..200
    bool operator==(const WordRecord&) const = default;
};

struct BatchResult {
    float score = kForbidden;
    std::int16_t set = 0;
    std::int16_t label = 0;
};

struct BestResult {
    float score = kForbidden;
    std::int16_t reference = 0;  // 0: none
    std::int16_t set = 0;
    std::int16_t label = -1;     // -1: not recognised
};

// The last pair match, as the DTW window draws and animates it.
struct DtwTrace {
    char method = 0;           // the method that ran, 0 before the first match
    std::int16_t testWord = 0;   // the pair it belongs to: test word w and reference r
    std::int16_t reference = 0;
    std::int16_t N = 0;        // test frames
    std::int16_t M = 0;        // reference frames
    std::int16_t range = 0;    // band range of the general method
    float minimum = kForbidden;  // extremes of the filled part of the matrix
    float maximum = 0.0f;
    double pairDistance = 0.0;   // normalised accumulated distance
    std::int16_t pathLength = 0; // points of the path; 0 when the match has none
    std::int16_t steps = 0;      // points the animation draws (0 without a path)

    // Local distance d(i, j), test frame i = 1..N, reference frame j = 1..M.
    float d(int i, int j) const { return distances[std::size_t(i - 1) * kMaxFrames + std::size_t(j - 1)]; }
    float& d(int i, int j) { return distances[std::size_t(i - 1) * kMaxFrames + std::size_t(j - 1)]; }
    // Predecessor of cell (i, j).  Itakura: the reference frame of (i-1, k).
    // General: k >= 0 is (i-1, k), k < 0 is (i, -k).  B(1, 1) = 1 marks the
    // start; kNoBackPointer a cell the match did not compute.
    std::int16_t B(int i, int j) const { return backPointers[std::size_t(i - 1) * kMaxFrames + std::size_t(j - 1)]; }
    std::int16_t& B(int i, int j) { return backPointers[std::size_t(i - 1) * kMaxFrames + std::size_t(j - 1)]; }
    // Path point k = 1..pathLength: test frame q(k), reference frame p(k).
    std::int16_t q(int k) const { return testFrames[std::size_t(k)]; }
    std::int16_t p(int k) const { return refFrames[std::size_t(k)]; }

    std::vector<float> distances = std::vector<float>(std::size_t(kMaxFrames) * kMaxFrames, 0.0f);
    std::vector<std::int16_t> backPointers = std::vector<std::int16_t>(std::size_t(kMaxFrames) * kMaxFrames, kNoBackPointer);
    std::array<std::int16_t, kMaxPathPoints + 1> testFrames{};  // index 0 unused
    std::array<std::int16_t, kMaxPathPoints + 1> refFrames{};
};

class DtwWordStore {
public:
    DtwWordStore();

    // --- configuration ---
    char method = kMethodGeneral;  // TimeWarpMethod
    std::int16_t bandRange = 10;   // half width of the general band

    // Stored features per frame, 0..20.  Changing it re-reads every stored
    // word's values with the new frame width.
    std::int16_t nFeat() const { return m_nFeat; }
    bool setNFeat(int nFeat);

    // --- words ---
    std::int16_t testWordCount = 0;
    std::int16_t referenceTotal = 0;
    const WordRecord& testWord(int w) const { return m_testWords[std::size_t(w)]; }
    const WordRecord& reference(int r) const { return m_references[std::size_t(r)]; }
    // Value m = 1..4000 of a word: frame (m-1) div nFeat + 1, stored feature
    // (m-1) mod nFeat + 1.
    const float* testValues(int w) const { return &m_testValues[std::size_t(w - 1) * kMaxValues]; }
    const float* referenceValues(int r) const { return &m_refValues[std::size_t(r - 1) * kMaxValues]; }

    // Store test word w (1..100) or reference r (1..500): the record and its
    // nFeat x frames values.  False (nothing stored) when the index, the frame
    // count (1..200), the label (0..50) or the number of values is out of bounds.
    // The counts are not changed.
    bool storeTestWord(int w, const WordRecord& record, std::span<const float> values);
    bool storeReference(int r, const WordRecord& record, std::span<const float> values);

    // --- the current pair ---
    std::int16_t currentTestWord = 0;   // w; 0 before the first word is chosen
    std::int16_t currentReference = 0;  // r
    std::int16_t N = 0;                 // frames of the current test word
    std::int16_t M = 0;                 // frames of the current reference
    // Feature f (1..20) of frame i (1..200) of the current pair.
    float testVector(int i, int f) const { return m_testVector[std::size_t(i - 1) * kMaxFeatures + std::size_t(f - 1)]; }
    float& testVector(int i, int f) { return m_testVector[std::size_t(i - 1) * kMaxFeatures + std::size_t(f - 1)]; }
    float refVector(int j, int f) const { return m_refVector[std::size_t(j - 1) * kMaxFeatures + std::size_t(f - 1)]; }
    float& refVector(int j, int f) { return m_refVector[std::size_t(j - 1) * kMaxFeatures + std::size_t(f - 1)]; }

    // --- results ---
    DtwTrace trace;                                       // the last pair match
    std::vector<BatchResult> batch = std::vector<BatchResult>(kMaxReferences + 1);  // per reference, 1-based
    BestResult best;                                      // of the last batch match

    // Work columns of the matching, indexed from -1 (D(-1) of the Itakura
    // method).
    struct Columns {
        std::array<float, kMaxFrames + 3> cost{};
        std::array<bool, kMaxFrames + 3> horizontal{};
        float& D(int j) { return cost[std::size_t(j + 2)]; }
        bool& H(int j) { return horizontal[std::size_t(j + 2)]; }
    };
    Columns columns;

    // The batch match's references, kLaneWidth to a group, and its work
    // space.  Group g's member in lane k is a reference (0: none); its values
    // lie side by side with those of the other lanes, frame by frame and
    // feature by feature.  Laid out by the batch match (DtwMatch.cpp) from
    // references 1..count ordered by frame count, and out of date whenever a
    // reference or nFeat changes (or the store is copied).
    static constexpr int kLaneWidth = 16;
    static constexpr int kLaneGroups = (kMaxReferences + kLaneWidth - 1) / kLaneWidth;
    struct ReferenceLanes {
        static constexpr std::size_t kGroupFloats = std::size_t(kMaxValues) * kLaneWidth;
        // Work columns of one group, indexed by reference frame -1..kMaxFrames+1.
        static constexpr std::size_t kColumnFloats = std::size_t(kMaxFrames + 8) * kLaneWidth;
        static constexpr int kWorkColumns = 4;

        ReferenceLanes() = default;
        ReferenceLanes(const ReferenceLanes&) {}
        ReferenceLanes& operator=(const ReferenceLanes&)
        {
            count = -1;
            return *this;
        }

        int count = -1;  // references laid out; -1 when out of date
        int groups = 0;
        std::vector<std::int16_t> member = std::vector<std::int16_t>(std::size_t(kLaneGroups + 1) * kLaneWidth, 0);
        std::vector<std::int16_t> frames = std::vector<std::int16_t>(std::size_t(kLaneGroups + 1), 0);
        // Group g's value of frame j, feature f (both 1-based) in lane k at
        // values(g)[((j-1) * nFeat + (f-1)) * kLaneWidth + k].  Group
        // kLaneGroups is scratch for matching a single reference.
        float* values(int g) { return aligned(m_values) + std::size_t(g) * kGroupFloats; }
        float* work() { return aligned(m_work); }

        // The union and the intersection of a group's bands per row; the end
        // frame of each lane.
        std::vector<std::int32_t> rowLo = std::vector<std::int32_t>(kMaxFrames, 0);
        std::vector<std::int32_t> rowHi = std::vector<std::int32_t>(kMaxFrames, 0);
        std::vector<std::int32_t> innerLo = std::vector<std::int32_t>(kMaxFrames, 0);
        std::vector<std::int32_t> innerHi = std::vector<std::int32_t>(kMaxFrames, 0);
        std::vector<std::int32_t> last = std::vector<std::int32_t>(kLaneWidth, 0);
        std::vector<float> out = std::vector<float>(kLaneWidth, 0.0f);
        // Bands by reference length M (0: no match): row i at
        // [M * kMaxFrames + (i-1)], made once per batch.
        std::vector<std::int32_t> bandLo = std::vector<std::int32_t>(std::size_t(kMaxFrames + 1) * kMaxFrames, 0);
        std::vector<std::int32_t> bandHi = std::vector<std::int32_t>(std::size_t(kMaxFrames + 1) * kMaxFrames, 0);
        std::vector<bool> bandReady = std::vector<bool>(kMaxFrames + 1, false);

    private:
        // 64-byte aligned start of a buffer allocated 16 floats longer.
        static float* aligned(std::vector<float>& v)
        {
            auto p = reinterpret_cast<std::uintptr_t>(v.data());
            return reinterpret_cast<float*>((p + 63) & ~std::uintptr_t(63));
        }
        std::vector<float> m_values = std::vector<float>(kGroupFloats * (kLaneGroups + 1) + 16, 0.0f);
        std::vector<float> m_work = std::vector<float>(kColumnFloats * kWorkColumns + 16, 0.0f);
    };
    ReferenceLanes lanes;

private:
    std::int16_t m_nFeat = 0;
    std::vector<WordRecord> m_testWords;
    std::vector<WordRecord> m_references;
    std::vector<float> m_testValues;
    std::vector<float> m_refValues;
    std::vector<float> m_testVector;
    std::vector<float> m_refVector;
};

}  // namespace talvor::timewarp

#include "timewarp/DtwWordStore.h"

#include <algorithm>

namespace talvor::timewarp {

DtwWordStore::DtwWordStore()
    : m_testWords(kMaxTestWords + 1)
    , m_references(kMaxReferences + 1)
    , m_testValues(std::size_t(kMaxTestWords) * kMaxValues, 0.0f)
    , m_refValues(std::size_t(kMaxReferences) * kMaxValues, 0.0f)
    // Four floats beyond the last reference: the batch match reads whole
    // vectors of four past a band's end.
    , m_refByFeature(std::size_t(kMaxReferences) * kMaxValues + 4, 0.0f)
    , m_testVector(std::size_t(kMaxFrames) * kMaxFeatures, 0.0f)
    , m_refVector(std::size_t(kMaxFrames) * kMaxFeatures, 0.0f)
{
}

bool DtwWordStore::setNFeat(int nFeat)
{
    if (nFeat < 0 || nFeat > kMaxFeatures)
        return false;
    if (nFeat == m_nFeat)
        return true;
    m_nFeat = std::int16_t(nFeat);
    for (int r = 1; r <= kMaxReferences; ++r)
        if (m_references[std::size_t(r)].frames > 0)
            transposeReference(r);
    return true;
}

namespace {

bool acceptable(const WordRecord& record, std::size_t values, int nFeat)
{
    return record.frames >= 1 && record.frames <= kMaxFrames && record.label >= 0 && record.label <= kMaxLabel
        && values == std::size_t(nFeat) * std::size_t(record.frames);
}

}  // namespace

bool DtwWordStore::storeTestWord(int w, const WordRecord& record, std::span<const float> values)
{
    if (w < 1 || w > kMaxTestWords || !acceptable(record, values.size(), m_nFeat))
        return false;
    m_testWords[std::size_t(w)] = record;
    std::copy(values.begin(), values.end(), m_testValues.begin() + std::ptrdiff_t(std::size_t(w - 1) * kMaxValues));
    return true;
}

bool DtwWordStore::storeReference(int r, const WordRecord& record, std::span<const float> values)
{
    if (r < 1 || r > kMaxReferences || !acceptable(record, values.size(), m_nFeat))
        return false;
    m_references[std::size_t(r)] = record;
    std::copy(values.begin(), values.end(), m_refValues.begin() + std::ptrdiff_t(std::size_t(r - 1) * kMaxValues));
    transposeReference(r);
    return true;
}

void DtwWordStore::transposeReference(int r)
{
    const int frames = m_references[std::size_t(r)].frames;
    const float* src = &m_refValues[std::size_t(r - 1) * kMaxValues];
    float* dst = &m_refByFeature[std::size_t(r - 1) * kMaxValues];
    for (int j = 0; j < frames; ++j)
        for (int f = 0; f < m_nFeat; ++f)
            dst[std::size_t(f) * kMaxFrames + std::size_t(j)] = src[std::size_t(j) * std::size_t(m_nFeat) + std::size_t(f)];
}

}  // namespace talvor::timewarp

#include "timewarp/DtwWordStore.h"

#include <algorithm>

namespace talvor::timewarp {

DtwWordStore::DtwWordStore()
    : m_testWords(kMaxTestWords + 1)
    , m_references(kMaxReferences + 1)
    , m_testValues(std::size_t(kMaxTestWords) * kMaxValues, 0.0f)
    , m_refValues(std::size_t(kMaxReferences) * kMaxValues, 0.0f)
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
    lanes.count = -1;
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
    lanes.count = -1;
    return true;
}

}  // namespace talvor::timewarp

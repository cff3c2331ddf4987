#include "hmmview/TrellisRecord.h"

namespace talvor::hmmview {

void PaneRecord::clear()
{
    painted = false;
    links.clear();
    localBest.clear();
    frameBest.clear();
    bestPath.clear();
}

void PaneRecord::layout(std::int32_t frameCount, std::int32_t rowCount, bool entry)
{
    clear();
    frames = frameCount > 0 ? frameCount : 0;
    rows = rowCount > 0 ? rowCount : 0;
    entryRow = entry;
    painted = true;
    links.assign(static_cast<std::size_t>(frames) * static_cast<std::size_t>(rows), kNoLink);
    localBest.assign(static_cast<std::size_t>(frames), -1);
    frameBest.assign(static_cast<std::size_t>(frames), -1);
}

std::int32_t PaneRecord::fromRow(std::int32_t frame, std::int32_t row) const
{
    if (frame < 0 || frame >= frames || row < 0 || row >= rows || links.empty())
        return -1;
    switch (links[static_cast<std::size_t>(frame) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(row)]) {
    case kFromSameRow: return row;
    case kFromRowBelow: return row - 1;
    default: return -1;
    }
}

void PaneRecord::setLink(std::int32_t frame, std::int32_t row, std::int32_t from)
{
    if (frame < 0 || frame >= frames || row < 0 || row >= rows || links.empty())
        return;
    std::uint8_t code = kNoLink;
    if (from == row)
        code = kFromSameRow;
    else if (from == row - 1)
        code = kFromRowBelow;
    links[static_cast<std::size_t>(frame) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(row)] = code;
}

void PaneRecord::setLocalBest(std::int32_t frame, std::int32_t row)
{
    if (frame >= 0 && frame < static_cast<std::int32_t>(localBest.size()))
        localBest[static_cast<std::size_t>(frame)] = row;
}

void PaneRecord::setFrameBest(std::int32_t frame, std::int32_t row)
{
    if (frame >= 0 && frame < static_cast<std::int32_t>(frameBest.size()))
        frameBest[static_cast<std::size_t>(frame)] = row;
}

}  // namespace talvor::hmmview

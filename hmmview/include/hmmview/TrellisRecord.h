#pragma once
// What a model pane shows of a match: a compact record of the trellis that
// the decoders report (TrellisObserver), which the pane paints and tests read.

#include <cstdint>
#include <vector>

namespace talvor::hmmview {

struct PaneRecord {
    struct Cell {
        std::int32_t frame = 0;
        std::int32_t row = 0;
        bool operator==(const Cell&) const = default;
    };
    // Link codes, one per cell.
    static constexpr std::uint8_t kNoLink = 0;
    static constexpr std::uint8_t kFromSameRow = 1;
    static constexpr std::uint8_t kFromRowBelow = 2;

    bool painted = false;     // state circles stand (after a layout, until cleared)
    std::int32_t frames = 0;  // T of the last layout
    std::int32_t rows = 0;    // states (plus the entry row in string decoding)
    bool entryRow = false;    // row 0 is the entry state
    std::vector<std::uint8_t> links;       // [frame * rows + row]
    std::vector<std::int32_t> localBest;   // per frame: the row, -1 none
    std::vector<std::int32_t> frameBest;   // per frame: the row, -1 none
    std::vector<Cell> bestPath;            // in the order drawn

    // Empty picture (the pane's Cls); the geometry stays.
    void clear();
    // Cleared and laid out for `frames` frames of `rows` rows.
    void layout(std::int32_t frameCount, std::int32_t rowCount, bool entry);
    // The row the best predecessor of (frame, row) lies in; -1 when none was drawn.
    std::int32_t fromRow(std::int32_t frame, std::int32_t row) const;
    void setLink(std::int32_t frame, std::int32_t row, std::int32_t from);
    void setLocalBest(std::int32_t frame, std::int32_t row);
    void setFrameBest(std::int32_t frame, std::int32_t row);
};

}  // namespace talvor::hmmview

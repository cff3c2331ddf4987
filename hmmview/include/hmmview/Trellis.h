#pragma once
// What the decoders take and what they report to the trellis drawing.

#include <cstdint>
#include <span>
#include <string>

namespace talvor::hmmview {

class ObservationScores;

// The tested word: `frames` frames of `features` values each, frame after frame.
struct PackedWord {
    std::span<const float> values;
    std::int32_t frames = 0;    // T
    std::int32_t features = 0;  // values kept per frame
    // True when the values hold every frame the word announces.
    bool complete() const
    {
        return frames >= 1 && features >= 1 &&
               static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(features) <= values.size();
    }
};

enum class MatchStatus {
    Done,       // decoded to the end
    Stopped,    // the observer's step answered "stop"; the run ended there
    NotScored,  // nothing decodable: the scores were set to -1e30
    Refused,    // bad arguments (too many panes): nothing changed
};

// Receives the trellis as the decoders build it.  Rows count from the bottom:
// row r is model state r, except in string decoding, where row 0 is the entry
// state and model state j is row j + 1.  All calls have empty defaults.
class TrellisObserver {
public:
    virtual ~TrellisObserver();
    // The pane is cleared and laid out for `frames` frames of `rows` rows, and
    // a state circle stands at every cell (row 0 an entry state when
    // `entryRow`).
    virtual void layoutPane(int pane, int frames, int rows, bool entryRow);
    // The best predecessor of (frame, row) is (frame - 1, fromRow).
    virtual void statePath(int pane, int frame, int row, int fromRow);
    // The best state of the pane's model in a frame (parallel and string decoding).
    virtual void localBest(int pane, int frame, int row);
    // The best state of all models in a frame.
    virtual void frameBest(int pane, int frame, int row);
    // One cell of the back-tracked best path.
    virtual void bestPath(int pane, int frame, int row);
    // The pane's order and score labels get these texts.
    virtual void orderScore(int pane, const std::string& order, const std::string& score);
    // String decoding: at `frame` the word of `pane`, entered after `entryFrame`,
    // ended best.
    virtual void wordEnd(int frame, int pane, int entryFrame);
    // One animation step; true stops the run.  Only called when animating.
    virtual bool step();
};

struct MatchOptions {
    TrellisObserver* observer = nullptr;  // no drawing when null
    bool animate = false;                 // call observer->step() between steps
    // Observation scores of the tested word to share between decoders and
    // panes; the decoder makes its own when null.  Must be made for the same word.
    ObservationScores* scores = nullptr;
};

}  // namespace talvor::hmmview

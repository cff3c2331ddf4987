#pragma once
// The three HMM decoders.  Scores are natural logarithms in 32-bit floats;
// -1e30 (kScoreFloor) is minus infinity.  A model that is not loaded, or whose
// feature count differs from the word's, is never decoded: it scores -1e30,
// stays unranked and is never the recognised word.

#include <cstdint>
#include <span>
#include <string>

#include "hmmview/MatchResults.h"
#include "hmmview/Trellis.h"

namespace talvor::hmmview {

class HmmModel;

// Viterbi decoding of one model on pane `pane`: the path starts in state 0,
// moves by the self loop or to the next state, and must end in the last
// state.  On a tie the predecessor from the state below wins.  `score` gets
// the last state's score after the last frame (not divided by the frames), or
// -1e30 when the model is not decodable (status NotScored, nothing drawn).
// With an observer the trellis is reported after decoding (`draw`), the score
// already set; a stop from the observer ends the drawing.
MatchStatus MatchSequentialHMM(const HmmModel& model, const PackedWord& word, float& score, int pane,
                               bool draw, const MatchOptions& options = {});

// All pane models decoded frame by frame in one network; a model whose best
// state falls more than `pruneTr` below the best state of all models is
// dropped for good (a negative or NaN threshold counts as unset: 1000).  On a
// tie the predecessor from the state below wins.  Column 0 of `results` gets
// every pane's score (-1e30 when pruned or not decodable); the panes are
// ranked (RankByScore) and `recognised` gets the word of the last pane ranked 1
// (unchanged when none is).  A stop while the frames are decoded changes
// nothing; a stop while the best paths are reported keeps the score rows
// written so far and ranks nothing.  paneModels[k] is the model pane k shows
// (null: none); at most kMaxPanes panes.
MatchStatus MatchParallelHMM(std::span<const HmmModel* const> paneModels, const PackedWord& word,
                             MatchResults& results, float pruneTr, std::string& recognised,
                             const MatchOptions& options = {});

// Connected-word decoding: every pane model may follow every other, without
// penalty.  On a tie the self loop wins.  The sequence of words that ends best
// at the last frame is traced back, at most `maxWords` (the last ones), and
// written into column 2 of `results` in spoken order, -1 after the last;
// column 0 of every pane becomes -1e30 and the order and score labels are
// cleared.  `text` gets the words joined with "_" and `count` their number; 0
// and "" when no model reaches its last state by the last frame.
MatchStatus MatchStringHMM(std::span<const HmmModel* const> paneModels, const PackedWord& word,
                           MatchResults& results, std::string& text, std::int32_t maxWords,
                           std::int32_t& count, const MatchOptions& options = {});

// The threshold parallel decoding uses when none is set.
constexpr float kDefaultPruneThreshold = 1000.0f;

}  // namespace talvor::hmmview

#pragma once
// Stepping through the stored words of the word data store in the analyser
// window: the word list (the window's list of word names) selects a word, the
// store hands it out, the displays show it.
//
// Use:
//     StoredWord w = nextWord(list, store, displays);
//     if (w.shown) { copy w into the window's buffers; if (replay) play it; }

#include <cstdint>
#include <string>
#include <vector>

#include "analyser/WordDisplays.h"
#include "worddata/WordDataStore.h"

namespace talvor::analyser {

// The window's word list, as the browsing sees it.
class WordList {
public:
    virtual ~WordList();
    virtual int count() const = 0;
    virtual int currentIndex() const = 0;  // -1: none selected
    virtual void select(int index) = 0;
    virtual void setText(int index, const std::string& text) = 0;
};

// The word a ShowStoredWord produced, laid out as the window's buffers hold a
// stored word: 10 frames (800 samples) before and after it.
struct StoredWord {
    bool shown = false;            // the displays show it (its status 0 or negative, 21 frames or more, delivered)
    std::int32_t storeStatus = 0;  // what GetWordData said
    std::int32_t status = 0;       // the window's status: the store's, 0 when negative
    std::int32_t wordNumber = 0;   // the word the store actually used (1-based)
    std::string name;
    std::int32_t frames = 0;       // F, margins included
    std::vector<float> features;   // 20 x F when delivered
    std::vector<std::int16_t> samples;  // 80 x F when delivered
    std::int32_t sampleCount = 0;  // samples delivered, 0 when none
    std::int32_t wStart = 0, wStop = 0, startSample = 0, endSample = 0;
    // Only a delivered word may be played.
    bool playable() const { return sampleCount > 0; }
};

// The smallest stored word the displays show: 10 margin frames on each side and one frame of word.
inline constexpr std::int32_t kMinStoredFrames = 21;

// Shows the selected entry's word (entry k is word k + 1); the entry takes the
// name of the word the store used.  A word that cannot be shown clears the panes.
StoredWord showStoredWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays);
// One entry back (or the first) and ShowStoredWord; nothing at all on an empty list.
StoredWord previousWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays);
// One entry on (or the first when none is selected, or stays on the last) and
// ShowStoredWord; nothing at all on an empty list.  The caller clears its
// "user picks a word" flag first.
StoredWord nextWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays);

}  // namespace talvor::analyser

#include "analyser/StoredWordBrowser.h"

namespace talvor::analyser {

WordList::~WordList() = default;

StoredWord showStoredWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays)
{
    StoredWord word;
    worddata::WordData data;
    data.i = list.currentIndex() + 1;
    std::int32_t status = 0;
    store.GetWordData(data, status);
    word.storeStatus = status;
    word.status = status < 0 ? 0 : status;
    word.wordNumber = data.i;
    word.name = data.name;
    word.frames = data.nFrames;
    // The entry of the word the store used takes its name.
    if (data.i >= 1 && data.i <= list.count())
        list.setText(data.i - 1, data.name);

    const std::int32_t F = data.nFrames;
    const bool delivered = !data.v.empty() && !data.s.empty()
                           && (long long)data.v.size() >= 20LL * F && (long long)data.s.size() >= 80LL * F;
    word.sampleCount = std::int32_t(data.s.size());
    word.features = std::move(data.v);
    word.samples = std::move(data.s);
    word.wStart = 10;
    word.wStop = F - 10;
    word.startSample = 800;
    word.endSample = (F - 10) * 80;
    if (status > 0 || F < kMinStoredFrames || F > kMaxFrames || !delivered) {
        displays.clearAll();
        return word;
    }
    WordSource source;
    source.samples = word.samples;
    source.sampleCount = word.sampleCount;
    source.features = word.features;
    source.wStart = word.wStart;
    source.wStop = word.wStop;
    source.startSample = word.startSample;
    source.endSample = word.endSample;
    source.status = 0;
    word.shown = displays.showWord(source);
    return word;
}

StoredWord previousWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays)
{
    if (list.count() < 1)
        return {};
    const int last = list.count() - 1;
    const int i = list.currentIndex();
    list.select(i > last ? last : (i > 0 ? i - 1 : 0));
    return showStoredWord(list, store, displays);
}

StoredWord nextWord(WordList& list, const worddata::WordDataStore& store, WordDisplays& displays)
{
    if (list.count() < 1)
        return {};
    const int last = list.count() - 1;
    const int i = list.currentIndex();
    list.select(i < last ? (i >= 0 ? i + 1 : 0) : last);
    return showStoredWord(list, store, displays);
}

}  // namespace talvor::analyser

// talvor_store_words VOCABULARY RECORDING.lab WAV...
// talvor_store_words --strings RECORDING.lab WAV...
//
// Stores one spoken word per WAV file as a recording of a vocabulary, the way
// the analyser stores a word it has recorded: the engine's word detector cuts
// the word out of the WAV (8000 Hz, mono, 16-bit), and frames start - 10 to
// end + 9 of the token, with the samples from 800 before the token's start,
// become word k of the recording (the k-th WAV, in the vocabulary's order).  VOCABULARY
// is the vocabulary file without its ".voc".  Writes RECORDING.lab and the
// .par and .rec beside it.  Used by data/make-demo-data to build the demo
// tree from synthetic speech.
//
// With --strings the recording is one of word strings, as Speech Recording
// stores them with the option "word strings": each WAV holds one string, and
// the WAV's name without its folder and ".wav" is the string's text
// ("one_two_three.wav" holds "one_two_three").
//
// Exit codes: 0 done, 1 bad arguments or a file that cannot be read or
// written, 2 no word found in a WAV.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/TokenDetector.h"
#include "platform/Audio.h"
#include "worddata/WordDataStore.h"

using namespace talvor;

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s VOCABULARY|--strings RECORDING.lab WAV...\n", argv[0]);
        return 1;
    }
    worddata::WordDataStore store;
    if (std::strcmp(argv[1], "--strings") == 0) {
        std::vector<std::string> strings;
        for (int k = 3; k < argc; ++k) {
            std::string name = argv[k];
            name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0)
                name.resize(name.size() - 4);
            strings.push_back(name);
        }
        if (store.SetNewVoc(strings, std::int32_t(strings.size())) != 0) {
            std::fprintf(stderr, "%s\n", store.lastError().c_str());
            return 1;
        }
    } else if (store.NewLab(argv[1], "") != 0) {
        std::fprintf(stderr, "%s\n", store.lastError().c_str());
        return 1;
    }
    if (argc - 3 > store.Rows() - 1) {
        std::fprintf(stderr, "%d WAV files for a vocabulary of %d words\n", argc - 3, store.Rows() - 1);
        return 1;
    }
    for (int k = 3; k < argc; ++k) {
        std::vector<std::int16_t> samples;
        std::string error;
        if (!platform::readWav(argv[k], &samples, &error)) {
            std::fprintf(stderr, "%s: %s\n", argv[k], error.c_str());
            return 1;
        }
        engine::TokenDetector detector;
        engine::TokenResult token;
        detector.LinkTokenResult(&token);
        const std::size_t n = std::min<std::size_t>(samples.size(), engine::TokenDetector::kBufferSamples);
        std::memcpy(detector.recordBuffer(), samples.data(), n * sizeof(std::int16_t));
        detector.NextFrame();
        detector.setRecorded(std::int32_t(n));
        if (detector.ProcessFrames() != engine::TokenFound) {
            std::fprintf(stderr, "%s: no word found\n", argv[k]);
            return 2;
        }
        // The word with 10 margin frames on each side: frames start - 10 to
        // end + 9 of the frame store (the detector starts no word before 10).
        const std::int32_t first = token.startFrame - 10;
        const std::int32_t frames = token.endFrame - token.startFrame + 20;
        if (first < 0 || token.endFrame + 10 > engine::TokenDetector::kFrameStoreSize) {
            std::fprintf(stderr, "%s: the word lies too near the edge of the frame store\n", argv[k]);
            return 2;
        }
        std::vector<float> v(std::size_t(frames) * 20);
        std::memcpy(v.data(), detector.frames() + first, v.size() * sizeof(float));
        std::vector<std::int16_t> s(std::size_t(frames) * 80, 0);
        for (std::size_t i = 0; i < s.size(); ++i) {
            const std::int64_t at = std::int64_t(token.startSample) - 800 + std::int64_t(i);
            if (at >= 0 && at < std::int64_t(n))
                s[i] = detector.recordBuffer()[at];
        }
        const std::int32_t row = k - 2;
        if (store.PutWordData(row, v, s, frames, store.cell(row, worddata::ColName)) != 0) {
            std::fprintf(stderr, "%s: %s\n", argv[k], store.lastError().c_str());
            return 1;
        }
        std::printf("%s: word %d, frames %d to %d\n", argv[k], row, int(token.startFrame), int(token.endFrame));
    }
    if (store.Save_Data(argv[2]) != 0) {
        std::fprintf(stderr, "%s\n", store.lastError().c_str());
        return 1;
    }
    return 0;
}

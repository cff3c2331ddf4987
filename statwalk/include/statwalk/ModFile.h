#pragma once
// Writing model files (.mod) as the HMM viewer reads them: little-endian, no
// padding, a 52-byte header, then four tables of 32-bit floats.
//   0  16 bytes  the word, zero-padded (at most 15 characters, so a zero ends it)
//  16  int16     model ID (the word's vocabulary index)
//  18  int16     sampling frequency      20  int16  window length
//  22  int16     window shift            24  int16  F features per frame
//  26  int16     S states                28  int16  M mixtures per state
//  30  int16     maximum state skip      32  5 x int16  reserved, zero
//  42  int16     training year, 44 month, 46 day
//  48  float32   model constant
//  52  transitions (S x S, source outer), weights (S x M), means (S x M x F),
//      variances (S x M x F)

#include <cstdint>
#include <string>
#include <vector>

#include "common/VocabularyFile.h"
#include "statwalk/HmmParameters.h"

namespace talvor::statwalk {

struct ModHeader {
    std::string word;
    std::int32_t modelID = 0;
    std::int32_t frequency = 8000;
    std::int32_t windowLength = 160;
    std::int32_t windowShift = 80;
    std::int32_t maxSkips = 0;  // the models skip no state
    std::int32_t year = 0, month = 0, day = 0;
    float modelConst = 0.0f;
};

// The file's bytes.  False with a reason when the tables do not fit S, M and F
// or a header number does not fit 16 bits.
bool modFileBytes(const ModHeader& header, const HmmParameters& model, std::string* bytes,
                  std::string* error = nullptr);

// The file name of the model of vocabulary word `index`: the word + ".mod"
// when the word is a safe file name that no other word of the vocabulary
// shares (letter case ignored, as the viewer finds model files), else
// "model<index>.mod".
std::string modelFileName(const Vocabulary& vocabulary, std::int32_t index);

}  // namespace talvor::statwalk

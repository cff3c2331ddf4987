#pragma once
// The recognition log recog.log of the test-all run: every word of the word
// list with the loaded models ordered by their score for it.
//
//   nazdar:
//   <word>:
//   <model words, best first, with no separator>
//   <their scores, each in print form: " 12.5 ", "-1E+30 ">
//   (empty line)
//   (empty line)
// ... one five-line block per word, CR LF line ends.

#include <string>
#include <vector>

namespace talvor::hmmview {

inline constexpr const char* kRecogLogName = "recog.log";

struct RecogLogBlock {
    std::string text;                 // the word's name
    std::vector<std::string> models;  // model words in load order
    std::vector<float> scores;        // their scores, in load order
};

// The models of a block best first: a stable order by descending score
// (equal scores keep load order).  Returns the load-order indices.
std::vector<int> recogLogOrder(const std::vector<float>& scores);

// The log's whole text.
std::string recogLogText(const std::vector<RecogLogBlock>& blocks);

}  // namespace talvor::hmmview

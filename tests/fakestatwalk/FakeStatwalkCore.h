#pragma once
// The parts of the fake external HMM programs that need no window: its
// behaviour file and the model files it writes.
//
// The fake stands in for the trainer (statwalk1) and the recogniser
// (statwalk2) in tests.  Beside the executable, in the program folder, an
// optional behaviour file "fakestatwalk.cfg" says what it does; one setting
// per line, "#" starts a comment:
//
//   answer 3                 word index answered to a recognise command (default 0)
//   pick_answer same         word index answered to a pick command: "same" (the
//                            picked index, the default) or a number
//   answer_by post           how answers and keys are delivered: post (default) or send
//   analyser_caption TEXT    the analyser's window (default "Wavescope in mode: " + mode name)
//   main_caption TEXT        the main window (default "Talvor Setup")
//   start_main_keys K...     keys sent to the main window right after the start
//   exit_main_keys K...      keys sent to the main window when the program ends
//   return_keys K...         keys sent to the analyser after an HMM-button or pick
//                            command, handing control back (default 26675)
//   work_ms N                how long the job takes (default 100)
//   close_when_done yes|no   end by itself after the job (default: yes in HMM
//                            Training and HMM Matching, no otherwise)
//   models yes|no            the trainer writes model files (default yes)
//
// TEXT is the rest of the line.  An unknown setting or a bad value refuses
// the start, and so does a job whose word sets are missing or short
// (checkWordSets).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/StatwalkConfig.h"

namespace talvor::fake {

inline constexpr const char* kBehaviourFile = "fakestatwalk.cfg";

enum class Delivery { Post, Send };

struct Behaviour {
    std::int32_t answer = 0;
    std::optional<std::int32_t> pickAnswer;  // none: the picked index
    Delivery answerBy = Delivery::Post;
    std::string analyserCaption;  // "" : the default for the mode
    std::string mainCaption = "Talvor Setup";
    std::vector<std::int32_t> startMainKeys;
    std::vector<std::int32_t> exitMainKeys;
    std::vector<std::int32_t> returnKeys{26675};
    std::int32_t workMs = 100;
    std::optional<bool> closeWhenDone;  // none: by mode
    bool models = true;
};

// Reads a behaviour text; false with a message naming the line otherwise.
bool parseBehaviour(std::string_view text, Behaviour* behaviour, std::string* error);

// Whether the program ends by itself after its job in this mode.
bool closesWhenDone(const Behaviour& behaviour, std::int32_t mode);

// The word sets the job names (its training files, or its test file), read
// from the job's work folder with the job's features: false with the reason
// when one is missing, cannot be read, holds no word or is shorter than its
// label file announces.  The recorded token "X" of Speak & Recognize (HMM)
// is written later, at each utterance, and is not looked at.
bool checkWordSets(const std::string& programFolder, const StatwalkConfig& job, std::string* error);

// One HMM model file (layout of the model reader): a 52-byte header (word,
// id, sampling frequency 8000, window 160, shift 80, features, states,
// mixtures, skips, date, constant), then left-to-right transitions, equal
// mixture weights, means that tell the word and state apart, unit variances.
std::string modelFileBytes(const std::string& word, std::int32_t id, std::int32_t features, std::int32_t states,
                           std::int32_t mixtures, int year, int month, int day);

// The file name of word `index`'s model: the word + ".mod" when the word is a
// safe file name, else "model<index>.mod".
std::string modelFileName(const std::string& word, std::int32_t index);

}  // namespace talvor::fake

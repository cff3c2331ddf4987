// The captions and built-in texts of the wizard's pages.
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

const std::array<const char*, kPageCount> kPageCaptions = {
    "Begin ",    "Vocabulary ", "New Vocabulary ", "File ",
    "References ", "Work Dir ", "Features ",       "Data ",
    "Other configurations", "End",
};

const std::array<const char*, kModeCount> kModeOptions = {
    "Speech Recording",
    "Signal Exploring",
    "DTW Matching",
    "HMM Training",
    "HMM Matching",
    "Pick & Match (HMM)",
    "Pick & Match (DTW)",
    "Speak & Recognize (HMM)",
    "Speak & Recognize (DTW)",
    "Database Maintenance",
    "Pick & Match (HMM)",
    "HMM sequential  and parallel recognition",
    "Speak & Recognize (HMM)",
    "Talvor's Recognition Engine",
};

const std::array<const char*, kFeatureCount> kFeatureBoxes = {
    "cep1",  "cep2",  "cep3",  "cep4",  "cep5",  "cep6",  "cep7", "cep8", "dcep1", "dcep2",
    "dcep3", "dcep4", "dcep5", "dcep6", "dcep7", "dcep8", "dene", "ddene", "svf", "ene",
};

const std::array<const char*, 5> kRunTimeOptions = {
    "none", "Text file", "Windows message", "TCP/IP connection", "Using TALVOR2.DLL ",
};

const std::array<std::string, kPromptCount> kPrompts = {
    "Choose a mode of operation and press the Next button.",
    "Choose either one of the existing vocabularies or decide to create a new vocabulary:",
    "Enter a name for the new vocabulary and then add vocabulary items.                    To edit an already entered item just click on it.           After entering all items proceed by pressing the Next button. ",
    "Enter a name for the data file. Recommended filename format is SXYNN, where S denotes the speaker's sex, XY his/her initials and NN stands for additional pair of digits.                                    ",
    "Select file(s) that will supply data for DTW references or for training HMMs.        In case of DTW, one file (i.e. one set of references) may be adequate. Max. number is 5 files.              For training HMMs, more files (i.e. more samples per model) are needed.",
    "Select one of the directories where HMMs have been trained and stored.                                 If you want to see the model parameters in the selected directory, press the Models button.   ",
    "The models you have chosen were trained with the displayed features. The same features must be used also in matching.",
    "This facility allows you to delete:                       1) complete data belonging to a given vocabulary                                                    2) selected recording in given vocabulary                                                                3) selected working subdirectory. To delete, select an option and an item and press Delete.",
    "Enter prunning treshold.",
    "Below are all the TALVOR parameters as they were set up. If O.K. press Next button and wait until the remaining setup steps are completed, otherwise Begin the setup again.",
    "Enter a name for the data file. Recommended filename format is SXYNN, where S denotes the speaker's sex, XY his/her initials and NN stands for additional pair of digits.                                    ",
    "Enter a name for the data file. Recommended filename format is SXYNN, where S denotes the speaker's sex, XY his/her initials and NN stands for additional pair of digits.                                    ",
    "Enter a name for the data file. Recommended filename format is SXYNN, where S denotes the speaker's sex, XY his/her initials and NN stands for additional pair of digits.                                    ",
    "Select one of the directories where HMMs have been trained and stored.                                 If you want to see the model parameters in the selected directory, press the Models button.   ",
    "Select one of the directories where HMMs have been trained and stored.                                 If you want to see the model parameters in the selected directory, press the Models button.   ",
    "The models you have chosen were trained with the displayed features. The same features must be used also in matching.",
    "Select one of choice of result passing into yuor application.",
};

const std::string kEmpty;

}  // namespace

const char* pageCaption(int page)
{
    return (page >= 0 && page < kPageCount) ? kPageCaptions[std::size_t(page)] : "";
}

const char* modeOptionCaption(int mode)
{
    return (mode >= 0 && mode < kModeCount) ? kModeOptions[std::size_t(mode)] : "";
}

const std::vector<ModeGroup>& modeGroups()
{
    static const std::vector<ModeGroup> groups = {
        {"Single", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"String", {10, 12}},
        {"Combined", {11}},
        {"Other", {9, 13}},
    };
    return groups;
}

const char* featureBoxCaption(int index)
{
    return (index >= 0 && index < kFeatureCount) ? kFeatureBoxes[std::size_t(index)] : "";
}

const char* runTimeOptionCaption(int index)
{
    return (index >= 0 && index < 5) ? kRunTimeOptions[std::size_t(index)] : "";
}

const std::string& promptText(int index)
{
    return (index >= 0 && index < kPromptCount) ? kPrompts[std::size_t(index)] : kEmpty;
}

}  // namespace talvor::workbench

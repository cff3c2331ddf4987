// The files a mode needs before it starts: word sets made from the word data
// files (MakeLbPrFiles), the configuration files of the external HMM programs
// (MakeMarkovTrainEdf, MakeMarkovTestEdf), and the reading of a work
// directory's model configuration (ReadModelEdf).
#include <cstring>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/NumberText.h"
#include "common/WordSetFile.h"
#include "worddata/WordDataFiles.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

constexpr std::int64_t kMarginFrames = 10;  // stored before (and after) each word proper
constexpr std::int64_t kBytesPerStoredFrame = 4 * kFeatureCount;

// "Number of states: " and the number with a blank in front when it is not negative.
std::string withNumber(const char* label, std::int32_t n)
{
    return std::string(label) + (n < 0 ? "" : " ") + std::to_string(n);
}

}  // namespace

bool Wizard::MakeLbPrFiles(const std::string& fileName, std::string* error)
{
    report.print(fileName + "  ");
    const DataTree tree(m_state.AppPath);
    const std::string source = tree.recordingBase(vocName, fileName);
    const std::string work = tree.workFolder(vocName, workDir);
    auto fail = [&](const std::string& why) {
        *error = "Cannot make the working copy of " + fileName + ": " + why;
        return false;
    };

    std::string lab, par;
    if (!readFileWhole(resolveFileName(source + ".lab"), &lab))
        return fail(normalizeSeparators(source) + ".lab cannot be read.");
    if (!readFileWhole(resolveFileName(source + ".par"), &par))
        return fail(normalizeSeparators(source) + ".par cannot be read.");
    const std::int64_t storedFrames = std::int64_t(par.size()) / kBytesPerStoredFrame;

    // The words in .lab order: number, label and length from the file, the
    // offset in the new feature file the running sum of the lengths.
    std::vector<WordSetEntry> words;
    std::string values;  // the selected 4-byte values, copied as they are
    const auto rows = worddata::parseLabText(lab);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const worddata::WordRow& row = rows[k];
        const std::string line = "line " + std::to_string(k + 1) + " of " + fileName + ".lab";
        std::int32_t number = 0, label = 0, length = 0, offset = 0;
        if (!parseInt32(row[worddata::ColIndex], &number) || !parseInt32(row[worddata::ColIdent], &label) ||
            !parseInt32(row[worddata::ColLength], &length) || !parseInt32(row[worddata::ColOffset], &offset))
            return fail(line + " holds a cell that is not a whole number.");
        if (length < 1)
            return fail(line + " has a length below 1.");
        if (offset < 0 || std::int64_t(offset) + kMarginFrames + length > storedFrames)
            return fail(line + ": the word's frames lie outside " + fileName + ".par (" +
                        std::to_string(storedFrames) + " frames).");
        words.push_back({number, label, length, 0});
        for (std::int64_t f = 0; f < length; ++f) {
            const std::size_t at = std::size_t((offset + kMarginFrames + f) * kBytesPerStoredFrame);
            for (int i = 0; i < kFeatureCount; ++i)
                if (controls.chkFeature[std::size_t(i)])
                    values.append(par, at + std::size_t(4 * i), 4);
        }
    }
    if (words.empty())
        return fail(fileName + ".lab holds no words.");

    // The feature file first: the label file says what a reader takes from it.
    std::string why;
    if (!writeFileWhole(resolveFileName(joinPath(work, fileName + kFeatureFileExtension)), values, &why))
        return fail(why);
    if (!writeLabelFile(resolveFileName(joinPath(work, fileName + kLabelFileExtension)), words,
                        LabelFileSpacing::WordSet, &why))
        return fail(why);
    return true;
}

bool Wizard::MakeMarkovTrainEdf(std::string* error)
{
    const DataTree tree(m_state.AppPath);
    StatwalkConfig config;
    config.kind = StatwalkKind::Training;
    config.mode = mode;
    config.vocabulary = vocName;
    config.workDirectory = workDir;
    config.featureCount = numFeat;
    std::copy(controls.chkFeature.begin(), controls.chkFeature.end(), config.features.begin());
    config.files = controls.lstRefSelected;
    config.states = nStates;
    config.mixtures = nMixtures;
    const std::string path = tree.statwalkConfigFile(StatwalkKind::Training);
    if (!writeStatwalkConfig(path, config, error))
        return false;
    report.printLine("Configuration file 'STATWALK1.EDF' has been created");
    // The copy beside the models tells later which features, states and
    // mixtures they were trained with.
    if (!writeStatwalkConfig(resolveFileName(tree.modelConfigCopy(vocName, workDir)), config, error))
        return false;
    return true;
}

bool Wizard::MakeMarkovTestEdf(std::string* error)
{
    StatwalkConfig config;
    config.kind = StatwalkKind::Recognition;
    config.mode = mode;
    config.vocabulary = vocName;
    config.workDirectory = workDir;
    config.featureCount = numFeat;
    std::copy(controls.chkFeature.begin(), controls.chkFeature.end(), config.features.begin());
    // Speak & Recognize (HMM) recognises the recorded token.
    config.files = {mode == ModeSpeakRecognizeHmm ? std::string("X") : sourceFile};
    config.states = nStates;
    config.mixtures = nMixtures;
    if (!writeStatwalkConfig(DataTree(m_state.AppPath).statwalkConfigFile(StatwalkKind::Recognition), config, error))
        return false;
    report.printLine("Configuration file 'STATWALK2.EDF' has been created");
    return true;
}

bool Wizard::ReadModelEdf(std::string* why)
{
    if (why)
        why->clear();
    const DataTree tree(m_state.AppPath);
    if (vocName.empty() || workDir.empty() || !tree.hasModels(vocName, workDir))
        return false;
    // The whole copy is read first; nothing changes unless all of it is sound.
    StatwalkConfig config;
    std::string error;
    if (!readStatwalkConfig(resolveFileName(tree.modelConfigCopy(vocName, workDir)), &config, &error)) {
        if (why)
            *why = error;
        return false;
    }
    const std::string copy = "The models' configuration in " + workDir;
    if (config.kind != StatwalkKind::Training)
        error = copy + " is not a training configuration.";
    else if (config.featureCount != selectedFeatureCount(config.features))
        error = copy + " names " + std::to_string(config.featureCount) + " features but its mask selects " +
                std::to_string(selectedFeatureCount(config.features)) + ".";
    else if (config.states < 1 || config.mixtures < 1)
        error = copy + " has no states or no mixtures.";
    if (!error.empty()) {
        if (why)
            *why = error;
        return false;
    }
    numFeat = config.featureCount;
    nStates = config.states;
    nMixtures = config.mixtures;
    for (int i = 0; i < kFeatureCount; ++i) {
        controls.chkFeature[std::size_t(i)] = config.features[std::size_t(i)];
        modelParameters.chkFeature[std::size_t(i)] = config.features[std::size_t(i)];
    }
    modelParameters.lblNumFiles = withNumber("Number of training files: ", std::int32_t(config.files.size()));
    modelParameters.lblFiles.clear();
    for (const std::string& f : config.files)
        modelParameters.lblFiles += f + "  ";
    modelParameters.lblStates = withNumber("Number of states: ", nStates);
    modelParameters.lblMixtures = withNumber("Number of mixtures: ", nMixtures);
    modelParameters.lblFeatures = withNumber("Number of features: ", numFeat);
    return true;
}

}  // namespace talvor::workbench

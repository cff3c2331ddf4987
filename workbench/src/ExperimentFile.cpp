// The experiment file (.CFV): the wizard's choices for one experiment, saved
// and loaded through the text-file class.
#include <algorithm>
#include <optional>
#include <strings.h>

#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/TabulaTextFile.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

constexpr const char* kNone = "---";

// The reader takes the file token by token, so an empty item would shift
// every later value; such items are written as "---".
std::string item(const std::string& s)
{
    return s.empty() ? std::string(kNone) : s;
}

}  // namespace

bool Wizard::Save_CFV(const std::string& fileName)
{
    std::string description = controls.txtDescription;
    std::replace(description.begin(), description.end(), '"', '*');

    TabulaTextFile f;
    f.PrintToStrAll({std::string("Configuration File for TALVOR II")});
    f.PrintToStrAll({std::string("Description:"), item(description)});
    f.PrintToStrAll({std::string("Working_mode:"), std::int32_t(mode)});
    f.PrintToStrAll({controls.optVocab == 0});
    f.PrintToStrAll({controls.optVocStr == 0});
    f.PrintToStrAll({std::string("Vocabulary_name:"), item(vocName)});
    f.PrintToStrAll({std::string("Source_file:"), item(sourceFile)});
    f.PrintToStrAll({std::string("Work_directory:"), item(workDir)});
    f.PrintToStrAll({std::string("Count_of_ref._files:"), std::int32_t(controls.lstRefSelected.size())});
    for (const std::string& r : controls.lstRefSelected)
        f.PrintToStrAll({r});
    f.PrintToStrAll({std::string("Features:")});
    for (bool on : controls.chkFeature)
        f.PrintToStrAll({std::int32_t(on ? 1 : 0)});
    if (f.SaveStringToFile(fileName) != 0) {
        m_host.messageBox("Cannot save " + fileName, MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool Wizard::Load_CFV(const std::string& fileName)
{
    TabulaTextFile f;
    if (f.InputFromFile(fileName) != 0)
        return false;

    // Everything is read first and taken over only when the whole file was
    // there: a short or foreign file changes nothing.
    bool ok = true;
    auto token = [&]() {
        std::string s;
        if (ok && f.ReadNextData(s) < 0)
            ok = false;
        return s;
    };
    auto number = [&](std::int32_t* out) {
        const std::string s = token();
        if (ok && !parseInt32(s, out))
            ok = false;
    };
    const std::string title = token();
    token();  // "Description:"
    const std::string description = token();
    token();
    std::int32_t loadedMode = -1;
    number(&loadedMode);
    // The two option buttons: an existing (True) or a new vocabulary, words
    // (True) or word strings.
    std::optional<bool> existing, words;
    auto flag = [&](std::optional<bool>* out) {
        const std::string s = token();
        if (::strcasecmp(s.c_str(), "True") == 0 || s == "-1")
            *out = true;
        else if (::strcasecmp(s.c_str(), "False") == 0 || s == "0")
            *out = false;
    };
    flag(&existing);
    flag(&words);
    token();
    const std::string voc = token();
    token();
    const std::string source = token();
    token();
    const std::string dir = token();
    token();
    std::int32_t count = -1;
    number(&count);
    std::vector<std::string> refs;
    for (std::int32_t i = 0; ok && i < count; ++i)
        refs.push_back(token());
    token();  // "Features:"
    std::array<bool, kFeatureCount> features{};
    for (int k = 0; ok && k < kFeatureCount; ++k) {
        std::int32_t v = 0;
        number(&v);
        features[std::size_t(k)] = v == 1;
    }
    auto refuse = [&](const std::string& reason) {
        m_host.messageBox(fileName + " is not a usable Talvor configuration file: " + reason,
                          MessageIcon::Exclamation);
        return false;
    };
    if (!ok)
        return refuse("it ends before its last item.");
    if (title != "Configuration File for TALVOR II")
        return refuse("its first line is not \"Configuration File for TALVOR II\".");
    if (loadedMode < 0 || loadedMode >= kModeCount)
        return refuse("the working mode " + std::to_string(loadedMode) + " is not one of 0 to 13.");
    if (!existing || !words)
        return refuse("the vocabulary options are not True or False.");
    if (count < 0)
        return refuse("the count of reference files is negative.");
    if ((loadedMode == ModeDtwMatching || loadedMode == ModePickMatchDtw || loadedMode == ModeSpeakRecognizeDtw)
        && count > kMaxReferencesDtw)
        return refuse("a DTW mode takes at most " + std::to_string(kMaxReferencesDtw) + " reference files, not "
                      + std::to_string(count) + ".");
    // The names become folders and files: they pass the same check as typed
    // names, or the file is refused as a whole.  "---" stands for no name.
    auto name = [](const std::string& s) { return s == kNone ? std::string() : s; };
    const std::string vocLoaded = name(voc);
    const std::string sourceLoaded = name(source);
    const std::string dirLoaded = name(dir);
    std::string problem;
    const bool namesOk = (vocLoaded.empty() || checkName(vocLoaded, NameKind::Vocabulary, &problem)) &&
                         (sourceLoaded.empty() || checkName(sourceLoaded, NameKind::File, &problem)) &&
                         (dirLoaded.empty() || checkName(dirLoaded, NameKind::WorkDirectory, &problem)) &&
                         std::all_of(refs.begin(), refs.end(), [&](const std::string& r) {
                             return checkName(r, NameKind::File, &problem);
                         });
    if (!namesOk)
        return refuse(problem);

    controls.txtDescription = description == kNone ? std::string() : description;
    controls.optVocab = *existing ? 0 : 1;
    controls.optVocStr = *words ? 0 : 1;
    report.clear();
    mode = loadedMode;
    controls.optMode = loadedMode;
    report.printLine(" Mode: " + m_state.ModeNames(mode));
    vocName = vocLoaded;
    sourceFile = sourceLoaded;
    workDir = dirLoaded;
    report.printLine(" Vocabulary: " + vocName);
    report.printLine(" Source File: " + sourceFile);
    report.printLine(" Work directory: " + workDir);
    report.print(mode == ModeHmmTraining ? " Model Files: " : " Reference Files: ");
    if (count > 0) {
        controls.lstRefSelected = refs;
        controls.lstRefSelectedIndex = 0;
    }
    for (const std::string& r : controls.lstRefSelected)
        report.print("  " + r);
    report.printLine();
    controls.chkFeature = features;
    numFeat = std::int32_t(std::count(features.begin(), features.end(), true));
    report.print(" Features: ");
    for (int i = 0; i < kFeatureCount; ++i)
        if (features[std::size_t(i)]) {
            std::string name = FeatureNames[std::size_t(i)];
            name.erase(name.find_last_not_of(' ') + 1);
            report.print(name + " ");
        }
    report.printLine();
    m_host.modelChanged();
    return true;
}

}  // namespace talvor::workbench

// The experiment file (.CFV): the wizard's choices for one experiment, saved
// and loaded through the text-file class.
#include <algorithm>

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
    token();
    token();  // the two option values, not applied
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
    if (!ok || title != "Configuration File for TALVOR II" || loadedMode < 0 || loadedMode >= kModeCount ||
        count < 0) {
        m_host.messageBox(fileName + " is not a complete Talvor configuration file.", MessageIcon::Exclamation);
        return false;
    }
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
    if (!namesOk) {
        m_host.messageBox(fileName + " cannot be loaded. " + problem, MessageIcon::Exclamation);
        return false;
    }

    controls.txtDescription = description == kNone ? std::string() : description;
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

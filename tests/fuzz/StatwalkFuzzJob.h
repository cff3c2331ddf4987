#pragma once
// The program folder of the trainer's and recogniser's fuzz targets: the
// configuration file, the vocabulary file and the word sets put where the
// configuration's names say, as the wizard would have put them.
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "common/DataTree.h"
#include "common/NameCheck.h"
#include "common/StatwalkConfig.h"
#include "common/WordSetFile.h"
#include "statwalk/Jobs.h"

namespace talvor::fuzz {

// Writes `edf` as the configuration file of `kind`; when it parses and its
// names may reach the file system, also the vocabulary file `voc`, the work
// folder and the first file's word set (`lb`, `pr`) there.  Returns the
// folder the work files go to ("" when the names were refused).
inline std::string placeJob(const std::string& app, StatwalkKind kind, std::string_view edf, std::string_view voc,
                            std::string_view lb, std::string_view pr)
{
    const DataTree tree(app);
    std::filesystem::create_directories(tree.dataFolder());
    putFile(tree.statwalkConfigFile(kind), edf);
    StatwalkConfig c;
    if (!parseStatwalkConfig(edf, &c) || !checkName(c.vocabulary, NameKind::Vocabulary) ||
        !checkName(c.workDirectory, NameKind::WorkDirectory))
        return {};
    std::string error;
    if (!tree.createVocabularyFolder(c.vocabulary, &error) ||
        !tree.createWorkFolder(c.vocabulary, c.workDirectory, &error))
        return {};
    putFile(tree.vocabularyFile(c.vocabulary), voc);
    const std::string work = tree.workFolder(c.vocabulary, c.workDirectory);
    if (!c.files.empty() && checkName(c.files.front(), NameKind::File)) {
        putFile(work + "/" + c.files.front() + kLabelFileExtension, lb);
        putFile(work + "/" + c.files.front() + kFeatureFileExtension, pr);
    }
    return work;
}

// Recognises the first words of the loaded test set: each gets a score for
// every model, none NaN, and a recognised word is a vocabulary word.
inline void checkTestWords(const statwalk::Recogniser& r, std::int32_t upTo)
{
    std::string error;
    for (std::int32_t i = 0; i < std::int32_t(r.testSet().words.size()) && i < upTo; ++i) {
        const auto got = r.recogniseTestWord(i, &error);
        FUZZ_CHECK(got.has_value());
        FUZZ_CHECK(!std::isnan(got->score));
        FUZZ_CHECK(got->scores.size() == r.modelCount());
        for (float s : got->scores)
            FUZZ_CHECK(!std::isnan(s));
        if (got->recognised)
            FUZZ_CHECK(got->word == r.wordOf(got->index) && !got->word.empty());
    }
}

}  // namespace talvor::fuzz

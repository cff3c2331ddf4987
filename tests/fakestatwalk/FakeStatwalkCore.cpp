#include "FakeStatwalkCore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/WordSetFile.h"

namespace talvor::fake {

namespace {

bool parseKeys(std::istringstream& in, std::vector<std::int32_t>* keys)
{
    keys->clear();
    std::string item;
    while (in >> item) {
        std::int32_t k = 0;
        if (!parseInt32(item, &k))
            return false;
        keys->push_back(k);
    }
    return true;
}

bool parseYesNo(const std::string& s, bool* out)
{
    if (s == "yes" || s == "no") {
        *out = s == "yes";
        return true;
    }
    return false;
}

std::string restOfLine(std::istringstream& in)
{
    std::string rest;
    std::getline(in, rest);
    const auto b = rest.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : rest.substr(b);
}

void put16(std::string& out, std::int32_t v)
{
    const auto u = static_cast<std::uint16_t>(std::int16_t(v));
    out += char(u & 0xff);
    out += char(u >> 8);
}

void putFloat(std::string& out, float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int k = 0; k < 4; ++k)
        out += char((u >> (8 * k)) & 0xff);
}

}  // namespace

bool parseBehaviour(std::string_view text, Behaviour* behaviour, std::string* error)
{
    Behaviour b;
    std::istringstream lines{std::string(text)};
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream in(line);
        std::string key;
        if (!(in >> key))
            continue;
        bool ok = true;
        std::string value;
        if (key == "answer") {
            ok = (in >> value) && parseInt32(value, &b.answer);
        } else if (key == "pick_answer") {
            std::int32_t v = 0;
            ok = static_cast<bool>(in >> value);
            if (ok && value == "same")
                b.pickAnswer.reset();
            else if (ok && (ok = parseInt32(value, &v)))
                b.pickAnswer = v;
        } else if (key == "answer_by") {
            ok = (in >> value) && (value == "post" || value == "send");
            b.answerBy = value == "send" ? Delivery::Send : Delivery::Post;
        } else if (key == "analyser_caption") {
            b.analyserCaption = restOfLine(in);
            ok = !b.analyserCaption.empty();
        } else if (key == "main_caption") {
            b.mainCaption = restOfLine(in);
            ok = !b.mainCaption.empty();
        } else if (key == "start_main_keys") {
            ok = parseKeys(in, &b.startMainKeys);
        } else if (key == "exit_main_keys") {
            ok = parseKeys(in, &b.exitMainKeys);
        } else if (key == "return_keys") {
            ok = parseKeys(in, &b.returnKeys);
        } else if (key == "work_ms") {
            ok = (in >> value) && parseInt32(value, &b.workMs) && b.workMs >= 0;
        } else if (key == "close_when_done") {
            bool v = false;
            ok = (in >> value) && parseYesNo(value, &v);
            b.closeWhenDone = v;
        } else if (key == "models") {
            ok = (in >> value) && parseYesNo(value, &b.models);
        } else {
            if (error)
                *error = "line " + std::to_string(number) + ": unknown setting \"" + key + "\"";
            return false;
        }
        if (!ok) {
            if (error)
                *error = "line " + std::to_string(number) + ": bad value for \"" + key + "\"";
            return false;
        }
    }
    *behaviour = std::move(b);
    return true;
}

bool checkWordSets(const std::string& programFolder, const StatwalkConfig& job, std::string* error)
{
    const std::string work = DataTree(programFolder).workFolder(job.vocabulary, job.workDirectory);
    for (const std::string& name : job.files) {
        if (job.kind == StatwalkKind::Recognition && job.mode == 7 && (name == "X" || name == "x"))
            continue;
        WordSet set;
        std::string why;
        if (!readWordSet(joinPath(work, name + kLabelFileExtension), joinPath(work, name + kFeatureFileExtension),
                         selectedFeatureCount(job.features), &set, &why)) {
            *error = "word set " + name + ": " + why;
            return false;
        }
        if (set.words.empty()) {
            *error = "word set " + name + " holds no word.";
            return false;
        }
    }
    return true;
}

bool closesWhenDone(const Behaviour& behaviour, std::int32_t mode)
{
    if (behaviour.closeWhenDone)
        return *behaviour.closeWhenDone;
    return mode == 3 || mode == 4;  // HMM Training, HMM Matching
}

std::string modelFileName(const std::string& word, std::int32_t index)
{
    if (checkName(word, NameKind::File))
        return word + ".mod";
    return "model" + std::to_string(index) + ".mod";
}

std::string modelFileBytes(const std::string& word, std::int32_t id, std::int32_t features, std::int32_t states,
                           std::int32_t mixtures, int year, int month, int day)
{
    std::string out(16, '\0');
    std::memcpy(out.data(), word.data(), std::min<std::size_t>(word.size(), 15));
    put16(out, id);
    put16(out, 8000);  // sampling frequency
    put16(out, 160);   // window size
    put16(out, 80);    // window shift
    put16(out, features);
    put16(out, states);
    put16(out, mixtures);
    put16(out, 1);  // maximum skip
    for (int k = 0; k < 5; ++k)
        put16(out, 0);  // reserved
    put16(out, year);
    put16(out, month);
    put16(out, day);
    // The Gaussian constant for unit variances: (2 pi)^(-F/2).
    putFloat(out, float(std::pow(2.0 * 3.14159265358979323846, -0.5 * features)));
    // Left to right: stay or move on with equal chance; the last state stays.
    for (std::int32_t i = 0; i < states; ++i)
        for (std::int32_t j = 0; j < states; ++j) {
            float p = 0.0f;
            if (i == states - 1)
                p = j == i ? 1.0f : 0.0f;
            else if (j == i || j == i + 1)
                p = 0.5f;
            putFloat(out, p);
        }
    for (std::int32_t i = 0; i < states * mixtures; ++i)
        putFloat(out, 1.0f / float(mixtures));
    for (std::int32_t i = 0; i < states; ++i)
        for (std::int32_t m = 0; m < mixtures; ++m)
            for (std::int32_t f = 0; f < features; ++f)
                putFloat(out, float(id) + 0.1f * float(i) + 0.01f * float(m));
    for (std::int32_t i = 0; i < states * mixtures * features; ++i)
        putFloat(out, 1.0f);
    return out;
}

}  // namespace talvor::fake

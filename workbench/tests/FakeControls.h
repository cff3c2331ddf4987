#pragma once
// Hosted controls that record every call with its arguments, one line each,
// into a log shared by the three (so the order across controls shows).  A
// call can be made to fail, and a hook runs inside a chosen call (to act while
// a modal control "runs").
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/ControlInterfaces.h"

namespace talvor::workbench::test {

struct ControlLog {
    std::vector<std::string> calls;
    std::map<std::string, std::string> failures;                // call name -> reason
    std::map<std::string, std::function<void()>> during;        // call name -> runs inside it
    std::string appPath;                                        // written as "APP" in the log

    ControlResult record(const std::string& name, const std::string& args)
    {
        std::string a = args;
        if (!appPath.empty())
            for (std::size_t p; (p = a.find(appPath)) != std::string::npos;)
                a.replace(p, appPath.size(), "APP");
        calls.push_back(name + "(" + a + ")");
        if (auto it = during.find(name); it != during.end())
            it->second();
        if (auto it = failures.find(name); it != failures.end())
            return ControlResult::failure(it->second);
        return ControlResult::success();
    }
};

inline std::string joined(const std::vector<std::string>& v, const char* sep = "|")
{
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i)
        s += (i ? sep : "") + v[i];
    return s;
}

class FakeWavescope : public WavescopeControl {
public:
    explicit FakeWavescope(ControlLog& log) : m_log(log) {}
    std::int32_t revision() const override { return 1; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string& a) override { return m_log.record("wavescope.SetAppPath", a); }
    ControlResult ShowWavescope(std::int32_t modal) override
    {
        return m_log.record("wavescope.ShowWavescope", std::to_string(modal));
    }
    ControlResult LoadMode(std::int32_t m, const std::string& v, const std::string& l, const std::string& w) override
    {
        return m_log.record("wavescope.LoadMode", std::to_string(m) + "," + v + "," + l + "," + w);
    }
    ControlResult SetControls(DtwControl* d, ChainviewControl* h) override
    {
        return m_log.record("wavescope.SetControls", std::string(d ? "dtw" : "null") + "," + (h ? "chainview" : "null"));
    }
    ControlResult SetNewVoc(std::span<const std::string> words, std::int32_t n) override
    {
        return m_log.record("wavescope.SetNewVoc",
                            joined(std::vector<std::string>(words.begin(), words.end())) + "," + std::to_string(n));
    }
    ControlResult SetRunTimeMode(std::int32_t mode, const std::string& file, const std::string& capt, std::int32_t msg,
                                 std::int32_t wPar, const std::string& ip, std::int32_t port, std::int32_t hide,
                                 std::int32_t list) override
    {
        return m_log.record("wavescope.SetRunTimeMode", std::to_string(mode) + "," + file + "," + capt + "," +
                                                            std::to_string(msg) + "," + std::to_string(wPar) + "," +
                                                            ip + "," + std::to_string(port) + "," +
                                                            std::to_string(hide) + "," + std::to_string(list));
    }

private:
    ControlLog& m_log;
};

class FakeDtw : public DtwControl {
public:
    explicit FakeDtw(ControlLog& log) : m_log(log) {}
    std::string version() const override { return "1.0.0"; }
    void setVersion(const std::string&) override {}
    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string& a) override { return m_log.record("dtw.SetAppPath", a); }
    ControlResult ShowDTW(std::int32_t modal) override { return m_log.record("dtw.ShowDTW", std::to_string(modal)); }
    ControlResult LoadDTW() override { return m_log.record("dtw.LoadDTW", ""); }
    ControlResult LoadMode(std::int32_t m, const std::string& v, const std::string& w, std::int32_t nFeat,
                           std::span<const std::int16_t> chkFeat, const std::vector<std::string>& refs,
                           const std::string& source) override
    {
        std::string flags;
        for (std::int16_t f : chkFeat)
            flags += std::to_string(f);
        return m_log.record("dtw.LoadMode", std::to_string(m) + "," + v + "," + w + "," + std::to_string(nFeat) +
                                                "," + flags + "," + joined(refs) + "," + source);
    }
    ControlResult SetPMword(std::int32_t i) override { return m_log.record("dtw.SetPMword", std::to_string(i)); }
    ControlResult GetRecogWord(std::int32_t& i) override
    {
        i = -1;
        return m_log.record("dtw.GetRecogWord", "");
    }
    ControlResult GetSelectedFeature(std::span<bool>) override { return m_log.record("dtw.GetSelectedFeature", ""); }

private:
    ControlLog& m_log;
};

class FakeChainview : public ChainviewControl {
public:
    explicit FakeChainview(ControlLog& log) : m_log(log) {}
    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string& a) override { return m_log.record("chainview.SetAppPath", a); }
    ControlResult ShowChainview(std::int32_t modal) override
    {
        return m_log.record("chainview.ShowChainview", std::to_string(modal));
    }
    ControlResult LoadMode(std::int32_t m, const std::string& v, const std::string& s, const std::string& l,
                           const std::string& w) override
    {
        return m_log.record("chainview.LoadMode", std::to_string(m) + "," + v + "," + s + "," + l + "," + w);
    }
    ControlResult PutWordData(std::int32_t, std::span<const float>, std::span<const std::int16_t>, std::int32_t,
                              std::string& name, std::int32_t& result) override
    {
        name.clear();
        result = -1;
        return m_log.record("chainview.PutWordData", "");
    }
    ControlResult SetPruneTreshold(std::int32_t x) override
    {
        return m_log.record("chainview.SetPruneTreshold", std::to_string(x));
    }
    ControlResult GetResultByOrder(std::int32_t, std::int32_t& result) override
    {
        result = -1;
        return m_log.record("chainview.GetResultByOrder", "");
    }
    ControlResult GetModelVocabularyIndex(std::int32_t, std::int32_t& v) override
    {
        v = -1;
        return m_log.record("chainview.GetModelVocabularyIndex", "");
    }

private:
    ControlLog& m_log;
};

// The three fakes on one log.
struct FakeControls {
    ControlLog log;
    FakeWavescope wavescope{log};
    FakeDtw dtw{log};
    FakeChainview chainview{log};
};

}  // namespace talvor::workbench::test

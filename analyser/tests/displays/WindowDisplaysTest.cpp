// The word displays inside the analyser window: a recorded token shown, the
// colour menu, clearing, and stored words that can or cannot be shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cstring>
#include <filesystem>

#include "DisplayFixtures.h"
#include "TokenFixture.h"
#include "analyser/DisplayChooserDialogs.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "analyser/WordDisplayPanes.h"
#include "analyser/WordDisplays.h"
#include "common/DataTree.h"
#include "platform/Dialogs.h"
#include "testing/TempDir.h"
#include "../../src/ProfilerWindow.h"

namespace talvor::analyser {
namespace {

// An engine that hands out one recorded token and counts playbacks.
class TokenEngine final : public AnalyserEngine {
public:
    explicit TokenEngine(const testing::RecordedToken& t) : m_token(t) {}
    int plays = 0;
    std::int32_t InitSoundCard() override { return 0; }
    std::intptr_t TokenProces(std::uint32_t) override { return 1; }
    std::int32_t StopTokenProces() override { return 0; }
    std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                               std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample) override
    {
        std::memcpy(features, m_token.featureBuf.data(), std::size_t(m_token.wStop + 10) * 20 * sizeof(float));
        std::memcpy(samples, m_token.sampleBuf.data(), std::size_t(m_token.endSample + 801) * sizeof(std::int16_t));
        *startFrame = m_token.wStart;
        *endFrame = m_token.wStop;
        *startSample = m_token.startSample;
        *endSample = m_token.endSample;
        return m_token.status;
    }
    std::int32_t ChangeTokenMaxFrames(std::int32_t f) override { return f; }
    std::intptr_t OpenSoundCardOut(const std::int16_t*, std::int32_t) override { return ++plays; }
    std::int32_t CloseSoundCardOut() override { return 0; }
    std::int32_t CloseSoundCardIn() override { return 0; }

private:
    const testing::RecordedToken& m_token;
};

const testing::RecordedToken& sevenToken()
{
    static const testing::RecordedToken token = [] {
        const char* root = std::getenv("TALVOR_SOURCE_DIR");
        return testing::recordToken(std::string(root ? root : ".") + "/engine/tests/fixtures/seven_en-us.wav");
    }();
    return token;
}

ProfilerWindow& windowOf(UscWavescope& w)
{
    auto* window = dynamic_cast<ProfilerWindow*>(w.window());
    EXPECT_NE(window, nullptr);
    return *window;
}

TEST(WindowDisplays, RecordedTokenShownColouredAndCleared)
{
    const auto& token = sevenToken();
    ASSERT_EQ(token.status, 0) << token.error;
    talvor::test::TempDir dir;
    DataTree tree(dir.path());
    tree.createVocabulary("digits", {"zero", "seven"});
    platform::ScopedScriptedDialogs dialogs;
    auto engine = std::make_unique<TokenEngine>(token);
    UscWavescope w(std::move(engine));
    w.SetAppPath(dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(0, "digits", "take1", ""));
    ProfilerWindow& window = windowOf(w);
    EXPECT_FALSE(window.displays().wordShown());
    p.cmdNext_Click();
    p.Form_KeyDown(TokenKeyDone);
    ASSERT_EQ(p.status, 0);
    ASSERT_TRUE(window.displays().wordShown());
    EXPECT_FALSE(window.displayPanes().frameCaption()->text().isEmpty());
    EXPECT_EQ(window.displays().waveScene().polylines.at(1).colour, kDefaultSpeech);
    // Panes inside the window's pane area, at the window's layout places.
    EXPECT_EQ(window.displayPanes().wave()->mapTo(&window, QPoint(0, 0)).y() - window.centralWidget()->y(), 40);

    // The colour menu: the dialog seeded with the current colour, the word redrawn.
    dialogs.colors = {rgbOf(0, 200, 0)};
    p.miSig_Click();
    EXPECT_EQ(dialogs.shown.back().detail, "0012203A");
    EXPECT_EQ(window.displays().waveScene().polylines.at(1).colour, rgbOf(0, 200, 0));

    // Listening for the next word: the last word stays and takes the new colour.
    p.cmdNext_Click();
    ASSERT_TRUE(p.listening());
    dialogs.colors = {rgbOf(200, 0, 0)};
    p.miSig_Click();
    ASSERT_TRUE(window.displays().wordShown());
    EXPECT_EQ(window.displays().waveScene().polylines.at(1).colour, rgbOf(200, 0, 0));
    p.StopListening();

    // Cleared: nothing drawn, also by a later colour change.
    p.AllCls();
    EXPECT_FALSE(window.displays().wordShown());
    dialogs.colors = {rgbOf(0, 0, 200)};
    p.miFrame_Click();
    EXPECT_TRUE(window.displays().waveScene().empty());
    EXPECT_TRUE(window.displays().spectrumScene().empty());
}

TEST(WindowDisplays, LeavingTheWindowClosesAnOpenChooser)
{
    const auto& token = sevenToken();
    talvor::test::TempDir dir;
    DataTree tree(dir.path());
    tree.createVocabulary("digits", {"zero", "seven"});
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<TokenEngine>(token));
    w.SetAppPath(dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(0, "digits", "take1", ""));
    ProfilerWindow& window = windowOf(w);
    bool wasOpen = false;
    QTimer::singleShot(0, [&] {
        wasOpen = window.displayChoosers().param(2).isVisible();
        window.unloadHelpers();
    });
    window.displayPanes().param(2)->onClick();  // returns once the chooser is hidden
    EXPECT_TRUE(wasOpen);
    EXPECT_FALSE(window.displayChoosers().param(2).isVisible());
    EXPECT_EQ(window.displayChoosers().clickedPane(), 2);
}

TEST(WindowDisplays, StoredWordsShownAndPlayedOnlyWhenDelivered)
{
    const auto& token = sevenToken();
    ASSERT_EQ(token.status, 0) << token.error;
    talvor::test::TempDir dir;
    DataTree tree(dir.path());
    tree.createVocabulary("digits", {"seven", "three"});
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "DATA" / "digits";
    worddata::WordDataStore store;
    store.SetNewVoc({"seven", "three"}, 2);
    const std::size_t frames = std::size_t(token.wStop + 10);
    for (std::int32_t i : {1, 2})
        ASSERT_EQ(store.PutWordData(i, std::span<const float>(token.featureBuf).first(frames * 20),
                                    std::span<const std::int16_t>(token.sampleBuf)
                                        .subspan(std::size_t(token.startSample - 800), frames * 80),
                                    std::int32_t(frames), i == 1 ? "seven" : "three"),
                  0);
    ASSERT_EQ(store.Save_Data((folder / "take.lab").string()), 0);
    // The same words without their samples file.
    ASSERT_EQ(store.Save_Data((folder / "norec.lab").string()), 0);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().stem() == "norec" && entry.path().extension() == ".rec")
            std::filesystem::remove(entry.path());

    platform::ScopedScriptedDialogs dialogs;
    struct Row {
        const char* lab;
        bool shown;
    };
    for (const Row row : {Row{"norec", false}, Row{"take", true}}) {
        SCOPED_TRACE(row.lab);
        auto engine = std::make_unique<TokenEngine>(token);
        TokenEngine& e = *engine;
        UscWavescope w(std::move(engine));
        w.SetAppPath(dir.path());
        Profiler& p = w.profiler();
        p.miReplay_Click();
        ASSERT_TRUE(p.SetMode(1, "digits", row.lab, ""));
        ProfilerWindow& window = windowOf(w);
        EXPECT_EQ(window.displays().wordShown(), row.shown);
        EXPECT_EQ(window.displays().waveScene().empty(), !row.shown);
        EXPECT_EQ(p.status == 0, row.shown);
        EXPECT_EQ(p.sampleCount, row.shown ? std::int32_t(frames * 80) : 0);
        EXPECT_EQ(e.plays, row.shown ? 1 : 0);
        // Browsing on to the second word.
        p.NextWord();
        EXPECT_EQ(p.listIndex, 1);
        EXPECT_EQ(window.displays().wordShown(), row.shown);
        EXPECT_EQ(e.plays, row.shown ? 2 : 0);
    }
}

}  // namespace
}  // namespace talvor::analyser

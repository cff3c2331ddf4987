#pragma once
// The warping-path animation without Qt: the replay of a pair match's trace
// step by step, and the state machine of the DTW window's buttons and menus
// around it.
//
// A replay copies what it draws out of the trace when it starts (path,
// local distances along it, the two tracks, the method and the step count), so
// what happens to the store afterwards, or a method chosen meanwhile, cannot
// change a running animation.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "timewarp/DtwWordStore.h"

namespace talvor::timewarp {

// One drawn step: path point k = (i, j) after point k - 1 = (iPrev, jPrev).
struct PathStep {
    int k = 0;
    int i = 0, j = 0;
    int iPrev = 0, jPrev = 0;
    float accumulated = 0.0f;  // after this step
};

class PathReplay {
public:
    // Starts at step 2 with the accumulated distance d(1, 1) / N of the first
    // point.  A trace without a path (0 steps) gives a replay that is
    // finished at once.
    void start(const DtwTrace& trace, std::span<const float> testTrack, std::span<const float> refTrack);

    char method() const { return m_method; }
    int N() const { return m_N; }
    int M() const { return m_M; }
    int steps() const { return m_steps; }
    int next() const { return m_k; }  // the next point to draw, 1-based
    bool finished() const { return m_k > m_steps; }
    float accumulated() const { return m_accumulated; }

    // Path point k, 1..steps.
    int i(int k) const { return m_i[std::size_t(k)]; }
    int j(int k) const { return m_j[std::size_t(k)]; }
    // The displayed feature of test frame i / reference frame j (1..200).
    float testTrack(int i) const { return m_testTrack[std::size_t(i)]; }
    float refTrack(int j) const { return m_refTrack[std::size_t(j)]; }

    // Draws the next point: accumulated distance += d(i, j) / N, k += 1.
    // False (nothing changes) once the replay is finished.
    bool step(PathStep* out);

private:
    char m_method = 0;
    int m_N = 0;
    int m_M = 0;
    int m_steps = 0;
    int m_k = 1;
    float m_accumulated = 0.0f;
    std::array<std::int16_t, kMaxPathPoints + 1> m_i{};
    std::array<std::int16_t, kMaxPathPoints + 1> m_j{};
    std::array<float, kMaxPathPoints + 1> m_d{};
    std::array<float, kMaxFrames + 1> m_testTrack{};
    std::array<float, kMaxFrames + 1> m_refTrack{};
};

// The window's states during a match: idle -> drawing -> animating <-> paused
// -> idle.  A refused match goes from drawing straight back to idle.
enum class AnimationState { Idle, Drawing, Animating, Paused };

// What the window enables in a state, and whether the path timer runs.
struct WindowEnables {
    bool match = false;      // cmdMatch
    bool pause = false;      // cmdPause
    bool resume = false;     // cmdContinue
    bool forward = false;    // cmdForward ("S&tep")
    bool nextWord = false;   // cmdNextWord
    bool nextRef = false;    // cmdNextRef
    bool menus = false;      // mniPlot, mniFeat, mniMethod
    bool save = false;       // mniSave
    bool timer = false;      // the 20 ms path timer
    bool busy = false;       // hourglass pointer
    bool operator==(const WindowEnables&) const = default;
};

WindowEnables enablesFor(AnimationState state);

class AnimationControl {
public:
    AnimationState state() const { return m_state; }
    WindowEnables enables() const { return enablesFor(m_state); }

    // Each returns false and changes nothing when the event does not apply
    // in the current state.
    bool beginMatch();               // idle -> drawing
    bool refuse();                   // drawing -> idle
    bool startAnimation();           // drawing -> animating
    bool tick(bool finished);        // animating: -> idle when the replay is finished
    bool pause();                    // animating -> paused
    bool resume();                   // paused -> animating
    bool forward(bool finished);     // paused: -> idle when the replay was already finished
    void stop() { m_state = AnimationState::Idle; }

private:
    AnimationState m_state = AnimationState::Idle;
};

}  // namespace talvor::timewarp

#include "timewarp/DtwReplay.h"

#include <algorithm>

namespace talvor::timewarp {

void PathReplay::start(const DtwTrace& t, std::span<const float> testTrack, std::span<const float> refTrack)
{
    m_method = t.method;
    m_N = t.N;
    m_M = t.M;
    m_steps = std::clamp<int>(t.steps, 0, kMaxPathPoints);
    if (t.pairDistance == double(kForbidden) || m_N < 1)
        m_steps = 0;
    for (int k = 1; k <= m_steps; ++k) {
        m_i[std::size_t(k)] = t.q(k);
        m_j[std::size_t(k)] = t.p(k);
        m_d[std::size_t(k)] = t.d(t.q(k), t.p(k));
    }
    m_testTrack.fill(0.0f);
    m_refTrack.fill(0.0f);
    std::copy_n(testTrack.begin(), std::min(testTrack.size(), m_testTrack.size()), m_testTrack.begin());
    std::copy_n(refTrack.begin(), std::min(refTrack.size(), m_refTrack.size()), m_refTrack.begin());
    m_accumulated = m_steps >= 1 ? m_d[1] / float(m_N) : 0.0f;
    m_k = m_steps >= 1 ? 2 : 1;
}

bool PathReplay::step(PathStep* out)
{
    if (finished())
        return false;
    const int k = m_k;
    m_accumulated = m_accumulated + m_d[std::size_t(k)] / float(m_N);
    if (out)
        *out = {k, i(k), j(k), i(k - 1), j(k - 1), m_accumulated};
    ++m_k;
    return true;
}

WindowEnables enablesFor(AnimationState state)
{
    WindowEnables e;
    switch (state) {
    case AnimationState::Idle:
        e.match = e.nextWord = e.nextRef = true;
        e.menus = e.save = true;
        break;
    case AnimationState::Drawing:
        e.busy = true;
        break;
    case AnimationState::Animating:
        e.pause = true;
        e.timer = true;
        break;
    case AnimationState::Paused:
        e.resume = e.forward = true;
        e.save = true;
        break;
    }
    return e;
}

bool AnimationControl::beginMatch()
{
    if (m_state != AnimationState::Idle)
        return false;
    m_state = AnimationState::Drawing;
    return true;
}

bool AnimationControl::refuse()
{
    if (m_state != AnimationState::Drawing)
        return false;
    m_state = AnimationState::Idle;
    return true;
}

bool AnimationControl::startAnimation()
{
    if (m_state != AnimationState::Drawing)
        return false;
    m_state = AnimationState::Animating;
    return true;
}

bool AnimationControl::tick(bool finished)
{
    if (m_state != AnimationState::Animating)
        return false;
    if (finished)
        m_state = AnimationState::Idle;
    return true;
}

bool AnimationControl::pause()
{
    if (m_state != AnimationState::Animating)
        return false;
    m_state = AnimationState::Paused;
    return true;
}

bool AnimationControl::resume()
{
    if (m_state != AnimationState::Paused)
        return false;
    m_state = AnimationState::Animating;
    return true;
}

bool AnimationControl::forward(bool finished)
{
    if (m_state != AnimationState::Paused)
        return false;
    if (finished)
        m_state = AnimationState::Idle;
    return true;
}

}  // namespace talvor::timewarp

#include "attention.h"

namespace {

const EpisodeTimer kWindowTimer = {SetTimer, KillTimer};

} // namespace

const EpisodeTimer* WindowTimer()
{
    return &kWindowTimer;
}

void CAttentionEpisode::Update(HWND window, bool needsAttention, bool notify)
{
    if (needsAttention && notify) {
        if (!m_inTrouble) {
            m_inTrouble = true;
            m_shown = false;
            Disarm(window);
            m_armed = m_timer->set(window, m_timerId, m_delay, nullptr);
        }
    } else if (!needsAttention) {
        m_inTrouble = false;
        m_shown = false;
        Disarm(window);
    }
}

bool CAttentionEpisode::TimerDue(HWND window, bool needsAttention, bool notify)
{
    Disarm(window);
    if (!m_inTrouble || m_shown || !needsAttention || !notify)
        return false;
    m_shown = true;
    return true;
}

void CAttentionEpisode::Stop(HWND window)
{
    Disarm(window);
}

void CAttentionEpisode::Disarm(HWND window)
{
    if (m_armed) {
        // Without a window the system chose the timer's id.
        m_timer->kill(window, window ? m_timerId : m_armed);
        m_armed = 0;
    }
}

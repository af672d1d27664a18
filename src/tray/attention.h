// The notification of a printer that needs attention: an episode lasts from the printer
// entering Error or Offline until it has left both; its one notification comes when the
// printer is still in trouble after a delay, on a one-shot timer of the window.
#pragma once

#include <windows.h>

// The window's timer calls; tests stand in for them to see the timer armed.
struct EpisodeTimer {
    UINT_PTR(WINAPI* set)(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
    BOOL(WINAPI* kill)(HWND window, UINT_PTR id);
};
const EpisodeTimer* WindowTimer();

class CAttentionEpisode {
public:
    CAttentionEpisode(UINT_PTR timerId, DWORD delayMs, const EpisodeTimer* timer = WindowTimer())
        : m_timerId(timerId), m_delay(delayMs), m_timer(timer)
    {
    }

    // The printer's state now: it needs attention or not, and notifications are on or off.
    // Entering trouble with notifications on begins an episode and arms the timer; leaving
    // trouble ends the episode. Switching notifications off leaves an episode as it is.
    void Update(HWND window, bool needsAttention, bool notify);
    // The timer went off: true when the notification is to be shown now, once an episode.
    bool TimerDue(HWND window, bool needsAttention, bool notify);
    // Disarms the timer (the window's clean-up).
    void Stop(HWND window);

    bool InTrouble() const { return m_inTrouble; }

private:
    void Disarm(HWND window);

    UINT_PTR m_timerId;
    DWORD m_delay;
    const EpisodeTimer* m_timer;
    UINT_PTR m_armed = 0;
    bool m_inTrouble = false;
    bool m_shown = false;
};

// The printer's state at a glance: read on the checks or on the spooler's change
// notification, shown as a badge on the tray icon and in its tooltip, and told in a
// notification when the printer has needed attention for a while.
#include <windows.h>
#include <shellapi.h>

#include <string.h>

#include "mainframe.h"
#include "printer.h"
#include "scoped.h"
#include "state_badge.h"
#include "strutil.h"
#include "targets.h"
#include "trace.h"

namespace {

// NIIF_RESPECT_QUIET_TIME: no notification in the user's first hour or in quiet hours
// (Windows 7 and later; older shells ignore the bit).
const DWORD kRespectQuietTime = 0x00000080;

} // namespace

void CMainFrame::LoadStateSwitches()
{
    m_fShowState = ReadStateSwitch(TARGET_STATE_SHOW, m_szTargetKey, m_szProfilePath, m_szModelID);
    m_fNotify = ReadStateSwitch(TARGET_STATE_NOTIFY, m_szTargetKey, m_szProfilePath, m_szModelID);
}

void CMainFrame::OnRefreshIcon()
{
    LoadStateSwitches();
    // A switch turned on starts the change notification and reads the state at once; both
    // off end it.
    m_watch.SetStateWanted(m_szPrinterName[0] && (m_fShowState || m_fNotify));
    ApplyPrinterState();
    RefreshTrayIcon();
}

int CMainFrame::OnPrinterReport()
{
    return ApplyReport(m_watch.Take());
}

int CMainFrame::ApplyReport(const PrinterReport& report)
{
    if (m_fPrinterGone)
        return 1;
    // Deleted (its start-up entries are gone), gone or switched off: the monitor closes.
    if (report.deleted || report.presence == PRESENCE_GONE || report.switchedOff) {
        TraceMsg(report.deleted ? "CMainFrame::OnPrinterReport : the printer was deleted"
                                : "CMainFrame::OnPrinterReport : the printer is not to be served");
        if (m_nPrinterCheckTimer) {
            KillTimer(m_hWnd, TIMER_PRINTER_CHECK);
            m_nPrinterCheckTimer = 0;
        }
        m_fPrinterGone = true;
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return 1;
    }
    // The launchers hand over the port that the spooler reported last.
    if (report.port[0] && m_szPrinterName[0])
        SafeCopy(m_szPortName, report.port);
    if (report.sampled)
        m_sample = report.sample;
    m_fUnreachable = report.presence == PRESENCE_UNKNOWN;
    ApplyPrinterState();
    return 0;
}

void CMainFrame::ApplyPrinterState()
{
    const PrinterStatusSample& sample = m_sample;
    const char* text = "";
    if (m_fUnreachable)
        m_condition = UnreachableCondition(&text, &m_stateTexts);
    else
        m_condition = ClassifyPrinter(sample.status, sample.attributes, sample.jobs, &text, &m_stateTexts);
    m_pszConditionText = text;

    PrinterCondition shown = m_fShowState ? m_condition : PRINTER_READY;
    DWORD jobs = (m_fShowState && !m_fUnreachable) ? sample.jobs : 0;
    const char* shownText = m_fShowState ? text : "";
    if (shown != m_shownCondition || jobs != m_dwShownJobs || strcmp(shownText, m_pszStateText) != 0) {
        bool imageChanges = ConditionHasBadge(shown) || ConditionHasBadge(m_shownCondition);
        m_shownCondition = shown;
        m_dwShownJobs = jobs;
        m_pszStateText = shownText;
        if (m_nid.hWnd) {
            if (imageChanges)
                SetTrayIcon(m_nSelectedIcon, 0);
            else {
                // The tooltip alone.
                NOTIFYICONDATAA tip = m_nid;
                tip.uFlags = TrayTipFlags();
                ComposeTrayTip(tip.szTip, sizeof(tip.szTip));
                SafeCopy(m_nid.szTip, tip.szTip);
                m_pfnNotifyIcon(NIM_MODIFY, &tip);
            }
        }
    }

    // An episode of trouble lasts from entering Error or Offline until leaving both.
    m_episode.Update(m_hWnd, ConditionNeedsAttention(m_condition) != 0, m_fNotify != 0);
}

void CMainFrame::ComposeTrayTip(char* tip, size_t size, unsigned codePage) const
{
    // The state and the count stay whole; the key is cut to make room for them.
    char state[2 * CStateTexts::TEXT_SIZE + 8] = "";
    if (m_shownCondition != PRINTER_READY) {
        SafeCopy(state, " - ");
        SafeAppend(state, m_pszStateText);
        if (m_dwShownJobs > 0) {
            char number[16];
            char count[CStateTexts::TEXT_SIZE];
            SafeFormat(number, sizeof(number), "%lu", static_cast<unsigned long>(m_dwShownJobs));
            m_stateTexts.Format(m_dwShownJobs == 1 ? IDS_ONE_DOCUMENT : IDS_DOCUMENTS, number, count, sizeof(count));
            SafeAppend(state, " - ");
            SafeAppend(state, count);
        }
    }
    size_t room = size < static_cast<size_t>(TRAY_TIP_CHARS) + 1 ? size : static_cast<size_t>(TRAY_TIP_CHARS) + 1;
    size_t stateLength = strlen(state);
    // Room for the key: at least "x..." beside the state; a state too long even for that
    // is cut with the key, as one text.
    if (stateLength + 4 < room) {
        SafeCopyEllipsis(tip, room - stateLength, KeyName(), codePage);
        SafeAppend(tip, room, state);
        return;
    }
    char text[ZT_TEXT + sizeof(state)];
    SafeCopy(text, KeyName());
    SafeAppend(text, state);
    SafeCopyEllipsis(tip, room, text, codePage);
}

HICON CMainFrame::TrayImage(int index)
{
    HICON base = m_hIcon[index];
    HICON composed = ComposeStateIcon(base, m_shownCondition);
    // The shell copies the image at each call: the one shown before can go now.
    if (m_hStateIcon)
        DestroyIcon(m_hStateIcon);
    m_hStateIcon = composed;
    return composed ? composed : base;
}

int CMainFrame::ShowAttentionBalloon()
{
    if (!m_nid.hWnd || !m_fNotify || !ConditionNeedsAttention(m_condition))
        return 0;
    const char* text = m_pszConditionText;
    NOTIFYICONDATAA balloon = m_nid;
    balloon.uFlags = NIF_INFO;
    SafeCopyEllipsis(balloon.szInfoTitle, sizeof(balloon.szInfoTitle), KeyName());
    char info[sizeof(balloon.szInfo)];
    m_stateTexts.Format(IDS_ATTENTION, text, info, sizeof(info));
    SafeCopy(balloon.szInfo, info);
    balloon.uTimeout = 10000;
    balloon.dwInfoFlags = (m_condition == PRINTER_ERROR ? NIIF_ERROR : NIIF_WARNING) | kRespectQuietTime;
    TraceStr("CMainFrame::ShowAttentionBalloon", info);
    return m_pfnNotifyIcon(NIM_MODIFY, &balloon) ? 1 : 0;
}

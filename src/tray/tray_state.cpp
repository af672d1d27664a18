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
    if (m_szPrinterName[0] && (m_fShowState || m_fNotify))
        ReadPrinterStateNow();
    else
        ApplyPrinterState();
    RefreshTrayIcon();
}

void CMainFrame::StartStateWatch()
{
    m_watch.Stop();
    // A monitor known only by its port has no printer to ask.
    if (!m_szPrinterName[0] || (!m_fShowState && !m_fNotify))
        return;
    if (m_watch.Start(m_szPrinterName, m_hWnd, WM_PRINTERCHANGE, m_pChangeApi))
        TraceMsg("CMainFrame::StartStateWatch : change notification");
    ReadPrinterStateNow();
}

void CMainFrame::ReadPrinterStateNow()
{
    ScopedPrinter printer;
    if (OV_OpenPrinter(m_szPrinterName, printer.Put(), nullptr) && printer.IsOpen())
        ReadPrinterState(printer.Get());
}

void CMainFrame::ReadPrinterState(HANDLE printer)
{
    m_nChecksSinceRead = 0;
    m_stateReader.Read(printer);
    ApplyPrinterState();
}

int CMainFrame::OnPrinterChange()
{
    bool failed = false;
    DWORD changes = m_watch.TakeChanges(&failed);
    if (failed) {
        // The notification broke down: the checks read the state from now on.
        TraceMsg("CMainFrame::OnPrinterChange : notification failed");
        m_watch.Stop();
    }
    if (changes & PRINTER_CHANGE_DELETE_PRINTER) {
        // The watch's own handle keeps a deleted printer pending: it goes first.
        m_watch.Stop();
        if (!ChkDelPrn()) {
            PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            return 1;
        }
        StartStateWatch();
        return 0;
    }
    if (m_fShowState || m_fNotify)
        ReadPrinterStateNow();
    return 0;
}

void CMainFrame::ApplyPrinterState()
{
    const PrinterStatusSample& sample = m_stateReader.Sample();
    const char* text = "";
    m_condition = ClassifyPrinter(sample.status, sample.attributes, sample.jobs, &text, &m_stateTexts);

    PrinterCondition shown = m_fShowState ? m_condition : PRINTER_READY;
    DWORD jobs = m_fShowState ? sample.jobs : 0;
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
    if (ConditionNeedsAttention(m_condition) && m_fNotify) {
        if (!m_fInTrouble) {
            m_fInTrouble = true;
            m_fBalloonShown = false;
            m_nAttentionTimer = SetTimer(m_hWnd, TIMER_ATTENTION, m_dwAttentionDelay, nullptr);
        }
    } else if (!ConditionNeedsAttention(m_condition)) {
        m_fInTrouble = false;
        m_fBalloonShown = false;
        if (m_nAttentionTimer) {
            KillTimer(m_hWnd, TIMER_ATTENTION);
            m_nAttentionTimer = 0;
        }
    }
}

void CMainFrame::ComposeTrayTip(char* tip, size_t size) const
{
    // The whole text first (a 259-character key, a state and a count), then cut to the
    // tip on a character boundary.
    char text[ZT_TEXT + 96];
    SafeCopy(text, KeyName());
    if (m_shownCondition != PRINTER_READY) {
        SafeAppend(text, " - ");
        SafeAppend(text, m_pszStateText);
        if (m_dwShownJobs > 0) {
            char number[16];
            char count[CStateTexts::TEXT_SIZE];
            SafeFormat(number, sizeof(number), "%lu", static_cast<unsigned long>(m_dwShownJobs));
            m_stateTexts.Format(m_dwShownJobs == 1 ? IDS_ONE_DOCUMENT : IDS_DOCUMENTS, number, count, sizeof(count));
            SafeAppend(text, " - ");
            SafeAppend(text, count);
        }
    }
    size_t room = size < static_cast<size_t>(TRAY_TIP_CHARS) + 1 ? size : static_cast<size_t>(TRAY_TIP_CHARS) + 1;
    SafeCopyEllipsis(tip, room, text);
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
    if (!m_nid.hWnd || !m_fNotify || m_fBalloonShown || !ConditionNeedsAttention(m_condition))
        return 0;
    const char* text = "";
    ClassifyPrinter(m_stateReader.Sample().status, m_stateReader.Sample().attributes, m_stateReader.Sample().jobs,
                    &text, &m_stateTexts);
    NOTIFYICONDATAA balloon = m_nid;
    balloon.uFlags = NIF_INFO;
    SafeCopyEllipsis(balloon.szInfoTitle, sizeof(balloon.szInfoTitle), KeyName());
    char info[sizeof(balloon.szInfo)];
    m_stateTexts.Format(IDS_ATTENTION, text, info, sizeof(info));
    SafeCopy(balloon.szInfo, info);
    balloon.uTimeout = 10000;
    balloon.dwInfoFlags = (m_condition == PRINTER_ERROR ? NIIF_ERROR : NIIF_WARNING) | kRespectQuietTime;
    m_fBalloonShown = true;
    TraceStr("CMainFrame::ShowAttentionBalloon", info);
    return m_pfnNotifyIcon(NIM_MODIFY, &balloon) ? 1 : 0;
}

#include "status_window.h"

namespace {

const int kClientWidth = 240; // dialog units
const int kRows = 6;

} // namespace

CStatusWindow::CStatusWindow(const PrinterIdentity& identity) : m_identity(identity) {}

HWND CStatusWindow::Create(HINSTANCE instance)
{
    char title[KIT_TITLE_SIZE];
    FormatKitTitle(STATUS_TITLE_PREFIX, m_identity, title, sizeof(title));
    HWND hwnd = CKitWindow::Create(instance, STATUS_WINDOW_CLASS, title);
    if (!hwnd)
        return nullptr;
    bool watched = m_watch.Start(m_identity.printer, hwnd, WM_STATUS_CHANGED, m_pChangeApi);
    SetTimer(hwnd, STATUS_REFRESH_TIMER, watched ? STATUS_REREAD_PERIOD : STATUS_REFRESH_PERIOD, nullptr);
    return hwnd;
}

SIZE CStatusWindow::ClientSize() const
{
    return SIZE{KitX(Metrics(), kClientWidth), KitFormHeight(Metrics(), kRows)};
}

bool CStatusWindow::OnCreate()
{
    AddRow(0, "Printer:", m_identity.printer, IDC_STATUS_PRINTER);
    AddRow(1, "Port:", m_identity.port, IDC_STATUS_PORT);
    AddRow(2, "Driver:", m_identity.driver, IDC_STATUS_DRIVER);
    AddRow(3, "Model:", m_identity.model, IDC_STATUS_MODEL);
    AddRow(4, "Status:", "", IDC_STATUS_STATE);
    AddRow(5, "Jobs:", "", IDC_STATUS_JOBS);
    if (!AddBottomButton("Close", IDC_STATUS_CLOSE, 0, true))
        return false;
    Refresh();
    return true;
}

void CStatusWindow::Refresh()
{
    if (!m_identity.printer[0]) {
        SetItemText(IDC_STATUS_STATE, "Unknown: no printer name was given");
        SetItemText(IDC_STATUS_JOBS, "-");
        return;
    }
    PrinterState state;
    DWORD error = QueryPrinterState(m_identity.printer, &state);
    char text[ZT_TEXT];
    if (error != ERROR_SUCCESS) {
        SafeFormat(text, sizeof(text), "The printer cannot be opened (error %lu)", static_cast<unsigned long>(error));
        SetItemText(IDC_STATUS_STATE, text);
        SetItemText(IDC_STATUS_JOBS, "-");
        return;
    }
    // The port and driver may have changed since the monitor handed them over.
    if (state.port[0] && lstrcmpA(state.port, m_identity.port) != 0) {
        SafeCopy(m_identity.port, state.port);
        SetItemText(IDC_STATUS_PORT, m_identity.port);
    }
    if (state.driver[0] && lstrcmpA(state.driver, m_identity.driver) != 0) {
        SafeCopy(m_identity.driver, state.driver);
        SetItemText(IDC_STATUS_DRIVER, m_identity.driver);
    }
    PrinterStatusText(state.status, state.attributes, text, sizeof(text));
    SetItemText(IDC_STATUS_STATE, text);
    SafeFormat(text, sizeof(text), "%lu", static_cast<unsigned long>(state.jobs));
    SetItemText(IDC_STATUS_JOBS, text);
}

void CStatusWindow::OnAppMessage(UINT message)
{
    if (message != WM_STATUS_CHANGED)
        return;
    bool failed = false;
    m_watch.TakeChanges(&failed);
    if (failed) {
        // The notification broke down: poll instead.
        m_watch.Stop();
        SetTimer(Handle(), STATUS_REFRESH_TIMER, STATUS_REFRESH_PERIOD, nullptr);
    }
    Refresh();
}

void CStatusWindow::OnTimer(UINT_PTR id)
{
    if (id == STATUS_REFRESH_TIMER)
        Refresh();
}

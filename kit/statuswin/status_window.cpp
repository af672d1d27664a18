#include "status_window.h"

#include "printer.h"

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
    if (!hwnd || !m_identity.printer[0])
        return hwnd;
    PrinterWatchSetup setup;
    setup.printer = m_identity.printer;
    setup.port = m_identity.port;
    setup.window = hwnd;
    setup.message = WM_STATUS_CHANGED;
    m_watch.Start(setup, true);
    SetTimer(hwnd, STATUS_REFRESH_TIMER, STATUS_REFRESH_PERIOD, nullptr);
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
    if (!m_identity.printer[0]) {
        SetItemText(IDC_STATUS_STATE, "Unknown: no printer name was given");
        SetItemText(IDC_STATUS_JOBS, "-");
    }
    return true;
}

void CStatusWindow::Refresh(const PrinterReport& report)
{
    char text[ZT_TEXT];
    if (report.presence != PRESENCE_HERE) {
        SafeFormat(text, sizeof(text), "The printer cannot be opened (error %lu)",
                   static_cast<unsigned long>(report.error));
        SetItemText(IDC_STATUS_STATE, text);
        SetItemText(IDC_STATUS_JOBS, "-");
        return;
    }
    if (!report.sampled)
        return;
    // The port and driver may have changed since the monitor handed them over.
    if (report.port[0] && lstrcmpA(report.port, m_identity.port) != 0) {
        SafeCopy(m_identity.port, report.port);
        SetItemText(IDC_STATUS_PORT, m_identity.port);
    }
    if (report.driver[0] && lstrcmpA(report.driver, m_identity.driver) != 0) {
        SafeCopy(m_identity.driver, report.driver);
        SetItemText(IDC_STATUS_DRIVER, m_identity.driver);
    }
    PrinterStatusText(report.sample.status, report.sample.attributes, text, sizeof(text));
    SetItemText(IDC_STATUS_STATE, text);
    SafeFormat(text, sizeof(text), "%lu", static_cast<unsigned long>(report.sample.jobs));
    SetItemText(IDC_STATUS_JOBS, text);
}

void CStatusWindow::OnAppMessage(UINT message)
{
    if (message == WM_STATUS_CHANGED)
        Refresh(m_watch.Take());
}

void CStatusWindow::OnTimer(UINT_PTR id)
{
    if (id == STATUS_REFRESH_TIMER)
        m_watch.CheckNow();
}

// The "Printer Status" window: the printer's names and the spooler's status and job count,
// read again every few seconds, and a Close button.
#pragma once

#include <windows.h>

#include "kitwindow.h"
#include "printer_state.h"
#include "printer_watch.h"

#define STATUS_WINDOW_CLASS "ZetPrinterStatusWClass"
#define STATUS_TITLE_PREFIX "Printer Status - "

// Value texts of the rows, in their order on the window.
constexpr UINT IDC_STATUS_PRINTER = 1101;
constexpr UINT IDC_STATUS_PORT = 1102;
constexpr UINT IDC_STATUS_DRIVER = 1103;
constexpr UINT IDC_STATUS_MODEL = 1104;
constexpr UINT IDC_STATUS_STATE = 1105;
constexpr UINT IDC_STATUS_JOBS = 1106;
constexpr UINT IDC_STATUS_CLOSE = IDOK;

// The printer is read by the monitor's own watch, on a worker thread: when the spooler
// tells of a change, and at least once a minute then; where the spooler tells nothing, on
// the timer's checks, every 3 seconds. Its reports come as this message.
constexpr UINT_PTR STATUS_REFRESH_TIMER = 1;
constexpr UINT STATUS_REFRESH_PERIOD = 3000;
constexpr UINT WM_STATUS_CHANGED = WM_APP + 1;

class CStatusWindow : public CKitWindow {
public:
    explicit CStatusWindow(const PrinterIdentity& identity);

    // Creates the window (not shown yet) and starts the printer's watch.
    HWND Create(HINSTANCE instance);
    // Shows port, driver, status and jobs as the watch last reported them.
    void Refresh(const PrinterReport& report);

protected:
    SIZE ClientSize() const override;
    bool OnCreate() override;
    void OnTimer(UINT_PTR id) override;
    void OnAppMessage(UINT message) override;

private:
    PrinterIdentity m_identity;
    CPrinterWatch m_watch;
};

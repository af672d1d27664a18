// The sample auxiliary tool's window: the printer, model, driver and port it was started
// for, and the tool's menu command, with a Close button.
#pragma once

#include <windows.h>

#include "kitwindow.h"
#include "printer_state.h"

#define TOOL_WINDOW_CLASS "ZetPrinterToolWClass"
#define TOOL_TITLE_PREFIX "Printer Tool - "

// Value texts of the rows, in their order on the window.
constexpr UINT IDC_TOOL_COMMAND = 1301;
constexpr UINT IDC_TOOL_PRINTER = 1302;
constexpr UINT IDC_TOOL_MODEL = 1303;
constexpr UINT IDC_TOOL_DRIVER = 1304;
constexpr UINT IDC_TOOL_PORT = 1305;
constexpr UINT IDC_TOOL_CLOSE = IDOK;

class CToolWindow : public CKitWindow {
public:
    // `command` is the tool's menu command, or -1 when it was not given.
    CToolWindow(const PrinterIdentity& identity, int command);

    HWND Create(HINSTANCE instance);

protected:
    SIZE ClientSize() const override;
    bool OnCreate() override;

private:
    // "<name> (<command>)" with the command's menu text from the driver's resource library,
    // or the number alone; "-" without a command.
    void CommandText(char* out, size_t size) const;

    PrinterIdentity m_identity;
    int m_command;
};

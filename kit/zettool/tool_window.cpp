#include "tool_window.h"

#include "lang_resolver.h"
#include "scoped.h"

namespace {

const int kClientWidth = 240; // dialog units
const int kRows = 5;

} // namespace

CToolWindow::CToolWindow(const PrinterIdentity& identity, int command) : m_identity(identity), m_command(command)
{
}

HWND CToolWindow::Create(HINSTANCE instance)
{
    char title[KIT_TITLE_SIZE];
    FormatKitTitle(TOOL_TITLE_PREFIX, m_identity, title, sizeof(title));
    return CKitWindow::Create(instance, TOOL_WINDOW_CLASS, title);
}

void CToolWindow::CommandText(char* out, size_t size) const
{
    if (m_command < 0) {
        SafeCopy(out, size, "-");
        return;
    }
    char name[ZT_TEXT] = "";
    char path[ZT_TEXT] = "";
    ScopedLibrary library;
    if (GetResDllPath(path, m_identity.driver, m_identity.model) && library.LoadResources(path))
        LoadStringA(library.Get(), static_cast<UINT>(m_command), name, sizeof(name));
    if (name[0])
        SafeFormat(out, size, "%s (%d)", name, m_command);
    else
        SafeFormat(out, size, "%d", m_command);
}

SIZE CToolWindow::ClientSize() const
{
    return SIZE{KitX(Metrics(), kClientWidth), KitFormHeight(Metrics(), kRows)};
}

bool CToolWindow::OnCreate()
{
    char command[ZT_TEXT + 16];
    CommandText(command, sizeof(command));
    AddRow(0, "Tool:", command, IDC_TOOL_COMMAND);
    AddRow(1, "Printer:", m_identity.printer, IDC_TOOL_PRINTER);
    AddRow(2, "Model:", m_identity.model, IDC_TOOL_MODEL);
    AddRow(3, "Driver:", m_identity.driver, IDC_TOOL_DRIVER);
    AddRow(4, "Port:", m_identity.port, IDC_TOOL_PORT);
    return AddBottomButton("Close", IDC_TOOL_CLOSE, 0, true) != nullptr;
}

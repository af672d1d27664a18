#include "window_slot.h"

CWindowSlot::CWindowSlot() : m_table{nullptr, 0, nullptr}, m_szPrinterName{}, m_szPortName{}, m_kind(0), m_claimed(false)
{
}

CWindowSlot::~CWindowSlot()
{
    Release();
}

int CWindowSlot::Claim(const char* printerName, const char* portName, int kind, HWND* outOther)
{
    HWND other = nullptr;
    SafeCopy(m_szPrinterName, printerName);
    SafeCopy(m_szPortName, portName);
    m_kind = kind;
    int result =
        MultiExecuteCheck(m_szPrinterName, m_szPortName, kind, INSTANCE_PLACEHOLDER_HWND, &other, &m_table);
    m_claimed = (result == RECORD_CLAIMED);
    if (outOther)
        *outOther = (result == RECORD_LIVE) ? other : nullptr;
    return result;
}

int CWindowSlot::Attach(HWND window)
{
    if (!m_claimed)
        return -1;
    return SethWindow(&m_table, m_szPrinterName, m_szPortName, window, m_kind);
}

void CWindowSlot::Release()
{
    if (m_claimed && m_table.hMapping) {
        int usePort = (!m_szPrinterName[0] && m_szPortName[0]) ? 1 : 0;
        RemoveOwnRecord(&m_table, m_szPrinterName, m_szPortName, m_kind, usePort);
    }
    m_claimed = false;
    CloseInstanceTable(&m_table);
}

// One window of each kind per printer: the program's record in the instance table, in the
// slot of its kind (0 for Printer Status, 1 for Monitoring Preferences), from the check at
// start until the program ends.
#pragma once

#include <windows.h>

#include "instance_check.h"
#include "strutil.h"

constexpr int SLOT_KIND_STATUS = INSTANCE_KIND_0;
constexpr int SLOT_KIND_PREFS = INSTANCE_KIND_1;

class CWindowSlot {
public:
    CWindowSlot();
    // Release().
    ~CWindowSlot();
    CWindowSlot(const CWindowSlot&) = delete;
    CWindowSlot& operator=(const CWindowSlot&) = delete;

    // Looks the printer key up and claims the kind's slot with the placeholder when no live
    // window holds it. The results of MultiExecuteCheck: 0 claimed; 1 a live window holds
    // the slot (in *outOther); 2 the table failed. Call once.
    int Claim(const char* printerName, const char* portName, int kind, HWND* outOther);
    // Stores the window in the claimed slot; the result of SethWindow (0 when stored), or
    // -1 when nothing was claimed.
    int Attach(HWND window);
    // Clears the slot if this object claimed it, and closes the table. Safe to repeat.
    void Release();

private:
    InstanceTable m_table;
    char m_szPrinterName[ZT_TEXT];
    char m_szPortName[ZT_TEXT];
    int m_kind;
    bool m_claimed;
};

// Where an owner-drawn tool item of the popup menu puts its bitmap and its text, at the
// scale the menu is shown at. The gaps are given for 100 % and scaled with the menu's DPI;
// a bitmap's own size counts as its size at 100 % and is scaled the same way (a 16-pixel
// bitmap is drawn 24 pixels tall at 150 %).
#pragma once

#include <windows.h>

// The menu's metrics at the DPI it is shown at.
struct AuxMenuMetrics {
    UINT dpi;       // the menu's DPI
    int menuHeight; // SM_CYMENU at that DPI: the height of a menu item
    int checkWidth; // SM_CXMENUCHECK at that DPI: the room right of the text
};

// The system's menu metrics at `dpi`.
AuxMenuMetrics AuxMenuMetricsForDpi(UINT dpi);

// The size that a bitmap of `bitmap` pixels is drawn at; 0 x 0 for no bitmap.
SIZE AuxBitmapSize(const AuxMenuMetrics& metrics, SIZE bitmap);

// The item's size for WM_MEASUREITEM: room for the bitmap, the gaps and a text of `text`
// size, and at least a menu item's height.
SIZE AuxItemSize(const AuxMenuMetrics& metrics, SIZE bitmap, SIZE text);

// Where the bitmap and the text go in the item's rectangle.
struct AuxItemPlace {
    RECT bitmap; // the drawn bitmap; empty without one
    POINT text;  // the text's top-left corner
};
AuxItemPlace PlaceAuxItem(const AuxMenuMetrics& metrics, const RECT& item, SIZE bitmap, SIZE text);

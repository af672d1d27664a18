#include "state_badge.h"

#include <math.h>

#include <vector>

namespace {

struct BadgeLook {
    DWORD fill;  // BGRA, opaque
    DWORD glyph; // BGRA, opaque
};

BadgeLook LookOf(PrinterCondition condition)
{
    switch (condition) {
    case PRINTER_ERROR:
        return {0xFFD02020u, 0xFFFFFFFFu};
    case PRINTER_OFFLINE:
        return {0xFF606060u, 0xFFFFFFFFu};
    case PRINTER_PAUSED:
        return {0xFF2060C0u, 0xFFFFFFFFu};
    default: // Warning
        return {0xFFF0B000u, 0xFF202020u};
    }
}

// 1 when the point (x, y), relative to the badge's centre with r its radius, is on the
// state's glyph.
bool OnGlyph(PrinterCondition condition, double x, double y, double r)
{
    // Half the stroke width: at least a pixel's worth, so that a 16-pixel icon's badge
    // still shows its glyph.
    double half = r * 0.16 + 0.2;
    if (half < 0.7)
        half = 0.7;
    switch (condition) {
    case PRINTER_ERROR:
        return fabs(x) < r * 0.62 && fabs(y) < r * 0.62 && (fabs(x - y) < half * 1.3 || fabs(x + y) < half * 1.3);
    case PRINTER_OFFLINE:
        return fabs(y) < half && fabs(x) < r * 0.65;
    case PRINTER_PAUSED:
        return fabs(y) < r * 0.55 && (fabs(x - r * 0.32) < half || fabs(x + r * 0.32) < half);
    default: // Warning: a bar and a dot
        return fabs(x) < half && ((y > -r * 0.62 && y < r * 0.12) || (y > r * 0.3 && y < r * 0.64));
    }
}

// The header of a square 32-bit BGRA image of `size` pixels, rows top-down.
BITMAPINFO TopDownBgra(int size)
{
    BITMAPINFO bi;
    ZeroMemory(&bi, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// The icon's colour pixels with their alpha, as 32-bit BGRA rows top-down; false when the
// icon cannot be read. An image without alpha takes it from its mask.
bool ReadIconPixels(const ICONINFO& info, int size, std::vector<DWORD>* pixels)
{
    BITMAPINFO bi = TopDownBgra(size);
    pixels->assign(static_cast<size_t>(size) * size, 0);
    HDC dc = GetDC(nullptr);
    bool ok = GetDIBits(dc, info.hbmColor, 0, size, pixels->data(), &bi, DIB_RGB_COLORS) == size;
    bool alpha = false;
    for (DWORD p : *pixels)
        alpha = alpha || (p >> 24) != 0;
    if (ok && !alpha) {
        std::vector<DWORD> mask(pixels->size(), 0);
        ok = GetDIBits(dc, info.hbmMask, 0, size, mask.data(), &bi, DIB_RGB_COLORS) == size;
        for (size_t i = 0; ok && i < mask.size(); ++i)
            (*pixels)[i] = (mask[i] & 0xFFFFFFu) ? 0 : ((*pixels)[i] | 0xFF000000u);
    }
    ReleaseDC(nullptr, dc);
    return ok;
}

// An icon from BGRA pixels (rows top-down): a 32-bit colour image and a mask made from its
// alpha, for shells that draw the mask.
HICON IconFromPixels(const std::vector<DWORD>& pixels, int size)
{
    BITMAPINFO bi = TopDownBgra(size);
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color)
        return nullptr;
    CopyMemory(bits, pixels.data(), pixels.size() * sizeof(DWORD));
    GdiFlush();

    // Monochrome rows are padded to 16 bits; a set bit is transparent.
    int stride = ((size + 15) / 16) * 2;
    std::vector<BYTE> maskBits(static_cast<size_t>(stride) * size, 0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if ((pixels[static_cast<size_t>(y) * size + x] >> 24) == 0)
                maskBits[static_cast<size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    HBITMAP mask = CreateBitmap(size, size, 1, 1, maskBits.data());
    HICON icon = nullptr;
    if (mask) {
        ICONINFO info = {TRUE, 0, 0, mask, color};
        icon = CreateIconIndirect(&info);
        DeleteObject(mask);
    }
    DeleteObject(color);
    return icon;
}

} // namespace

int ConditionHasBadge(PrinterCondition condition)
{
    return condition >= PRINTER_WARNING ? 1 : 0;
}

void DrawStateBadge(DWORD* pixels, int size, PrinterCondition condition)
{
    if (!pixels || size <= 0 || !ConditionHasBadge(condition))
        return;
    // About nine sixteenths of the image, so that the image stays recognisable.
    int diameter = (size * 9 + 8) / 16;
    double r = diameter / 2.0;
    double cx = size - r;
    double cy = size - r;
    BadgeLook look = LookOf(condition);
    for (int y = size - diameter; y < size; ++y) {
        for (int x = size - diameter; x < size; ++x) {
            double dx = x + 0.5 - cx;
            double dy = y + 0.5 - cy;
            double distance = sqrt(dx * dx + dy * dy);
            if (distance > r)
                continue;
            DWORD colour = look.fill;
            if (distance > r - 1.0)
                colour = 0xFFFFFFFFu; // a light rim parts the badge from the image
            else if (OnGlyph(condition, dx, dy, r - 1.0))
                colour = look.glyph;
            pixels[static_cast<size_t>(y) * size + x] = colour;
        }
    }
}

HICON ComposeStateIcon(HICON base, PrinterCondition condition)
{
    if (!base || !ConditionHasBadge(condition))
        return nullptr;
    ICONINFO info;
    if (!GetIconInfo(base, &info))
        return nullptr;
    HICON icon = nullptr;
    BITMAP bm;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof(bm), &bm) && bm.bmWidth == bm.bmHeight && bm.bmWidth > 0) {
        std::vector<DWORD> pixels;
        if (ReadIconPixels(info, bm.bmWidth, &pixels)) {
            DrawStateBadge(pixels.data(), bm.bmWidth, condition);
            icon = IconFromPixels(pixels, bm.bmWidth);
        }
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return icon;
}

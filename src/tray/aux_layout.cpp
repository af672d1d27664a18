#include "aux_layout.h"

#include <algorithm>

#include "display_scale.h"

namespace {

// Gaps at 100 %: the bitmap's left edge, the text's offset after the bitmap (or without
// one), the space before the text, and the least space above and below bitmap and text.
const int kBitmapLeft = 4;
const int kAfterBitmap = 4;
const int kNoBitmapOffset = 20;
const int kBeforeText = 10;
const int kVerticalPadding = 1;

int TextLeft(const AuxMenuMetrics& metrics, SIZE drawnBitmap)
{
    int offset = drawnBitmap.cx > 0 ? drawnBitmap.cx + ScaleForDpi(kAfterBitmap, metrics.dpi)
                                    : ScaleForDpi(kNoBitmapOffset, metrics.dpi);
    return offset + ScaleForDpi(kBeforeText, metrics.dpi);
}

} // namespace

AuxMenuMetrics AuxMenuMetricsForDpi(UINT dpi)
{
    AuxMenuMetrics metrics;
    metrics.dpi = dpi;
    metrics.menuHeight = SystemMetricForDpi(SM_CYMENU, dpi);
    metrics.checkWidth = SystemMetricForDpi(SM_CXMENUCHECK, dpi);
    return metrics;
}

SIZE AuxBitmapSize(const AuxMenuMetrics& metrics, SIZE bitmap)
{
    if (bitmap.cx <= 0 || bitmap.cy <= 0)
        return SIZE{0, 0};
    return SIZE{ScaleForDpi(bitmap.cx, metrics.dpi), ScaleForDpi(bitmap.cy, metrics.dpi)};
}

SIZE AuxItemSize(const AuxMenuMetrics& metrics, SIZE bitmap, SIZE text)
{
    SIZE drawn = AuxBitmapSize(metrics, bitmap);
    int padding = 2 * ScaleForDpi(kVerticalPadding, metrics.dpi);
    SIZE size;
    size.cx = TextLeft(metrics, drawn) + text.cx + metrics.checkWidth;
    size.cy = std::max<LONG>(metrics.menuHeight, std::max(drawn.cy, text.cy) + padding);
    return size;
}

AuxItemPlace PlaceAuxItem(const AuxMenuMetrics& metrics, const RECT& item, SIZE bitmap, SIZE text)
{
    SIZE drawn = AuxBitmapSize(metrics, bitmap);
    int height = item.bottom - item.top;
    AuxItemPlace place;
    place.bitmap.left = item.left + (drawn.cx > 0 ? ScaleForDpi(kBitmapLeft, metrics.dpi) : 0);
    place.bitmap.top = item.top + (drawn.cy > 0 ? (height - drawn.cy) / 2 : 0);
    place.bitmap.right = place.bitmap.left + drawn.cx;
    place.bitmap.bottom = place.bitmap.top + drawn.cy;
    place.text.x = item.left + TextLeft(metrics, drawn);
    place.text.y = item.top + (height - text.cy) / 2;
    return place;
}

// Regions cut out of a bitmap by its key colour, for shaped windows. Pure
// GDI work: any thread.
#pragma once

#include <cstddef>

#include "DIB.h"
#include "GdiObject.h"

namespace lib::wfc {

// One rectangle per maximal run of non-key pixels in each row of the part
// x0..x1 - 1, y0..y1 - 1 of the bitmap (cut to the bitmap), placed relative
// to x0, y0; the region's bounds are 0, 0, x1 - x0, y1 - y0. Throws
// bad_alloc when the region cannot be made.
CRegion CreateRegionFromDIB(const CDIB& dib, int x0, int y0, int x1, int y1,
                            COLORREF key = kMagenta);
// How many rectangles that region has.
size_t CountRegionRuns(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key = kMagenta);
// A region of its own with the same shape; throws bad_alloc on failure.
CRegion CopyRegion(HRGN region);

}  // namespace lib::wfc

// Anti-aliased text drawn straight into a 24-bit bottom-up bitmap from the
// grey glyph outlines of the DC's font, in the DC's text colour. Any thread
// that owns the DC.
#pragma once

#include "OvWindows.h"

namespace lib::wfc {

// Draws CP932 `text` into the bitmap (`bits` with `header`), aligned in
// `rect` by `format` (DT_CENTER, DT_RIGHT, DT_VCENTER, DT_BOTTOM,
// DT_SINGLELINE, DT_NOCLIP, DT_EXTERNALLEADING, DT_CALCRECT). False when the
// format holds anything else (the caller then draws with DrawTextA), when the
// bitmap is not 24-bit bottom-up or when a glyph cannot be read. With
// DT_CALCRECT only `rect` changes. `clip`, when given, bounds the pixels
// touched too.
bool DrawTextAntialiased(HDC dc, const BITMAPINFOHEADER& header, void* bits, const char* text,
                         RECT* rect, UINT format, const RECT* clip = nullptr);

}  // namespace lib::wfc

// Anti-aliased text into a 24-bit bitmap from GDI's grey glyph bitmaps
// (levels 0 to 64), blended in the DC's text colour. Lines are laid out from
// the glyphs' cell advances, so the result does not depend on how the
// platform smooths DrawText.
#include "AntialiasedText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lib::wfc {

namespace {

constexpr UINT kAllowed = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_SINGLELINE |
                          DT_NOCLIP | DT_EXTERNALLEADING | DT_CALCRECT;
constexpr int kLevels = 64;
const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// One line: its glyph codes (a CP932 pair as lead x 256 + trail).
using Line = std::vector<UINT>;

std::vector<Line> SplitLines(const char* text, bool single_line) {
  std::vector<Line> lines(1);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n') {
      if (!single_line) lines.emplace_back();
      continue;
    }
    if (IsDBCSLeadByteEx(932, *p) && p[1] != '\0') {
      lines.back().push_back(static_cast<UINT>(p[0]) << 8 | p[1]);
      ++p;
    } else {
      lines.back().push_back(*p);
    }
  }
  return lines;
}

bool LineWidth(HDC dc, const Line& line, int* width) {
  *width = 0;
  for (const UINT code : line) {
    GLYPHMETRICS metrics = {};
    if (::GetGlyphOutlineA(dc, code, GGO_METRICS, &metrics, 0, nullptr, &kIdentity) == GDI_ERROR) {
      return false;
    }
    *width += metrics.gmCellIncX;
  }
  return true;
}

struct Target {
  uint8_t* bits;
  int width, height, stride;
  RECT bounds;        // the pixels that may change: bitmap, clip and (unless DT_NOCLIP) rectangle
  uint8_t colour[3];  // blue, green, red
};

void Blend(const Target& t, int x, int y, int level) {
  if (x < t.bounds.left || x >= t.bounds.right || y < t.bounds.top || y >= t.bounds.bottom) return;
  uint8_t* p = t.bits + static_cast<ptrdiff_t>(t.height - 1 - y) * t.stride + 3 * x;
  const int weight = level * 255 / kLevels + 1;
  for (int c = 0; c < 3; ++c)
    p[c] = static_cast<uint8_t>(p[c] + (((t.colour[c] - p[c]) * weight) >> 8));
}

// Draws one glyph with its cell's left edge at x and the line's top at top;
// returns its advance, or -1 when the glyph cannot be read.
int DrawGlyph(HDC dc, const Target& t, UINT code, int x, int top, int ascent,
              std::vector<uint8_t>* buffer) {
  GLYPHMETRICS metrics = {};
  const DWORD size =
      ::GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &kIdentity);
  if (size == GDI_ERROR) return -1;
  if (size > 0) {
    buffer->resize(size);
    if (::GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &metrics, size, buffer->data(),
                           &kIdentity) == GDI_ERROR) {
      return -1;
    }
    const int pitch = (static_cast<int>(metrics.gmBlackBoxX) + 3) & ~3;
    const int rows =
        std::min<int>(metrics.gmBlackBoxY, static_cast<int>(size) / std::max(pitch, 1));
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < static_cast<int>(metrics.gmBlackBoxX); ++column) {
        const int level =
            std::min<int>((*buffer)[static_cast<size_t>(row) * pitch + column], kLevels);
        if (level == 0) continue;
        Blend(t, x + column + metrics.gmptGlyphOrigin.x,
              top + ascent + row - metrics.gmptGlyphOrigin.y, level);
      }
    }
  }
  return metrics.gmCellIncX;
}

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

}  // namespace

bool DrawTextAntialiased(HDC dc, const BITMAPINFOHEADER& header, void* bits, const char* text,
                         RECT* rect, UINT format, const RECT* clip) {
  if ((format & ~kAllowed) != 0 || ((format & DT_CENTER) && (format & DT_RIGHT))) return false;
  if (header.biHeight <= 0 || header.biPlanes != 1 || header.biBitCount != 24 ||
      header.biCompression != BI_RGB || !bits || !text || !rect) {
    return false;
  }
  TEXTMETRICA metrics = {};
  if (!::GetTextMetricsA(dc, &metrics)) return false;
  const bool single = (format & DT_SINGLELINE) != 0;
  const std::vector<Line> lines = SplitLines(text, single);
  const int line_height =
      metrics.tmHeight + ((format & DT_EXTERNALLEADING) ? metrics.tmExternalLeading : 0);
  const int text_height = line_height * static_cast<int>(lines.size());
  std::vector<int> widths(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!LineWidth(dc, lines[i], &widths[i])) return false;
  }
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  int top = rect->top;
  if (single && (format & DT_VCENTER)) {
    top += (height - text_height) / 2;
  } else if (single && (format & DT_BOTTOM)) {
    top += height - text_height;
  }
  if (format & DT_CALCRECT) {
    rect->right = rect->left + *std::max_element(widths.begin(), widths.end());
    rect->bottom = top + text_height;
    return true;
  }
  Target t;
  t.bits = static_cast<uint8_t*>(bits);
  t.width = header.biWidth;
  t.height = header.biHeight;
  t.stride = (header.biWidth * 24 + 31) / 32 * 4;
  t.bounds = RECT{0, 0, t.width, t.height};
  if (clip) t.bounds = Intersect(t.bounds, *clip);
  if (!(format & DT_NOCLIP)) t.bounds = Intersect(t.bounds, *rect);
  const COLORREF colour = ::GetTextColor(dc);
  t.colour[0] = GetBValue(colour);
  t.colour[1] = GetGValue(colour);
  t.colour[2] = GetRValue(colour);
  std::vector<uint8_t> buffer;
  for (size_t i = 0; i < lines.size(); ++i, top += line_height) {
    int x = rect->left;
    if (format & DT_CENTER) x += (width - widths[i]) / 2;
    if (format & DT_RIGHT) x += width - widths[i];
    for (const UINT code : lines[i]) {
      const int advance = DrawGlyph(dc, t, code, x, top, metrics.tmAscent, &buffer);
      if (advance < 0) return false;
      x += advance;
    }
  }
  return true;
}

}  // namespace lib::wfc

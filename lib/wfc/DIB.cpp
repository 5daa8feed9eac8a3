// CDIB: creation, pixels, clipping and the blits. Every blit is cut first to
// the destination's clip (within the image) and then to the source image,
// each cut moving the other side's offset by as much, before any row is
// addressed; so no row outside either image is ever touched.
#include "DIB.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "_WindowPolicy.h"

namespace lib::wfc {

namespace {

constexpr int kBytes24 = 3;

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// One blit after cutting: destination and source corners and the size.
struct Span {
  int64_t dx, dy, sx, sy, w, h;
};

// Cuts a blit to `bounds` of the destination and to the source's size; false
// when nothing is left. 64-bit arithmetic so that no caller's extreme values
// wrap around.
bool Cut(const RECT& bounds, int source_width, int source_height, Span* s) {
  if (s->w <= 0 || s->h <= 0) return false;
  if (s->dx < bounds.left) {
    const int64_t d = bounds.left - s->dx;
    s->dx += d, s->sx += d, s->w -= d;
  }
  if (s->dy < bounds.top) {
    const int64_t d = bounds.top - s->dy;
    s->dy += d, s->sy += d, s->h -= d;
  }
  s->w = std::min<int64_t>(s->w, bounds.right - s->dx);
  s->h = std::min<int64_t>(s->h, bounds.bottom - s->dy);
  if (s->sx < 0) {
    const int64_t d = -s->sx;
    s->sx += d, s->dx += d, s->w -= d;
  }
  if (s->sy < 0) {
    const int64_t d = -s->sy;
    s->sy += d, s->dy += d, s->h -= d;
  }
  s->w = std::min<int64_t>(s->w, source_width - s->sx);
  s->h = std::min<int64_t>(s->h, source_height - s->sy);
  return s->w > 0 && s->h > 0;
}

// The pixel as the key compares it: blue x 65536 + green x 256 + red, which
// is the COLORREF of that colour.
inline COLORREF PixelValue(const uint8_t* p) {
  return (static_cast<COLORREF>(p[0]) << 16) | (static_cast<COLORREF>(p[1]) << 8) | p[2];
}

inline uint8_t Blend(int d, int s, int weight) {
  // Arithmetic shift, as every blend of the toolkit does.
  return static_cast<uint8_t>(d + (((s - d) * weight) >> 8));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

CDIB::CDIB() : _header() {}

CDIB::CDIB(CDIB&& other) noexcept
    : _bitmap(std::move(other._bitmap)),
      _header(other._header),
      _bits(std::exchange(other._bits, nullptr)),
      _height(std::exchange(other._height, 0)),
      _stride(std::exchange(other._stride, 0)),
      _clip(std::exchange(other._clip, RECT{0, 0, 0, 0})),
      _format(std::exchange(other._format, kImageUnknown)),
      _key(std::exchange(other._key, kNoKey)) {
  other._header = BITMAPINFOHEADER();
}

CDIB& CDIB::operator=(CDIB&& other) noexcept {
  if (this != &other) {
    _bitmap = std::move(other._bitmap);
    _header = std::exchange(other._header, BITMAPINFOHEADER());
    _bits = std::exchange(other._bits, nullptr);
    _height = std::exchange(other._height, 0);
    _stride = std::exchange(other._stride, 0);
    _clip = std::exchange(other._clip, RECT{0, 0, 0, 0});
    _format = std::exchange(other._format, kImageUnknown);
    _key = std::exchange(other._key, kNoKey);
  }
  return *this;
}

void CDIB::Create(HDC dc, int width, int height, int bits_per_pixel) {
  BITMAPINFOHEADER header = BITMAPINFOHEADER();
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bits_per_pixel);
  header.biCompression = BI_RGB;
  if (width == 0 || height == 0) {
    // A window with no client area asks for an empty back buffer: an empty
    // bitmap on which every operation does nothing.
    _bitmap.Reset();
    _header = header;
    _header.biWidth = 0;
    _header.biHeight = 0;
    _bits = nullptr;
    _height = 0;
    _stride = 0;
    _clip = RECT{0, 0, 0, 0};
    _format = kImageUnknown;
    _key = kNoKey;
    return;
  }
  // Fewer bits would need a colour table after the header, which this
  // bitmap does not carry.
  if (bits_per_pixel != 16 && bits_per_pixel != 24 && bits_per_pixel != 32) throw bad_alloc();
  BITMAPINFO info = BITMAPINFO();
  info.bmiHeader = header;
  void* bits = nullptr;
  // With DIB_RGB_COLORS the DC only has to exist (null stands for the
  // screen); it carries no palette into the bitmap.
  const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) ::DeleteObject(bitmap);
    throw bad_alloc();
  }
  _bitmap.Reset(bitmap);
  _header = header;
  _bits = static_cast<uint8_t*>(bits);
  _height = height < 0 ? -height : height;
  const int64_t row_bits = static_cast<int64_t>(header.biPlanes) * bits_per_pixel * width;
  _stride = static_cast<int>((row_bits + 31) / 32 * 4);
  _clip = Rect();
  _format = kImageUnknown;
  _key = kNoKey;
}

uint8_t* CDIB::Row(int y) { return const_cast<uint8_t*>(static_cast<const CDIB&>(*this).Row(y)); }

const uint8_t* CDIB::Row(int y) const {
  if (!_bits || y < 0 || y >= _height) return nullptr;
  const int64_t memory_row = IsBottomUp() ? _height - 1 - y : y;
  return _bits + memory_row * _stride;
}

COLORREF CDIB::GetPixel(int x, int y) const {
  const int bytes = BitsPerPixel() / 8;
  const uint8_t* row = Row(y);
  if (!row || x < 0 || x >= Width() || (bytes != 3 && bytes != 4)) return kNoKey;
  const uint8_t* p = row + static_cast<size_t>(x) * bytes;
  return RGB(p[2], p[1], p[0]);
}

void CDIB::SetPixel(int x, int y, COLORREF colour) {
  const int bytes = BitsPerPixel() / 8;
  uint8_t* row = Row(y);
  if (!row || x < 0 || x >= Width() || (bytes != 3 && bytes != 4)) return;
  uint8_t* p = row + static_cast<size_t>(x) * bytes;
  p[0] = GetBValue(colour);
  p[1] = GetGValue(colour);
  p[2] = GetRValue(colour);
}

void CDIB::Fill(COLORREF colour) {
  const int bytes = BitsPerPixel() / 8;
  if (!_bits || (bytes != 3 && bytes != 4)) return;
  // One row is built, then copied to the others.
  uint8_t* first = Row(0);
  for (int x = 0; x < Width(); ++x) SetPixel(x, 0, colour);
  for (int y = 1; y < _height; ++y) std::memcpy(Row(y), first, static_cast<size_t>(_stride));
}

RECT CDIB::SetClip(const RECT& clip) {
  const RECT previous = _clip;
  _clip = clip;
  return previous;
}

void CDIB::BlitKeyed(int dx, int dy, int width, int height, const CDIB& source, int sx, int sy,
                     COLORREF key) {
  if (!Is24() || !source.Is24()) return;
  Span s = {dx, dy, sx, sy, width, height};
  if (!Cut(Intersect(_clip, Rect()), source.Width(), source.Height(), &s)) return;
  const size_t bytes = static_cast<size_t>(s.w) * kBytes24;
  // Copying within one bitmap downwards must start from the last row, or
  // rows would be read after they were overwritten.
  const bool backwards = &source == this && s.sy < s.dy;
  for (int64_t i = 0; i < s.h; ++i) {
    const int64_t row = backwards ? s.h - 1 - i : i;
    uint8_t* d = Row(static_cast<int>(s.dy + row)) + s.dx * kBytes24;
    const uint8_t* p = source.Row(static_cast<int>(s.sy + row)) + s.sx * kBytes24;
    if (key == kNoKey) {
      std::memmove(d, p, bytes);
      continue;
    }
    for (int64_t x = 0; x < s.w; ++x, d += kBytes24, p += kBytes24) {
      if (PixelValue(p) == key) continue;
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    }
  }
}

void CDIB::AlphaBlit(int dx, int dy, int width, int height, const CDIB& source, int sx, int sy,
                     int alpha, COLORREF key) {
  if (!Is24() || !source.Is24()) return;
  Span s = {dx, dy, sx, sy, width, height};
  if (!Cut(Intersect(_clip, Rect()), source.Width(), source.Height(), &s)) return;
  const int weight = std::clamp(alpha, 0, 255) + 1;
  const bool backwards = &source == this && s.sy < s.dy;
  for (int64_t i = 0; i < s.h; ++i) {
    const int64_t row = backwards ? s.h - 1 - i : i;
    uint8_t* d = Row(static_cast<int>(s.dy + row)) + s.dx * kBytes24;
    const uint8_t* p = source.Row(static_cast<int>(s.sy + row)) + s.sx * kBytes24;
    for (int64_t x = 0; x < s.w; ++x, d += kBytes24, p += kBytes24) {
      if (key != kNoKey && PixelValue(p) == key) continue;
      d[0] = Blend(d[0], p[0], weight);
      d[1] = Blend(d[1], p[1], weight);
      d[2] = Blend(d[2], p[2], weight);
    }
  }
}

void CDIB::TileBlit(int dx, int dy, int width, int height, const CDIB& source, bool anchored,
                    const RECT* tile, int alpha, COLORREF key) {
  if (!Is24() || !source.Is24() || width <= 0 || height <= 0) return;
  // A tile reaching outside its picture would leave gaps between copies; an
  // empty one has nothing to repeat (and would never advance).
  const RECT cell = Intersect(tile ? *tile : source.Rect(), source.Rect());
  if (IsEmpty(cell)) return;
  const int64_t tw = cell.right - cell.left;
  const int64_t th = cell.bottom - cell.top;
  // Only the part inside the clip is visited: a huge rectangle over a tiny
  // tile costs what it draws.
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(dx) + width, INT32_MAX);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(dy) + height, INT32_MAX);
  const RECT area = Intersect(RECT{dx, dy, static_cast<LONG>(right), static_cast<LONG>(bottom)},
                              Intersect(_clip, Rect()));
  if (IsEmpty(area)) return;
  const int64_t ox = anchored ? dx : 0;
  const int64_t oy = anchored ? dy : 0;
  const int64_t x_first = ox + FloorDiv(area.left - ox, tw) * tw;
  const int64_t y_first = oy + FloorDiv(area.top - oy, th) * th;
  for (int64_t y = y_first; y < area.bottom; y += th) {
    const int64_t top = std::max<int64_t>(y, area.top);
    const int64_t h = std::min<int64_t>(y + th, area.bottom) - top;
    for (int64_t x = x_first; x < area.right; x += tw) {
      const int64_t left = std::max<int64_t>(x, area.left);
      const int64_t w = std::min<int64_t>(x + tw, area.right) - left;
      const int sx = static_cast<int>(cell.left + (left - x));
      const int sy = static_cast<int>(cell.top + (top - y));
      if (alpha >= 255) {
        BlitKeyed(static_cast<int>(left), static_cast<int>(top), static_cast<int>(w),
                  static_cast<int>(h), source, sx, sy, key);
      } else {
        AlphaBlit(static_cast<int>(left), static_cast<int>(top), static_cast<int>(w),
                  static_cast<int>(h), source, sx, sy, alpha, key);
      }
    }
  }
}

void CDIB::Lighten(int percent) { Lighten(percent, kNoKey); }

void CDIB::Lighten(int percent, COLORREF key) {
  if (!Is24()) return;
  // Beyond 100 percent every channel is saturated anyway.
  const int add = std::clamp(percent, -100, 100) * 255 / 100;
  for (int y = 0; y < _height; ++y) {
    uint8_t* p = Row(y);
    for (int x = 0; x < Width(); ++x, p += kBytes24) {
      if (key != kNoKey && PixelValue(p) == key) continue;
      for (int c = 0; c < kBytes24; ++c)
        p[c] = static_cast<uint8_t>(std::clamp(p[c] + add, 0, 255));
    }
  }
}

CDIBClip::CDIBClip(CDIB& dib, const RECT& rect) : _dib(dib), _previous(dib.Clip()) {
  _dib.SetClip(Intersect(rect, dib.Rect()));
}

}  // namespace lib::wfc

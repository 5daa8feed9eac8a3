// Regions from key-coloured bitmaps. The runs are counted in a first pass so
// that the region data is allocated once at its real size: one rectangle per
// pixel would be 33 MB for a 1920 x 1080 picture.
#include "Region.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Window.h"
#include "_WindowPolicy.h"

namespace lib::wfc {

namespace {

static_assert(sizeof(RGNDATAHEADER) == 2 * sizeof(RECT), "the header takes two rectangles' room");

inline bool IsKey(const uint8_t* p, COLORREF key) {
  return ((static_cast<COLORREF>(p[0]) << 16) | (static_cast<COLORREF>(p[1]) << 8) | p[2]) == key;
}

// Calls emit(left, top, right) for each run of non-key pixels, in row order,
// relative to x0, y0; only the part inside the bitmap is read.
template <typename Emit>
void ForEachRun(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key, Emit emit) {
  if (dib.BitsPerPixel() != 24 || !dib.Bits()) return;
  const int left = std::max(x0, 0);
  const int right = std::min(x1, dib.Width());
  const int top = std::max(y0, 0);
  const int bottom = std::min(y1, dib.Height());
  for (int y = top; y < bottom; ++y) {
    const uint8_t* row = dib.Row(y);
    int x = left;
    while (x < right) {
      while (x < right && IsKey(row + 3 * x, key)) ++x;
      if (x >= right) break;
      const int start = x;
      while (x < right && !IsKey(row + 3 * x, key)) ++x;
      emit(start - x0, y - y0, x - x0);
    }
  }
}

}  // namespace

size_t CountRegionRuns(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key) {
  size_t runs = 0;
  ForEachRun(dib, x0, y0, x1, y1, key, [&runs](int, int, int) { ++runs; });
  return runs;
}

CRegion CreateRegionFromDIB(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key) {
  const size_t runs = CountRegionRuns(dib, x0, y0, x1, y1, key);
  // The header sits in the first two slots, the rectangles follow.
  std::vector<RECT> data(2 + runs);
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(runs);
  header->nRgnSize = static_cast<DWORD>(runs * sizeof(RECT));
  header->rcBound = RECT{0, 0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
  RECT* next = data.data() + 2;
  ForEachRun(dib, x0, y0, x1, y1, key, [&next](int left, int top, int right) {
    *next++ = RECT{left, top, right, top + 1};
  });
  const HRGN region = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size() * sizeof(RECT)),
                                        reinterpret_cast<const RGNDATA*>(data.data()));
  if (!region) throw bad_alloc();
  return CRegion(region);
}

CRegion CopyRegion(HRGN region) {
  CRegion copy(::CreateRectRgn(0, 0, 0, 0));
  if (!copy) throw bad_alloc();
  if (::CombineRgn(copy.Get(), region, nullptr, RGN_COPY) == ERROR) throw bad_alloc();
  return copy;
}

void CRegionWindow::ApplyRegion(HRGN region) {
  CRegion copy = CopyRegion(region);
  // The window owns the region once SetWindowRgn succeeds.
  if (::SetWindowRgn(Handle(), copy.Get(), TRUE)) copy.Detach();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

}  // namespace lib::wfc

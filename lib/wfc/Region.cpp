// Regions from key-coloured bitmaps. Wine's ExtCreateRegion unites its
// rectangles one at a time, each union costing as much as the region built so
// far: a scattered key (hundreds of thousands of runs) would take minutes. So
// the rows are turned into regions in slices of a few hundred rectangles,
// through one buffer allocated once for the largest slice, and the slices are
// united pairwise, which costs the number of rectangles per round.
#include "Region.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "Window.h"
#include "_WindowPolicy.h"

namespace lib::wfc {

namespace {

static_assert(sizeof(RGNDATAHEADER) == 2 * sizeof(RECT), "the header takes two rectangles' room");

// Rows are gathered into one slice until it holds at least this many.
constexpr size_t kSliceRectangles = 256;

inline bool IsKey(const uint8_t* p, COLORREF key) {
  return ((static_cast<COLORREF>(p[0]) << 16) | (static_cast<COLORREF>(p[1]) << 8) | p[2]) == key;
}

// The part of x0..x1, y0..y1 inside the bitmap.
struct Scan {
  int left, top, right, bottom;
};

Scan ScanOf(const CDIB& dib, int x0, int y0, int x1, int y1) {
  if (dib.BitsPerPixel() != 24 || !dib.Bits()) return Scan{0, 0, 0, 0};
  return Scan{std::max(x0, 0), std::max(y0, 0), std::min(x1, dib.Width()),
              std::min(y1, dib.Height())};
}

// Calls emit(left, right) for each run of non-key pixels of row y.
template <typename Emit>
void RowRuns(const CDIB& dib, const Scan& scan, int y, COLORREF key, Emit emit) {
  const uint8_t* row = dib.Row(y);
  int x = scan.left;
  while (x < scan.right) {
    while (x < scan.right && IsKey(row + 3 * x, key)) ++x;
    if (x >= scan.right) break;
    const int start = x;
    while (x < scan.right && !IsKey(row + 3 * x, key)) ++x;
    emit(start, x);
  }
}

CRegion MakeRegion(std::vector<RECT>* data, size_t count, const RECT& bound) {
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data->data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(count);
  header->nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
  header->rcBound = bound;
  const HRGN region = ::ExtCreateRegion(nullptr, static_cast<DWORD>((2 + count) * sizeof(RECT)),
                                        reinterpret_cast<const RGNDATA*>(data->data()));
  if (!region) throw bad_alloc();
  return CRegion(region);
}

}  // namespace

size_t CountRegionRuns(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key) {
  const Scan scan = ScanOf(dib, x0, y0, x1, y1);
  size_t runs = 0;
  for (int y = scan.top; y < scan.bottom; ++y)
    RowRuns(dib, scan, y, key, [&runs](int, int) { ++runs; });
  return runs;
}

CRegion CreateRegionFromDIB(const CDIB& dib, int x0, int y0, int x1, int y1, COLORREF key) {
  const Scan scan = ScanOf(dib, x0, y0, x1, y1);
  const RECT bound = {0, 0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
  // A row holds at most one run more than half its width.
  const size_t widest_row = static_cast<size_t>(std::max(scan.right - scan.left, 0)) / 2 + 1;
  // The header sits in the first two slots, the rectangles follow.
  std::vector<RECT> data(2 + kSliceRectangles + widest_row);
  std::vector<CRegion> slices;
  size_t count = 0;
  for (int y = scan.top; y < scan.bottom; ++y) {
    RowRuns(dib, scan, y, key, [&](int left, int right) {
      data[2 + count++] = RECT{left - x0, y - y0, right - x0, y - y0 + 1};
    });
    if (count >= kSliceRectangles) {
      slices.push_back(MakeRegion(&data, count, bound));
      count = 0;
    }
  }
  if (count > 0 || slices.empty()) slices.push_back(MakeRegion(&data, count, bound));
  // Pairwise unions: every round halves the number of slices.
  for (size_t step = 1; step < slices.size(); step *= 2) {
    for (size_t i = 0; i + step < slices.size(); i += 2 * step) {
      if (::CombineRgn(slices[i].Get(), slices[i].Get(), slices[i + step].Get(), RGN_OR) == ERROR) {
        throw bad_alloc();
      }
      slices[i + step].Reset();
    }
  }
  return std::move(slices.front());
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

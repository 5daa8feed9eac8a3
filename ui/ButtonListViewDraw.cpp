// Drawing the list view into the window's back buffer. Only the header cells,
// row positions and cells that meet the buffer's clip are drawn, so a paint
// costs what is visible (and less for a hover), never the row count.
#include <algorithm>

#include "ButtonListView.h"
#include "DIB.h"
#include "SkinItemDraw.h"
#include "SkinItemResources.h"

namespace ui {

using lib::wfc::CDIB;
using lib::wfc::kMagenta;

namespace {

bool Overlaps(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT Moved(RECT r, int dx, int dy) {
  OffsetRect(&r, dx, dy);
  return r;
}

// Nearest-neighbour scaling of `from` onto `to`, within the target's clip;
// pixels of the key colour are skipped. Equal sizes take the plain blit.
void StretchKeyed(CDIB& target, const RECT& to, const CDIB& source, const RECT& from) {
  const int tw = to.right - to.left;
  const int th = to.bottom - to.top;
  const int fw = from.right - from.left;
  const int fh = from.bottom - from.top;
  if (tw <= 0 || th <= 0 || fw <= 0 || fh <= 0) return;
  if (tw == fw && th == fh) {
    target.BlitKeyed(to.left, to.top, tw, th, source, from.left, from.top, kMagenta);
    return;
  }
  if (target.BitsPerPixel() != 24 || source.BitsPerPixel() != 24) return;
  RECT area;
  const RECT clip = target.Clip();
  const RECT whole = target.Rect();
  if (!IntersectRect(&area, &to, &clip) || !IntersectRect(&area, &area, &whole)) return;
  const uint8_t key[3] = {GetBValue(kMagenta), GetGValue(kMagenta), GetRValue(kMagenta)};
  for (int y = area.top; y < area.bottom; ++y) {
    const int sy = from.top + static_cast<int>(static_cast<int64_t>(y - to.top) * fh / th);
    const uint8_t* in = source.Row(sy);
    uint8_t* out = target.Row(y);
    if (!in || !out) continue;
    for (int x = area.left; x < area.right; ++x) {
      const int sx = from.left + static_cast<int>(static_cast<int64_t>(x - to.left) * fw / tw);
      if (sx < 0 || sx >= source.Width()) continue;
      const uint8_t* p = in + 3 * sx;
      if (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) continue;
      std::copy(p, p + 3, out + 3 * x);
    }
  }
}

// Left slice at the left edge (at most the width), right slice at the right
// edge (at most what remains), the middle stretched between.
void DrawSlices(CDIB& target, const ListSlices& slices, const RECT& cell) {
  const SkinItemPicture& picture = slices.picture;
  if (!picture.IsSet()) return;
  CItemPicture source(picture.name);
  if (!source.Get()) return;
  const RECT& src = picture.rect;
  const int width = cell.right - cell.left;
  const int left = std::clamp(static_cast<int>(slices.x1 - src.left), 0, std::max(width, 0));
  const int right =
      std::clamp(static_cast<int>(src.right - slices.x2), 0, std::max(width - left, 0));
  StretchKeyed(target, RECT{cell.left, cell.top, cell.left + left, cell.bottom}, *source.Get(),
               RECT{src.left, src.top, src.left + left, src.bottom});
  StretchKeyed(target, RECT{cell.right - right, cell.top, cell.right, cell.bottom}, *source.Get(),
               RECT{src.right - right, src.top, src.right, src.bottom});
  StretchKeyed(target, RECT{cell.left + left, cell.top, cell.right - right, cell.bottom},
               *source.Get(), RECT{slices.x1, src.top, slices.x2, src.bottom});
}

void DrawPicture(CDIB& target, const SkinItemPicture& picture, int x, int y) {
  if (!picture.IsSet() || picture.Width() <= 0 || picture.Height() <= 0) return;
  CItemPicture source(picture.name);
  if (!source.Get()) return;
  target.BlitKeyed(x, y, picture.Width(), picture.Height(), *source.Get(), picture.rect.left,
                   picture.rect.top, kMagenta);
}

// The back buffer selected into the view's DC and its clip applied, for the
// life of the object.
class CBufferInDC final {
 public:
  CBufferInDC(HDC dc, const CDIB& back) : _dc(dc), _old(::SelectObject(dc, back.Get())) {
    const RECT& c = back.Clip();
    IntersectClipRect(_dc, c.left, c.top, c.right, c.bottom);
  }
  ~CBufferInDC() {
    SelectClipRgn(_dc, nullptr);
    if (_old) ::SelectObject(_dc, _old);
    GdiFlush();
  }
  CBufferInDC(const CBufferInDC&) = delete;
  CBufferInDC& operator=(const CBufferInDC&) = delete;
  explicit operator bool() const { return _old != nullptr; }

 private:
  HDC _dc;       // not owned
  HGDIOBJ _old;  // not owned
};

constexpr UINT kTextFlags = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;

UINT Alignment(int format) { return static_cast<UINT>(format) & (DT_CENTER | DT_RIGHT); }

}  // namespace

void CButtonListView::Draw() {
  if (!IsVisible() || Width() <= 0 || Height() <= 0 || !Accessor()) return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  CNarrowClip narrow(*back, Rect());
  const RECT clip = back->Clip();
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  CBufferInDC selected(_dc, *back);
  if (!selected) return;
  const RECT item_clip = Moved(clip, -X(), -Y());
  if (_header_shown) {
    for (int c = 0; c < static_cast<int>(_columns.size()); ++c)
      if (Overlaps(HeaderCellRect(c), item_clip)) DrawHeaderCell(*back, c);
  }
  const int r = RowHeight();
  const int h = HeaderHeight();
  if (r < 1) return;
  const int from = std::max(static_cast<int>(item_clip.top - h) / r, 0);
  const int to = std::min(static_cast<int>(item_clip.bottom - h + r - 1) / r, GetVisibleRowCount());
  for (int p = from; p < to; ++p) DrawRowPosition(*back, _first + p, item_clip);
}

void CButtonListView::DrawRowPosition(CDIB& back, int row, const RECT& item_clip) {
  for (int k = 0; k < static_cast<int>(_buttons.size()); ++k)
    if (_buttons[static_cast<size_t>(k)].visible && Overlaps(SubButtonRect(row, k), item_clip))
      DrawSubButton(back, row, k);
  for (int c = 0; c < static_cast<int>(_columns.size()); ++c)
    if (Overlaps(CellRect(row, c), item_clip)) DrawCell(back, row, c);
}

void CButtonListView::DrawSubButton(CDIB& back, int row, int position) {
  const ListSubButton& button = _buttons[static_cast<size_t>(position)];
  const RECT r = Moved(SubButtonRect(row, position), X(), Y());
  const bool on = SubButtonOn(row, button);
  const bool enabled = SubButtonEnabled(row, button);
  const Spot spot = {row, kListHitButton, position};
  const bool pushed = _pressed_look == spot || (button.toggle && on);
  const bool hot = _hover == spot && enabled && !pushed;
  const SkinItemPicture& face = _look.buttons[(hot ? 1 : 0) + (pushed ? 2 : 0)];
  DrawPicture(back, face, r.left, r.top);
  const int label = LabelOf(row, button);
  // The owner's index may name no label at all.
  if (label < 0 || label >= static_cast<int>(_look.labels.size())) return;
  const ListLabel& l = _look.labels[static_cast<size_t>(label)];
  const SkinItemPicture& picture =
      on ? (enabled ? l.on : l.on_disabled) : (enabled ? l.off : l.off_disabled);
  DrawPicture(back, picture, r.left + (r.right - r.left - picture.Width()) / 2,
              r.top + (r.bottom - r.top - picture.Height()) / 2);
}

void CButtonListView::DrawCell(CDIB& back, int row, int column) {
  const RECT cell = Moved(CellRect(row, column), X(), Y());
  const bool exists = RowExists(row);
  const ListSlices* background = nullptr;
  if (exists && _table->IsActiveRow(this, row))
    background = &_look.active_row;
  else if (!_look.rows.empty())
    background = &_look.rows[static_cast<size_t>(row) % _look.rows.size()];
  if (background) DrawSlices(back, *background, cell);
  if (!exists) return;
  const RECT clip = back.Clip();
  if (_listener && _listener->OnDrawCell(this, row, column, _dc, &back, cell.left, cell.top,
                                         cell.right, cell.bottom, &clip))
    return;
  int x = cell.left;
  if (_extra_drawing && (column == 0 || (column == 1 && DrawExtraInColumnOne())))
    x += std::max(
        DrawExtraCellContent(&back, row, column, cell.left, cell.top, cell.right, cell.bottom), 0);
  const int icon = _table->GetCellIcon(this, row, column);
  if (icon >= 0 && icon < static_cast<int>(_look.icons.size())) {
    const ListIcon& i = _look.icons[static_cast<size_t>(icon)];
    DrawPicture(back, i.picture, x + i.offset.x, cell.top + i.offset.y);
    x += i.offset.x + i.picture.Width();
  }
  const RECT text = {x + _margins.left, cell.top + _margins.top, cell.right - _margins.right,
                     cell.bottom - _margins.bottom};
  DrawCellText(text, row, column, Alignment(_columns[static_cast<size_t>(column)].format));
}

void CButtonListView::DrawCellText(const RECT& rect, int row, int column, UINT format) {
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  SetTextColor(_dc, _table->GetCellTextColor(this, row, column));
  RECT r = rect;
  if (_wide_table && _wide_table->IsWideText(this)) {
    const std::wstring text = _wide_table->GetCellTextW(this, row, column);
    if (!text.empty())
      ::DrawTextW(_dc, text.c_str(), static_cast<int>(text.size()), &r, format | kTextFlags);
  } else {
    const std::string text = _table->GetCellText(this, row, column);
    if (!text.empty())
      ::DrawTextA(_dc, text.c_str(), static_cast<int>(text.size()), &r, format | kTextFlags);
  }
}

void CButtonListView::DrawHeaderCell(CDIB& back, int column) {
  const RECT cell = Moved(HeaderCellRect(column), X(), Y());
  const bool pressed = _pressed_look == Spot{0, kListHitHeader, column};
  DrawSlices(back, pressed ? _look.pushed_header : _look.normal_header, cell);
  RECT content = cell;
  if (pressed) OffsetRect(&content, 1, 1);
  if (column == 0) content.left += GetFixedColumnWidth(kLeft);
  const ListColumn& col = _columns[static_cast<size_t>(column)];
  const UINT format = Alignment(col.format) | kTextFlags | DT_VCENTER;
  RECT title = {content.left + _margins.left, content.top, content.right - _margins.right,
                content.bottom};
  const int icon = _table ? _table->GetHeaderIcon(this, column) : -1;
  if (icon >= 0 && icon < static_cast<int>(_look.icons.size())) {
    const ListIcon& i = _look.icons[static_cast<size_t>(icon)];
    const int w = i.picture.Width();
    const int y = content.top + i.offset.y;
    if (_header_icon_mode == 0) {
      DrawPicture(back, i.picture, content.left + i.offset.x, y);
      title.left = content.left + i.offset.x + w + _margins.left;
    } else if (col.format & DT_RIGHT) {
      // At the right end, inside the margin the title keeps.
      DrawPicture(back, i.picture, content.right - _margins.right - w, y);
      title.right -= w;
    } else {
      RECT measured = title;
      ::DrawTextA(_dc, col.title.c_str(), static_cast<int>(col.title.size()), &measured,
                  format | DT_CALCRECT);
      const int used = std::min(measured.right - measured.left, title.right - title.left);
      DrawPicture(back, i.picture, title.left + used + i.offset.x, y);
    }
  }
  if (col.title.empty() || title.left >= title.right) return;
  SetTextColor(_dc, RGB(0, 0, 0));
  ::DrawTextA(_dc, col.title.c_str(), static_cast<int>(col.title.size()), &title, format);
}

}  // namespace ui

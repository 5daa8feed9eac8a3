// The list view's geometry, hit testing, scrolling, mouse and tooltips.
// Every row, column and sub-button index the view reports or draws is
// checked against the table's row count and its own lists first.
#include "ButtonListView.h"

#include <algorithm>
#include <cmath>

#include "ButtonListLayout.h"
#include "SkinItemResources.h"
#include "SkinWindowItemScrollBar.h"

namespace ui {

namespace {

constexpr int kGap = 0;
constexpr int kNoTableMinWidth = 50;

// Holds the window's redraw lock for a scope, so several small redraws reach
// the screen in one paint.
class CRedrawBatch final {
 public:
  explicit CRedrawBatch(ISkinWindowItemAccessor* accessor)
      : _accessor(accessor), _previous(accessor && accessor->SetRedrawLock(true)) {}
  ~CRedrawBatch() {
    if (_accessor) _accessor->SetRedrawLock(_previous);
  }
  CRedrawBatch(const CRedrawBatch&) = delete;
  CRedrawBatch& operator=(const CRedrawBatch&) = delete;

 private:
  ISkinWindowItemAccessor* _accessor;  // not owned
  bool _previous;
};

bool Inside(const RECT& r, POINT pt) {
  return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

void Acquire(CSkinItemResources* resources, const SkinItemPicture& picture) {
  if (resources && picture.IsSet()) resources->Acquire(picture.name);
}

}  // namespace

CButtonListView::CButtonListView(ISkinWindowItemAccessor* accessor, int id,
                                 const SkinSection& section, CSkinItemResources* resources,
                                 CSkinWindowItemScrollBar* bar, CButtonListViewListener* listener)
    : CButtonListView(accessor, id, ReadButtonListLook(section), resources, bar, listener) {}

CButtonListView::CButtonListView(ISkinWindowItemAccessor* accessor, int id, ButtonListLook look,
                                 CSkinItemResources* resources, CSkinWindowItemScrollBar* bar,
                                 CButtonListViewListener* listener)
    : CSkinWindowItem(accessor, id), _look(std::move(look)), _bar(bar), _listener(listener) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
  Init(resources);
}

CButtonListView::~CButtonListView() {
  if (_old_font) ::SelectObject(_dc, _old_font);
}

void CButtonListView::Init(CSkinItemResources* resources) {
  for (const SkinItemPicture& picture : _look.buttons) Acquire(resources, picture);
  for (const ListSlices* slices : {&_look.normal_header, &_look.pushed_header, &_look.active_row})
    Acquire(resources, slices->picture);
  // Row pictures too: an unacquired picture is not in the cache when drawn.
  for (const ListSlices& slices : _look.rows) Acquire(resources, slices.picture);
  for (const ListLabel& label : _look.labels)
    for (const SkinItemPicture* p :
         {&label.on, &label.off, &label.on_disabled, &label.off_disabled})
      Acquire(resources, *p);
  for (const ListIcon& icon : _look.icons) Acquire(resources, icon.picture);

  _font.Create(_look.font);
  _old_font = ::SelectObject(_dc, _font.Get());
  SetBkMode(_dc, TRANSPARENT);
  TEXTMETRICA metrics{};
  GetTextMetricsA(_dc, &metrics);
  const int r = _look.RowHeight();
  const int h = metrics.tmHeight;
  const int p = (r - h) / 2;
  const int q = r - h - p;
  _margins = RECT{2, std::max(p, q), 2, std::min(p, q)};
}

// Table answers, checked

int CButtonListView::RowCount() const {
  if (!_table) return 0;
  return std::max(_table->GetRowCount(const_cast<CButtonListView*>(this)), 0);
}

bool CButtonListView::RowExists(int row) const { return row >= 0 && row < RowCount(); }

bool CButtonListView::SubButtonEnabled(int row, const ListSubButton& button) const {
  return RowExists(row) && IsEnabled() &&
         _table->IsButtonEnabled(const_cast<CButtonListView*>(this), row, button.id);
}

bool CButtonListView::SubButtonOn(int row, const ListSubButton& button) const {
  return RowExists(row) && _table->IsButtonOn(const_cast<CButtonListView*>(this), row, button.id);
}

int CButtonListView::LabelOf(int row, const ListSubButton& button) const {
  if (button.label >= 0) return button.label;
  if (!RowExists(row)) return -1;
  return _table->GetButtonLabel(const_cast<CButtonListView*>(this), row, button.id);
}

// Public settings

void CButtonListView::SetTable(CButtonListViewTable* table) {
  _table = table;
  _wide_table = dynamic_cast<CButtonListViewTableW*>(table);
  InvalidateRow(-1);
}

void CButtonListView::ShowHeader(bool show) {
  if (show == _header_shown) return;
  _header_shown = show;
  if (_table) UpdateScrollRange();
  Redraw();
}

void CButtonListView::AddColumn(const ListColumn& column) {
  _columns.push_back(column);
  _columns.back().width = std::max(column.width, 0);
}

void CButtonListView::AddSubButton(const ListSubButton& button) {
  _buttons.push_back(button);
  // Any side but the left one is the right one, as the blocks count them.
  if (button.side != kLeft) _buttons.back().side = kRight;
}

void CButtonListView::LayoutColumns() {
  std::vector<ListColumnWidth> widths;
  for (const ListColumn& column : _columns) widths.push_back({column.width, column.fixed});
  const int available = Width() - GetFixedColumnWidth(kLeft) - GetFixedColumnWidth(kRight);
  FitListColumns(&widths, available, kGap, GetMinColumnWidth(), _first_takes_slack);
  for (size_t c = 0; c < _columns.size(); ++c) _columns[c].width = widths[c].width;
}

void CButtonListView::SetColumnWidth(int column, int width) {
  if (column < 0 || column + 1 >= static_cast<int>(_columns.size())) return;
  const int min_width = GetMinColumnWidth();
  _columns[static_cast<size_t>(column)].width =
      ClampColumnEdge(width, GetFixedColumnWidth(kLeft) + min_width, Width() - min_width);
  Redraw();
}

void CButtonListView::SetHeaderIconMode(int mode) {
  if (mode == 0 || mode == 2) _header_icon_mode = mode;
}

void CButtonListView::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
  LayoutColumns();
  if (_table) UpdateScrollRange();
  Redraw();
  if (_listener) _listener->OnLayoutChanged(this);
}

// Metrics

int CButtonListView::GetScrollPos() const { return _first; }

int CButtonListView::GetVisibleRowCount() const {
  const int r = RowHeight();
  const int room = std::max(Height() - HeaderHeight(), 0);
  return r < 1 ? 0 : (room + r - 1) / r;
}

int CButtonListView::GetPageRowCount() const {
  return WholeVisibleRows(Height(), HeaderHeight(), RowHeight());
}

int CButtonListView::MaximumScroll() const {
  // As the bar counts it: a page of at least one row.
  return std::max(RowCount() - std::max(GetPageRowCount(), 1), 0);
}

int CButtonListView::GetMinColumnWidth() const {
  if (!_table) return kNoTableMinWidth;
  return _table->GetMinColumnWidth(const_cast<CButtonListView*>(this));
}

int CButtonListView::GetFixedColumnWidth(int side) const {
  int visible = 0;
  for (const ListSubButton& b : _buttons) visible += b.visible && b.side == side;
  return visible * std::max(_look.ButtonWidth(), 0);
}

// Geometry, item coordinates

int CButtonListView::ColumnLeft(int column) const {
  int x = GetFixedColumnWidth(kLeft);
  for (int c = 0; c < column; ++c) x += _columns[static_cast<size_t>(c)].width + kGap;
  return x;
}

int CButtonListView::ColumnRight(int column) const {
  const int block = Width() - GetFixedColumnWidth(kRight);
  if (column + 1 >= static_cast<int>(_columns.size())) return block;
  return std::min(ColumnLeft(column) + _columns[static_cast<size_t>(column)].width, block);
}

RECT CButtonListView::RowRect(int row) const {
  const int top = HeaderHeight() + RowHeight() * (row - _first);
  return RECT{0, top, Width(), top + RowHeight()};
}

RECT CButtonListView::CellRect(int row, int column) const {
  const RECT r = RowRect(row);
  return RECT{ColumnLeft(column), r.top, ColumnRight(column), r.bottom};
}

RECT CButtonListView::HeaderCellRect(int column) const {
  if (!_header_shown) return RECT{0, 0, 0, 0};
  const int left = column == 0 ? 0 : ColumnRight(column - 1);
  const bool last = column + 1 >= static_cast<int>(_columns.size());
  const int right = last ? Width() : ColumnRight(column);
  return RECT{left, 0, right, HeaderHeight()};
}

RECT CButtonListView::SubButtonRect(int row, int position) const {
  const RECT r = RowRect(row);
  const ListSubButton& button = _buttons[static_cast<size_t>(position)];
  int k = 0;
  for (int i = 0; i < position; ++i) {
    const ListSubButton& b = _buttons[static_cast<size_t>(i)];
    k += b.visible && b.side == button.side;
  }
  const int w = std::max(_look.ButtonWidth(), 0);
  const int x = button.side == kLeft ? k * w : Width() - GetFixedColumnWidth(kRight) + k * w;
  return RECT{x, r.top, x + w, r.bottom};
}

// Hit testing

int CButtonListView::HitTest(POINT pt, int* row_out, int* index_out) const {
  const Spot spot = SpotAt(pt);
  if (row_out) *row_out = spot.row;
  if (index_out) *index_out = spot.index;
  return spot.kind;
}

CButtonListView::Spot CButtonListView::SpotAt(POINT pt) const {
  Spot spot;
  const int h = HeaderHeight();
  const int r = RowHeight();
  if (pt.y >= h && pt.y < Height() && r > 0) {
    const int row = _first + (pt.y - h) / r;
    if (RowExists(row)) spot.row = row;
  }
  if (spot.row != -1) {
    for (size_t k = 0; k < _buttons.size(); ++k) {
      const ListSubButton& button = _buttons[k];
      if (!button.visible) continue;
      const RECT b = SubButtonRect(spot.row, static_cast<int>(k));
      if (pt.x < b.left || pt.x > b.right) continue;
      if (!SubButtonEnabled(spot.row, button)) return Spot{spot.row, kListHitNothing, -1};
      return Spot{spot.row, kListHitButton, static_cast<int>(k)};
    }
  }
  for (int c = 0; c < static_cast<int>(_columns.size()); ++c) {
    const int right = ColumnRight(c);
    if (pt.x >= right - 1 && pt.x <= right + kGap && pt.y >= 0 && pt.y < Height())
      return Spot{spot.row, kListHitBorder, c};
    if (spot.row != -1 && pt.x >= ColumnLeft(c) && pt.x < right)
      return Spot{spot.row, kListHitCell, c};
  }
  for (int c = 0; c < static_cast<int>(_columns.size()); ++c)
    if (Inside(HeaderCellRect(c), pt)) return Spot{0, kListHitHeader, c};
  return Spot{spot.row, kListHitNothing, -1};
}

int CButtonListView::IconAreaWidth(int row, int column) const {
  if (!RowExists(row)) return 0;
  const int icon = _table->GetCellIcon(const_cast<CButtonListView*>(this), row, column);
  if (icon < 0 || icon >= static_cast<int>(_look.icons.size())) return 0;
  const ListIcon& i = _look.icons[static_cast<size_t>(icon)];
  return i.offset.x + i.picture.Width();
}

bool CButtonListView::OnIcon(const Spot& spot, POINT pt) const {
  if (spot.kind != kListHitCell) return false;
  const int width = IconAreaWidth(spot.row, spot.index);
  return width > 0 && pt.x < ColumnLeft(spot.index) + width;
}

// Scrolling

void CButtonListView::UpdateScrollRange() {
  _first = std::clamp(_first, 0, MaximumScroll());
  if (!_bar) return;
  _bar->SetRange(std::max(RowCount() - 1, 0), GetPageRowCount());
  _bar->SetPos(_first);
}

void CButtonListView::Scroll(int code, int position) {
  const int target =
      ListScrollTarget(code, position, _first, std::max(GetPageRowCount(), 1), MaximumScroll());
  if (target == _first) return;
  _first = target;
  // The hovered row has moved away from under the pointer; the next move
  // finds what lies there now.
  _hover = Spot();
  if (_bar) _bar->SetPos(_first);
  Redraw();
  UpdateToolTip();
}

void CButtonListView::ScrollByWheel(int steps) {
  if (steps == 0 || !IsEnabled()) return;
  const long long target =
      std::clamp<long long>(static_cast<long long>(_first) + steps, 0, MaximumScroll());
  Scroll(SB_THUMBPOSITION, static_cast<int>(target));
}

INT_PTR CButtonListView::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  if (code == WM_VSCROLL) {
    Scroll(static_cast<int>(value), static_cast<int>(extra));
    return 0;
  }
  return CSkinWindowItem::OnNotify(code, value, extra);
}

// Redrawing

void CButtonListView::RedrawItemRect(const RECT& r) {
  if (!Accessor()) return;
  RECT clipped;
  const RECT item = {0, 0, Width(), Height()};
  if (!IntersectRect(&clipped, &r, &item)) return;
  Accessor()->InvalidateItemRect(X() + clipped.left, Y() + clipped.top, X() + clipped.right,
                                 Y() + clipped.bottom, false);
}

void CButtonListView::RedrawSpot(const Spot& spot) {
  switch (spot.kind) {
    case kListHitHeader:
      RedrawItemRect(HeaderCellRect(spot.index));
      break;
    case kListHitButton:
      if (spot.index >= 0 && spot.index < static_cast<int>(_buttons.size()))
        RedrawItemRect(SubButtonRect(spot.row, spot.index));
      break;
    case kListHitCell:
      RedrawItemRect(CellRect(spot.row, spot.index));
      break;
    default:
      break;
  }
}

void CButtonListView::InvalidateRow(int row) {
  if (row == -1) {
    UpdateScrollRange();
    Redraw();
  } else if (row >= _first && row < _first + GetVisibleRowCount()) {
    RedrawItemRect(RowRect(row));
  }
  if (!Accessor() || !Accessor()->IsCreated()) return;
  if (_hover.row >= RowCount() && _hover.kind != kListHitHeader) _hover = Spot();
  UpdateToolTip();
}

// Tooltips

void CButtonListView::UpdateToolTip() {
  std::string text;
  RECT rect = {0, 0, 0, 0};
  auto* self = this;
  switch (_hover.kind) {
    case kListHitHeader:
      if (_table) text = _table->GetHeaderToolTip(self, _hover.index);
      rect = HeaderCellRect(_hover.index);
      break;
    case kListHitButton: {
      if (_hover.index < 0 || _hover.index >= static_cast<int>(_buttons.size())) break;
      const ListSubButton& button = _buttons[static_cast<size_t>(_hover.index)];
      const int label = LabelOf(_hover.row, button);
      if (label >= 0 && label < static_cast<int>(_look.labels.size())) {
        const ListLabel& l = _look.labels[static_cast<size_t>(label)];
        text = SubButtonOn(_hover.row, button) ? l.tip_on : l.tip;
      }
      if (RowExists(_hover.row)) _table->AdjustButtonToolTip(self, _hover.row, button.id, &text);
      rect = SubButtonRect(_hover.row, _hover.index);
      break;
    }
    case kListHitCell:
      if (RowExists(_hover.row)) text = _table->GetCellToolTip(self, _hover.row, _hover.index);
      rect = CellRect(_hover.row, _hover.index);
      break;
    default:
      break;
  }
  if (text == _tip && EqualRect(&rect, &_tip_rect)) return;
  _tip = text;
  _tip_rect = rect;
  if (Accessor() && Accessor()->IsDrawable()) Accessor()->AddToolTip(this);
}

// Mouse

void CButtonListView::UpdateHover(const Spot& spot) {
  if (spot == _hover) return;
  const Spot old = _hover;
  _hover = spot;
  {
    // Only sub-buttons look hot; cells, borders and the header look the
    // same hovered or not, and a hover must stay cheap.
    CRedrawBatch batch(Accessor());
    if (old.kind == kListHitButton) RedrawSpot(old);
    if (spot.kind == kListHitButton) RedrawSpot(spot);
  }
  UpdateToolTip();
}

void CButtonListView::SetPressedLook(const Spot& spot) {
  if (spot == _pressed_look) return;
  const Spot old = _pressed_look;
  _pressed_look = spot;
  CRedrawBatch batch(Accessor());
  RedrawSpot(old);
  RedrawSpot(spot);
}

void CButtonListView::DropPress() {
  _press = Press();
  _dragging = false;
  SetPressedLook(Spot());
}

bool CButtonListView::OnLButtonDown(POINT pt) {
  if (!IsEnabled()) return false;
  const Spot spot = SpotAt(pt);
  bool taken = false;
  int width = 0;
  const bool column = spot.index >= 0 && spot.index < static_cast<int>(_columns.size());
  switch (spot.kind) {
    case kListHitHeader:
      if (column && _columns[static_cast<size_t>(spot.index)].header_button) {
        SetPressedLook(spot);
        taken = true;
      }
      break;
    case kListHitButton:
      SetPressedLook(spot);
      taken = true;
      break;
    case kListHitBorder:
      if (column && !_columns[static_cast<size_t>(spot.index)].fixed) {
        width = _columns[static_cast<size_t>(spot.index)].width;
        taken = true;
      }
      break;
    case kListHitCell:
      taken = spot.row != -1 && column;
      break;
    default:
      break;
  }
  const bool reported =
      spot.kind == kListHitButton || spot.kind == kListHitCell || spot.kind == kListHitBorder;
  if (reported && spot.row != -1 && _listener) {
    const int index = spot.kind == kListHitCell ? spot.index : -1;
    _listener->OnMouseDown(this, spot.row, spot.kind, index, OnIcon(spot, pt));
  }
  if (!taken) return false;
  _press.held = true;
  _press.right = false;
  _press.spot = spot;
  _press.point = pt;
  _press.width = width;
  _dragging = false;
  return true;
}

bool CButtonListView::OnLButtonDblClk(POINT pt) {
  if (!IsEnabled()) return false;
  const Spot spot = SpotAt(pt);
  if (spot.kind == kListHitHeader || spot.kind == kListHitButton) return OnLButtonDown(pt);
  if ((spot.kind == kListHitCell || spot.kind == kListHitBorder) && spot.row != -1 && _listener)
    _listener->OnDoubleClick(this, spot.row, spot.kind, spot.index, OnIcon(spot, pt));
  return false;
}

void CButtonListView::ResizeColumnTo(POINT pt) {
  const int column = _press.spot.index;
  if (column < 0 || column >= static_cast<int>(_columns.size())) return;
  const int min_width = GetMinColumnWidth();
  const int x = ClampColumnEdge(pt.x, GetFixedColumnWidth(kLeft) + min_width, Width() - min_width);
  _columns[static_cast<size_t>(column)].width = _press.width + (x - _press.point.x);
  LayoutColumns();
  Redraw();
  if (_listener) _listener->OnLayoutChanged(this);
}

void CButtonListView::OnMouseMove(POINT pt) {
  if (!_press.held) {
    UpdateHover(SpotAt(pt));
    return;
  }
  if (_press.right) return;
  switch (_press.spot.kind) {
    case kListHitHeader:
    case kListHitButton:
      SetPressedLook(SpotAt(pt) == _press.spot ? _press.spot : Spot());
      break;
    case kListHitCell:
      if (!_dragging && PastDragThreshold(pt.x - _press.point.x, pt.y - _press.point.y,
                                          GetProfileIntA("windows", "DragMinDist", 2))) {
        _dragging = true;
        if (_listener) _listener->OnBeginDrag(this, pt.x, pt.y, _press.spot.row, _press.spot.index);
      }
      break;
    case kListHitBorder:
      ResizeColumnTo(pt);
      break;
    default:
      break;
  }
}

void CButtonListView::OnLButtonUp(POINT pt) {
  if (!_press.held || _press.right) return;
  const Press press = _press;
  const bool dragged = _dragging;
  DropPress();
  const Spot spot = SpotAt(pt);
  if (spot == press.spot) {
    switch (spot.kind) {
      case kListHitButton:
        OnSubButtonClicked(spot.row, spot.index);
        break;
      case kListHitHeader:
        if (_listener) _listener->OnHeaderClick(this, spot.index);
        break;
      default:
        if (_listener) _listener->OnClick(this, spot.row, spot.kind, spot.index, OnIcon(spot, pt));
        break;
    }
  }
  if (dragged && _listener) _listener->OnDrop(this, pt.x + X(), pt.y + Y(), spot.row);
}

void CButtonListView::OnSubButtonClicked(int row, int position) {
  if (position < 0 || position >= static_cast<int>(_buttons.size()) || !_listener) return;
  _listener->OnButtonClick(this, row, _buttons[static_cast<size_t>(position)].id);
}

void CButtonListView::OnLButtonCancel(POINT) {
  if (_press.held && !_press.right) DropPress();
}

bool CButtonListView::OnRButtonDown(POINT pt) {
  if (!IsEnabled()) return false;
  const Spot spot = SpotAt(pt);
  if (spot.kind != kListHitCell || spot.row == -1) return false;
  _press = Press();
  _press.held = true;
  _press.right = true;
  _press.spot = spot;
  _press.point = pt;
  return true;
}

void CButtonListView::OnRButtonUp(POINT pt) {
  if (!_press.held || !_press.right) return;
  const Spot pressed = _press.spot;
  _press = Press();
  const Spot spot = SpotAt(pt);
  if (spot == pressed && _listener)
    _listener->OnRightClick(this, spot.row, kListHitCell, spot.index, OnIcon(spot, pt));
}

void CButtonListView::OnRButtonCancel(POINT) {
  if (_press.held && _press.right) _press = Press();
}

void CButtonListView::OnMouseLeave() {
  UpdateHover(Spot());
  SetPressedLook(Spot());
}

bool CButtonListView::OnSetCursor(POINT pt) {
  const Spot spot = SpotAt(pt);
  if (spot.kind == kListHitBorder) return true;
  if (spot.kind == kListHitButton) {
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    return true;
  }
  return false;
}

}  // namespace ui

// The button list view: a skinned grid of rows drawn from skin pictures, with
// an optional header, text columns, small push buttons at the ends of each
// row, cell icons, column resizing with the mouse, tooltips and drag start
// detection. It keeps no row data: the owner window answers through a table
// and hears events through a listener. A separate scroll bar item scrolls it.
// Like every item it lives on its window's thread.
#pragma once

#include <string>
#include <vector>

#include "DC.h"
#include "GdiObject.h"
#include "SkinItemPicture.h"
#include "SkinWindowItem.h"

namespace lib::wfc {
class CDIB;
}  // namespace lib::wfc

namespace ui {

class SkinSection;
class CSkinItemResources;
class CSkinWindowItemScrollBar;
class CButtonListView;

// What a point over the view hits.
enum ListHitKind : int {
  kListHitNothing = 0,
  kListHitHeader = 1,
  kListHitButton = 2,
  kListHitCell = 3,
  kListHitBorder = 4,
};

// Shared by the view and its listener.
class CButtonListViewBase {
 public:
  virtual ~CButtonListViewBase() = default;
};

// The owner's ears. Rows and columns are indices; `kind` is a ListHitKind.
class CButtonListViewListener : public CButtonListViewBase {
 public:
  // After a size change or a column resize.
  virtual void OnLayoutChanged(CButtonListView* view) = 0;
  // A left press on a row (kinds 2, 3, 4); index -1 but for cells.
  virtual void OnMouseDown(CButtonListView* view, int row, int kind, int index, bool on_icon) = 0;
  // A left release of a cell or border press on the same row, kind and index.
  virtual void OnClick(CButtonListView*, int, int, int, bool) {}
  virtual void OnDoubleClick(CButtonListView* view, int row, int kind, int index, bool on_icon) = 0;
  virtual void OnRightClick(CButtonListView*, int, int, int, bool) {}
  virtual void OnHeaderClick(CButtonListView*, int) {}
  virtual void OnButtonClick(CButtonListView* view, int row, int button_id) = 0;
  // x, y in the item's own coordinates.
  virtual void OnBeginDrag(CButtonListView*, int, int, int, int) {}
  // x, y in window coordinates.
  virtual void OnDrop(CButtonListView*, int, int, int) {}
  // True: the owner drew the cell's content; the view draws no text or icon.
  virtual bool OnDrawCell(CButtonListView*, int, int, HDC, lib::wfc::CDIB*, int, int, int, int,
                          const RECT*) {
    return false;
  }
};

// The owner's rows.
class CButtonListViewTable {
 public:
  virtual ~CButtonListViewTable() = default;
  virtual int GetRowCount(CButtonListView* view) = 0;
  virtual bool IsActiveRow(CButtonListView* view, int row) = 0;
  virtual bool IsButtonEnabled(CButtonListView* view, int row, int button_id) = 0;
  virtual bool IsButtonOn(CButtonListView* view, int row, int button_id) = 0;
  // The label of a sub-button whose own label is -1.
  virtual int GetButtonLabel(CButtonListView* view, int row, int button_id) = 0;
  virtual std::string GetCellText(CButtonListView* view, int row, int column) = 0;
  virtual COLORREF GetCellTextColor(CButtonListView* view, int row, int column) = 0;
  // Icon indices; -1 none.
  virtual int GetHeaderIcon(CButtonListView*, int) { return -1; }
  virtual int GetCellIcon(CButtonListView*, int, int) { return -1; }
  virtual std::string GetHeaderToolTip(CButtonListView*, int) { return std::string(); }
  virtual void AdjustButtonToolTip(CButtonListView*, int, int, std::string*) {}
  virtual std::string GetCellToolTip(CButtonListView* view, int row, int column) = 0;
  virtual int GetMinColumnWidth(CButtonListView* view) = 0;
};

// A table whose cell texts may be UTF-16.
class CButtonListViewTableW : public CButtonListViewTable {
 public:
  virtual std::wstring GetCellTextW(CButtonListView*, int, int) { return std::wstring(); }
  // True: cells are drawn from GetCellTextW.
  virtual bool IsWideText(CButtonListView*) { return false; }
};

// A picture cut in three across: x0..x1 fixed, x1..x2 stretched, x2..x3
// fixed (x0 and x3 are the picture's left and right).
struct ListSlices {
  SkinItemPicture picture;
  int x1 = 0;
  int x2 = 0;
};

struct ListLabel {
  SkinItemPicture on;
  SkinItemPicture off;
  SkinItemPicture on_disabled;
  SkinItemPicture off_disabled;
  std::string tip;
  std::string tip_on;
};

struct ListIcon {
  SkinItemPicture picture;
  POINT offset = {0, 0};
};

// Everything the view reads from its skin section.
struct ButtonListLook {
  RECT rect = {0, 0, 0, 0};
  LOGFONTA font{};
  // Normal, hot, pushed, pushed and hot.
  SkinItemPicture buttons[4];
  ListSlices normal_header;
  ListSlices pushed_header;
  ListSlices active_row;
  std::vector<ListSlices> rows;
  std::vector<ListLabel> labels;
  std::vector<ListIcon> icons;

  int RowHeight() const { return buttons[0].Height(); }
  int ButtonWidth() const { return buttons[0].Width(); }
  int HeaderHeight() const { return normal_header.picture.Height(); }
};

// Reads and tests a list view section; throws CSkinWindowException.
ButtonListLook ReadButtonListLook(const SkinSection& section);

struct ListColumn {
  std::string title;
  int width = 0;
  // DrawText alignment: 0 left, 1 centre, 2 right.
  int format = 0;
  // The user cannot resize it and fitting leaves it alone.
  bool fixed = false;
  // The header cell can be pressed.
  bool header_button = false;
};

struct ListSubButton {
  // -1: the table names the label per row.
  int label = -1;
  int id = 0;
  // 1 at the left end of the row, 0 at the right end.
  int side = 0;
  // Shows the pushed look while the table says it is on.
  bool toggle = false;
  bool visible = true;
};

class CButtonListView : public CSkinWindowItem, public CButtonListViewBase {
 public:
  static constexpr int kLeft = 1;
  static constexpr int kRight = 0;

  // The view acquires its pictures into `resources` (may be null); the bar
  // and the listener are not owned and may be null.
  CButtonListView(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                  CSkinItemResources* resources, CSkinWindowItemScrollBar* bar,
                  CButtonListViewListener* listener);
  CButtonListView(ISkinWindowItemAccessor* accessor, int id, ButtonListLook look,
                  CSkinItemResources* resources, CSkinWindowItemScrollBar* bar,
                  CButtonListViewListener* listener);
  ~CButtonListView() override;

  void SetTable(CButtonListViewTable* table);
  CButtonListViewTable* Table() const { return _table; }
  void ShowHeader(bool show);
  bool HeaderShown() const { return _header_shown; }
  void AddColumn(const ListColumn& column);
  void AddSubButton(const ListSubButton& button);
  void LayoutColumns();
  void SetColumnWidth(int column, int width);
  // 0 and 2 only; other values are ignored.
  void SetHeaderIconMode(int mode);
  void SetFirstColumnTakesSlack(bool takes) { _first_takes_slack = takes; }
  bool FirstColumnTakesSlack() const { return _first_takes_slack; }
  void SetExtraCellDrawing(bool enabled) { _extra_drawing = enabled; }
  // -1: the scroll range and the whole item; else that row when visible.
  void InvalidateRow(int row);
  void Scroll(int code, int position);
  // Wheel steps the owner window passes on (positive: down the list), one
  // row a step, so a standard notch moves three rows. A disabled view
  // stays where it is.
  void ScrollByWheel(int steps);

  int GetScrollPos() const;
  int GetVisibleRowCount() const;
  int GetPageRowCount() const;
  int GetMinColumnWidth() const;
  int GetFixedColumnWidth(int side) const;
  // The base's HitTest says whether the item takes the mouse at all.
  using CSkinWindowItem::HitTest;
  int HitTest(POINT pt, int* row, int* index) const;

  const std::vector<ListColumn>& Columns() const { return _columns; }
  const std::vector<ListSubButton>& SubButtons() const { return _buttons; }
  const ButtonListLook& Look() const { return _look; }
  int RowHeight() const { return _look.RowHeight(); }
  int HeaderHeight() const { return _header_shown ? _look.HeaderHeight() : 0; }
  int MaximumScroll() const;
  // Item coordinates.
  RECT RowRect(int row) const;
  RECT CellRect(int row, int column) const;
  RECT HeaderCellRect(int column) const;
  RECT SubButtonRect(int row, int position) const;
  int ColumnLeft(int column) const;
  int ColumnRight(int column) const;
  bool Dragging() const { return _dragging; }
  // The text margins: left, top, right, bottom.
  RECT TextMargins() const { return _margins; }

  // CSkinWindowItem
  std::string GetText() const override { return _tip; }
  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void OnMouseMove(POINT pt) override;
  bool OnLButtonDown(POINT pt) override;
  bool OnLButtonDblClk(POINT pt) override;
  void OnLButtonUp(POINT pt) override;
  void OnLButtonCancel(POINT pt) override;
  bool OnRButtonDown(POINT pt) override;
  bool OnRButtonDblClk(POINT pt) override { return OnRButtonDown(pt); }
  void OnRButtonUp(POINT pt) override;
  void OnRButtonCancel(POINT pt) override;
  void OnMouseLeave() override;
  bool OnSetCursor(POINT pt) override;
  void OnTick(DWORD) override {}
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { Redraw(); }

 protected:
  // Extension hooks: extra content at a cell's left (returns the width it
  // used), whether column 1 gets it too, and a sub-button click.
  virtual int DrawExtraCellContent(lib::wfc::CDIB*, int, int, int, int, int, int) { return 0; }
  virtual void OnExtraHook(int) {}
  virtual bool DrawExtraInColumnOne() { return true; }
  virtual void OnSubButtonClicked(int row, int position);

 private:
  struct Spot {
    int row = -1;
    int kind = kListHitNothing;
    int index = -1;
    bool operator==(const Spot& o) const {
      return row == o.row && kind == o.kind && index == o.index;
    }
    bool operator!=(const Spot& o) const { return !(*this == o); }
  };
  struct Press {
    bool held = false;
    bool right = false;
    Spot spot;
    POINT point = {0, 0};
    int width = 0;
  };

  void Init(CSkinItemResources* resources);
  int RowCount() const;
  bool RowExists(int row) const;
  Spot SpotAt(POINT pt) const;
  bool OnIcon(const Spot& spot, POINT pt) const;
  int IconAreaWidth(int row, int column) const;
  bool SubButtonEnabled(int row, const ListSubButton& button) const;
  bool SubButtonOn(int row, const ListSubButton& button) const;
  int LabelOf(int row, const ListSubButton& button) const;
  void UpdateScrollRange();
  void UpdateHover(const Spot& spot);
  void UpdateToolTip();
  void SetPressedLook(const Spot& spot);
  void RedrawSpot(const Spot& spot);
  void RedrawItemRect(const RECT& item_rect);
  void DropPress();
  void ResizeColumnTo(POINT pt);

  // Drawing, in ButtonListViewDraw.cpp.
  void DrawHeaderCell(lib::wfc::CDIB& back, int column);
  void DrawRowPosition(lib::wfc::CDIB& back, int row, const RECT& clip);
  void DrawSubButton(lib::wfc::CDIB& back, int row, int position);
  void DrawCell(lib::wfc::CDIB& back, int row, int column);
  void DrawCellText(const RECT& rect, int row, int column, UINT format);

  ButtonListLook _look;
  CSkinWindowItemScrollBar* _bar;                // not owned
  CButtonListViewListener* _listener;            // not owned
  CButtonListViewTable* _table = nullptr;        // not owned
  CButtonListViewTableW* _wide_table = nullptr;  // not owned: _table when it is wide
  std::vector<ListColumn> _columns;
  std::vector<ListSubButton> _buttons;
  lib::wfc::CFont _font;
  lib::wfc::CMemDC _dc;
  HGDIOBJ _old_font = nullptr;  // not owned: what the DC held before the font
  RECT _margins = {2, 0, 2, 0};
  int _first = 0;
  bool _header_shown = false;
  bool _first_takes_slack = true;
  bool _extra_drawing = false;
  int _header_icon_mode = 0;
  Spot _hover;
  Spot _pressed_look;
  Press _press;
  bool _dragging = false;
  std::string _tip;
  RECT _tip_rect = {0, 0, 0, 0};
};

}  // namespace ui

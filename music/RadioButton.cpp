#include "RadioButton.h"

#include <memory>

namespace ui {

CSkinWindowItemRadioButton::CSkinWindowItemRadioButton(ISkinWindowItemAccessor* accessor, int id,
                                                       const SkinSection& section,
                                                       CSkinItemResources* resources)
    : CSkinWindowItemToggleButton(accessor, id, section, resources) {}

INT_PTR CSkinWindowItemRadioButton::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  switch (code) {
    case kItemSetSelected: {
      const bool selected = value != 0;
      if (_tracking || (_selected == selected && _inside == selected)) return 0;
      _selected = selected;
      _inside = selected;
      Redraw();
      return 0;
    }
    case kItemGetSelected:
      return _selected ? 1 : 0;
    default:
      // The button's codes: the toggle's own answer to "set selected" would
      // update the tooltip, which a radio leaves alone.
      return CSkinWindowItemButton::OnNotify(code, value, extra);
  }
}

void CSkinWindowItemRadioButton::OnLButtonUp(POINT pt) {
  if (!_tracking) return;
  _tracking = false;
  const bool over = Contains(pt);
  if (over) {
    if (_selected)
      OnClickWhenSelected();
    else
      _selected = true;
  }
  _inside = _selected;
  _hot = over && IsEnabled();
  Redraw();
  if (over) NotifyClick();
}

void CSkinWindowItemRadioButton::NotifyClick() {
  if (Accessor()) Accessor()->Notify(Id(), kReportClick, 0);
}

CSkinWindowItem* CreateRadioButton(CSkinWindow* window, int id, const SkinSection& section) {
  return window->AddItem(std::make_unique<CSkinWindowItemRadioButton>(
      window, id, section, window->GetItemResourceObject()));
}

int GetCheckedRadioIndex(CSkinWindow* window, const int* ids, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    CSkinWindowItem* item = window->FindItem(ids[i]);
    if (item && item->OnNotify(kItemGetSelected, 0, 0) != 0) return static_cast<int>(i);
  }
  return -1;
}

bool SelectRadio(CSkinWindow* window, const int* ids, size_t count, int checked) {
  bool changed = false;
  for (size_t i = 0; i < count; ++i) {
    CSkinWindowItem* item = window->FindItem(ids[i]);
    if (!item) continue;
    const bool before = item->OnNotify(kItemGetSelected, 0, 0) != 0;
    const bool after = ids[i] == checked;
    item->OnNotify(kItemSetSelected, after ? 1 : 0, 0);
    if (before != after) changed = true;
  }
  return changed;
}

}  // namespace ui

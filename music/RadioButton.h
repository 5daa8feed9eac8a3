// The radio button: a toggle button that a click selects but never clears.
// Clearing the other buttons of a group is the window's business; the group
// operations below do it over any skinned window. Same thread rules as every
// item: the window's thread only.
#pragma once

#include <cstddef>

#include "SkinWindow.h"
#include "SkinWindowItemButton.h"

namespace ui {

class CSkinWindowItemRadioButton : public CSkinWindowItemToggleButton {
 public:
  CSkinWindowItemRadioButton(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                             CSkinItemResources* resources);

  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void OnLButtonUp(POINT pt) override;

  // A click on the button while it is already selected.
  virtual void OnClickWhenSelected() {}
  // Tells the window of the click (code 0, a WM_COMMAND there).
  virtual void NotifyClick();
};

// Constructs the radio button from the section and adds it to the window.
CSkinWindowItem* CreateRadioButton(CSkinWindow* window, int id, const SkinSection& section);

// The index of the first id whose item reports itself selected; -1 when none
// does or the list is empty.
int GetCheckedRadioIndex(CSkinWindow* window, const int* ids, size_t count);
// Selects the item of `checked` and clears every other item of the list;
// true when any item's state changed.
bool SelectRadio(CSkinWindow* window, const int* ids, size_t count, int checked);

}  // namespace ui

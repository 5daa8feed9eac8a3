// Skinned scroll bars on a control that manages its own scrolling (the
// folder tree, the file lists): the engine replaces the control's system
// bars, this class mirrors the control's scroll information into them and
// paints every part from a bitmap of the program's resources, cut out as the
// `CustomScrollBar` skin section says.
//
// Thread contract: the control's thread only. The owner routes the control's
// messages to OnMessage and the engine's custom-draw records to
// OnCustomDraw.
#pragma once

#include <memory>
#include <string>

#include "CustomScrollBarBase.h"
#include "CustomScrollBarInfoItem.h"
#include "DC.h"
#include "GdiObject.h"
#include "SkinDefinition.h"

namespace ui {

class CCustomScrollBar final : public CCustomScrollBarBase {
 public:
  CCustomScrollBar() = default;
  ~CCustomScrollBar() override;

  CCustomScrollBarInfoItem& Info() { return _info; }

  // False, with a log line, when the bitmap cannot be loaded or drawn from;
  // the control then keeps its system bars.
  bool Attach(HWND control);
  void Enable(BOOL enable);
  // Copies the control's own scroll information into the bars.
  void Refresh();
  int OnScroll(WPARAM request, int bar, SCROLLINFO& copy);
  void Redraw(bool frame_changed);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnCustomDraw(const CustomScrollBarDraw* draw);

 private:
  HWND _control = nullptr;  // not owned
  std::unique_ptr<lib::wfc::CMemDC> _dc;
  lib::wfc::CBitmap _bitmap;
  HGDIOBJ _replaced = nullptr;  // not owned: the memory DC's first bitmap
  SCROLLINFO _vert = {sizeof(SCROLLINFO), SIF_ALL | SIF_TRACKPOS, 0, 0, 0, 0, 0};
  SCROLLINFO _horz = {sizeof(SCROLLINFO), SIF_ALL | SIF_TRACKPOS, 0, 0, 0, 0, 0};
  CCustomScrollBarInfoItem _info;
  bool _refreshing = false;
};

// A bar loaded from the named section of a skin; null when it cannot be
// allocated. A missing or broken section throws the skin exception.
std::unique_ptr<CCustomScrollBar> CreateCustomScrollBar(const SkinDefinition& skin,
                                                        const std::string& section);

}  // namespace ui

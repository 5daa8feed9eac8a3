// The skinned window: back buffer, region, and the routing of mouse, keys,
// focus, capture, timer and tooltips to the items.
#include "SkinWindow.h"

#include <algorithm>
#include <cstring>

#include "DC.h"
#include "Region.h"
#include "SkinItemDraw.h"
#include "SkinItemResources.h"

namespace ui {

namespace {

constexpr UINT_PTR kTickTimer = static_cast<UINT_PTR>(-1);
constexpr UINT kTickMs = 33;
// The tooltip text buffer of the notification, terminator included.
constexpr size_t kTipBuffer = 80;

bool Overlaps(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool InRect(const RECT& r, POINT pt) {
  return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}

POINT Relative(const CSkinWindowItem& item, POINT pt) {
  return POINT{pt.x - item.X(), pt.y - item.Y()};
}

// At most kTipBuffer - 1 bytes and the terminator, never half of a
// double-byte character.
void CopyTipText(const std::string& text, char* out) {
  size_t n = 0;
  while (n < text.size()) {
    const bool lead = IsDBCSLeadByteEx(932, static_cast<BYTE>(text[n])) && n + 1 < text.size();
    const size_t step = lead ? 2 : 1;
    if (n + step > kTipBuffer - 1) break;
    n += step;
  }
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

class CSkinWindow::CRedrawHold final {
 public:
  explicit CRedrawHold(CSkinWindow* window)
      : _window(window), _previous(window->SetRedrawLock(true)) {}
  ~CRedrawHold() { _window->SetRedrawLock(_previous); }
  CRedrawHold(const CRedrawHold&) = delete;
  CRedrawHold& operator=(const CRedrawHold&) = delete;

 private:
  CSkinWindow* _window;
  bool _previous;
};

CSkinWindow::CSkinWindow()
    : _logfont(lib::wfc::DefaultLogFont()), _resources(std::make_unique<CSkinItemResources>()) {}

CSkinWindow::~CSkinWindow() {
  _capture_item = _hover_item = _focus_item = _tooltip_item = nullptr;
  _items.clear();
}

SIZE CSkinWindow::GetBaseImageSize() const {
  const RECT r = GetBaseImageRect();
  return SIZE{r.right - r.left, r.bottom - r.top};
}

RECT CSkinWindow::GetDefaultClientRect() const {
  const SIZE size = GetLayoutSize();
  return RECT{0, 0, size.cx, size.cy};
}

void CSkinWindow::SetBaseImage(const std::string& name, const RECT& rect) {
  if (!name.empty()) _resources->Acquire(name);
  _base_image = name;
  _base_rect = rect;
}

void CSkinWindow::SetWindowFont(const LOGFONTA& font) {
  _logfont = font;
  _font.Create(font);
}

// Items

CSkinWindowItem* CSkinWindow::AddItem(std::unique_ptr<CSkinWindowItem> item) {
  CSkinWindowItem* added = item.get();
  const auto same = std::find_if(_items.begin(), _items.end(),
                                 [&](const auto& held) { return held->Id() == added->Id(); });
  if (same != _items.end()) {
    const RECT old = (*same)->Rect();
    Forget(same->get());
    *same = std::move(item);
    // The old item's place shows what lies under it now.
    if (IsCreated()) InvalidateItemRect(old.left, old.top, old.right, old.bottom, false);
  } else {
    _items.push_back(std::move(item));
  }
  if (IsCreated()) {
    added->CreateChild(Handle(), 0, 0);
    AddToolTip(added);
    const RECT r = added->Rect();
    InvalidateItemRect(r.left, r.top, r.right, r.bottom, false);
  }
  return added;
}

void CSkinWindow::Forget(CSkinWindowItem* item) {
  // The window may still point at the item it is about to delete.
  if (item == _capture_item) EndCaptureLostAtCursor();
  if (item == _capture_item) _capture_item = nullptr;
  if (item == _hover_item) _hover_item = nullptr;
  if (item == _focus_item) _focus_item = nullptr;
  if (item == _tooltip_item) _tooltip_item = nullptr;
  RemoveTool(item);
}

CSkinWindowItem* CSkinWindow::FindItem(int id) {
  for (auto it = _items.rbegin(); it != _items.rend(); ++it)
    if ((*it)->Id() == id) return it->get();
  return nullptr;
}

void CSkinWindow::DeleteItems() {
  for (const auto& item : _items) Forget(item.get());
  _items.clear();
  _capture_item = _hover_item = _focus_item = _tooltip_item = nullptr;
  _capture_left = true;
}

bool CSkinWindow::ClickItem(int id) {
  CSkinWindowItem* item = FindItem(id);
  if (!item || !IsCreated() || !IsWindowEnabled(Handle()) || !item->IsEnabled()) return false;
  return lib::wfc::PostCommand(Handle(), static_cast<UINT>(id));
}

CSkinWindowItem* CSkinWindow::ItemAt(POINT pt) const {
  for (auto it = _items.rbegin(); it != _items.rend(); ++it) {
    const CSkinWindowItem& item = **it;
    if (item.IsVisible() && item.HitTest() && InRect(item.Rect(), pt)) return it->get();
  }
  return nullptr;
}

CSkinWindowItem* CSkinWindow::ToolTipItemAt(POINT pt) const {
  for (auto it = _items.rbegin(); it != _items.rend(); ++it) {
    const CSkinWindowItem& item = **it;
    if (item.IsVisible() && item.GetToolState() != ToolState::kNone && InRect(item.Rect(), pt))
      return it->get();
  }
  return nullptr;
}

// Accessor

bool CSkinWindow::IsCreated() { return Handle() != nullptr && IsWindow(Handle()); }

bool CSkinWindow::IsDrawable() { return IsCreated() && _back && *_back; }

void* CSkinWindow::GetItemResource(int) { return nullptr; }

bool CSkinWindow::Notify(int id, int code, int) {
  if (code != 0) return false;
  PostMessageA(WM_COMMAND, MAKEWPARAM(id, 1), 0);
  return true;
}

bool CSkinWindow::ForwardKey(UINT key, UINT flags) {
  if (!IsForwardedKey(key, flags)) return false;
  PostMessageA(WM_KEYDOWN, key, flags);
  return true;
}

LRESULT CSkinWindow::SendMessageToWindow(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::SendMessageA(Handle(), message, wparam, lparam);
}

bool CSkinWindow::SetRedrawLock(bool lock) {
  const bool previous = _redraw_locked;
  _redraw_locked = lock;
  if (!lock && IsCreated()) UpdateWindow();
  return previous;
}

// Drawing

void CSkinWindow::DrawBackground(int x, int y, lib::wfc::CDIB& back, const lib::wfc::CDIB* base,
                                 const RECT* clip) {
  if (!base) return;
  const RECT src = GetBaseImageRect();
  std::unique_ptr<CNarrowClip> narrowed;
  if (clip) narrowed = std::make_unique<CNarrowClip>(back, *clip);
  back.BlitKeyed(x, y, src.right - src.left, src.bottom - src.top, *base, src.left, src.top,
                 lib::wfc::kNoKey);
}

void CSkinWindow::RenderAll() {
  {
    CItemPicture base(GetBaseImageName());
    DrawBackground(0, 0, *_back, base.Get(), nullptr);
  }
  for (const auto& item : _items)
    if (item->IsVisible()) item->Draw();
}

void CSkinWindow::RebuildRegion(int cx, int cy) {
  _region = lib::wfc::CreateRegionFromDIB(*_back, 0, 0, cx, cy, lib::wfc::kMagenta);
}

bool CSkinWindow::ResizeBuffers(UINT, int cx, int cy) {
  cx = std::max(cx, 1);
  cy = std::max(cy, 1);
  auto buffer = std::make_unique<lib::wfc::CDIB>();
  if (IsCreated()) {
    lib::wfc::CClientDC dc(Handle());
    buffer->Create(dc, cx, cy);
  } else {
    buffer->Create(nullptr, cx, cy);
  }
  _back = std::move(buffer);
  RenderAll();
  RebuildRegion(cx, cy);
  UpdateToolRects();
  return true;
}

void CSkinWindow::InvalidateItemRect(int left, int top, int right, int bottom, bool) {
  if (!IsDrawable()) return;
  CRedrawHold hold(this);
  const RECT rect = {left, top, right, bottom};
  CNarrowClip clip(*_back, rect);
  RECT grown = rect;
  for (const auto& item : _items) {
    const RECT r = item->Rect();
    if (item->IsVisible() && Overlaps(r, grown)) UnionRect(&grown, &grown, &r);
  }
  {
    CItemPicture base(GetBaseImageName());
    DrawBackground(0, 0, *_back, base.Get(), &grown);
  }
  for (const auto& item : _items)
    if (item->IsVisible() && Overlaps(item->Rect(), grown)) item->Draw();
  InvalidateRect(&rect, false);
}

// Tooltips

void CSkinWindow::AddToolTip(CSkinWindowItem* item) {
  if (!IsDrawable() || !_tooltip || !item) return;
  TOOLINFOA& tool = item->ToolRecord();
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = Handle();
  tool.uId = static_cast<UINT_PTR>(item->Id());
  tool.rect = item->Rect();
  tool.hinst = lib::wfc::GetInstanceHandle();
  switch (item->GetToolState()) {
    case ToolState::kAdd:
      ::SendMessageA(_tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
      ::SendMessageA(_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
      item->SetToolState(ToolState::kAdded);
      break;
    case ToolState::kAdded:
      ::SendMessageA(_tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
      ::SendMessageA(_tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
      break;
    case ToolState::kRemove:
      ::SendMessageA(_tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
      break;
    case ToolState::kNone:
      break;
  }
}

void CSkinWindow::RemoveTool(CSkinWindowItem* item) {
  if (!_tooltip || item->GetToolState() != ToolState::kAdded) return;
  ::SendMessageA(_tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&item->ToolRecord()));
  item->SetToolState(ToolState::kAdd);
}

void CSkinWindow::UpdateToolRects() {
  for (const auto& item : _items) {
    item->ToolRecord().rect = item->Rect();
    AddToolTip(item.get());
  }
}

void CSkinWindow::RefreshToolTips() {
  for (const auto& item : _items) {
    if (item->GetToolState() == ToolState::kNone) continue;
    if (item->IsVisible()) {
      if (item->GetToolState() != ToolState::kAdded) item->SetToolState(ToolState::kAdd);
    } else {
      item->SetToolState(ToolState::kRemove);
    }
  }
  UpdateToolRects();
}

bool CSkinWindow::OnNotify(UINT id, NMHDR* header, LRESULT* result) {
  if (header && header->code == TTN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->szText[0] = '\0';
    if (_tooltip_item && _tooltip_item->IsEnabled()) {
      const std::string text = _tooltip_item->GetText();
      if (!text.empty()) {
        CopyTipText(text, info->szText);
        info->lpszText = info->szText;
      }
    }
    *result = 0;
    return true;
  }
  return CRegionWindow::OnNotify(id, header, result);
}

// Life

bool CSkinWindow::OnCreate(CREATESTRUCTA* cs) {
  if (!CRegionWindow::OnCreate(cs)) return false;
  if (_font) SendMessageA(WM_SETFONT, reinterpret_cast<WPARAM>(_font.Get()), FALSE);
  const SIZE client = ClientSize();
  ResizeBuffers(0, client.cx, client.cy);
  for (const auto& item : _items) item->CreateChild(Handle(), 0, 0);
  if (_focus_item) _focus_item->OnSetFocus();
  _tooltip = lib::wfc::CreatePlainWindowA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0);
  ::SendMessageA(_tooltip, TTM_SETMAXTIPWIDTH, 0, 640);
  UpdateToolRects();
  _activator.Attach(_tooltip, false);
  if (_font) ::SendMessageA(_tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(_font.Get()), FALSE);
  SetTimer(kTickTimer, kTickMs);
  if (_use_region) {
    RebuildRegion(_back->Width(), _back->Height());
    ApplyRegion(_region.Get());
  }
  return true;
}

void CSkinWindow::OnDestroy() {
  Default();
  KillTimer(kTickTimer);
  if (_tooltip) ::DestroyWindow(_tooltip);
  _tooltip = nullptr;
  for (const auto& item : _items)
    if (item->GetToolState() == ToolState::kAdded) item->SetToolState(ToolState::kAdd);
  _activator.Stop();
  _back.reset();
  _region.Reset();
}

void CSkinWindow::OnSize(UINT type, int cx, int cy) {
  CRedrawHold hold(this);
  if (ResizeBuffers(type, cx, cy) && _use_region) {
    ApplyRegion(_region.Get());
    UpdateWindow();
  }
  Default();
}

void CSkinWindow::Rebuild() {
  CRedrawHold hold(this);
  OnBeforeRebuild();
  const SIZE client = ClientSize();
  ResizeBuffers(0, client.cx, client.cy);
  if (_use_region) ApplyRegion(_region.Get());
  InvalidateItemRect(0, 0, client.cx, client.cy, true);
}

SIZE CSkinWindow::ClientSize() const {
  RECT r = {0, 0, 0, 0};
  if (Handle()) GetClientRect(&r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void CSkinWindow::OnPaint() {
  lib::wfc::CPaintDC paint(Handle());
  if (!_back || !*_back) return;
  lib::wfc::CMemDC memory(paint);
  lib::wfc::CDCStateSaver saver(memory);
  saver.SelectObject(0, _back->Get());
  const RECT& r = paint.Paint().rcPaint;
  BitBlt(paint, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, r.left, r.top, SRCCOPY);
}

bool CSkinWindow::OnEraseBkgnd(HDC) { return false; }

void CSkinWindow::OnDisplayChange(UINT, int, int) {}

void CSkinWindow::OnCommand(UINT id, UINT code, HWND control) {
  // A child control of an item took the focus (a click or Tab): that item is
  // the one to give it back to when the window is activated again.
  if (control && code == EN_SETFOCUS) {
    CSkinWindowItem* item = FindItem(static_cast<int>(id));
    if (item && item != _focus_item) SetFocusItem(item);
  }
  Default();
}

// Messages every one of which the focus item sees first.

LRESULT CSkinWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (_focus_item) {
    LRESULT result = 0;
    if (_focus_item->OnWindowMessage(message, wparam, lparam, &result)) return result;
  }
  if (message == SkinWindowInternalMessage() && wparam == 0) Rebuild();
  const bool hiding = message == WM_SHOWWINDOW && wparam == FALSE;
  if ((message == WM_ACTIVATE && LOWORD(wparam) == WA_INACTIVE) || hiding) {
    if (_tooltip) ::SendMessageA(_tooltip, TTM_POP, 0, 0);
  }
  if ((message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE) || hiding) {
    if (HoldsCapture() && _capture_item) EndCaptureLostAtCursor();
  }
  return CRegionWindow::WindowProc(message, wparam, lparam);
}

// Mouse

bool CSkinWindow::HoldsCapture() const { return Handle() && GetCapture() == Handle(); }

void CSkinWindow::OnMouseMove(UINT, int x, int y) {
  const POINT pt = {x, y};
  _activator.PointerMoved(x, y);
  if (HoldsCapture() && _capture_item) {
    _capture_item->OnMouseMove(Relative(*_capture_item, pt));
  } else {
    CSkinWindowItem* item = ItemAt(pt);
    if (item != _hover_item && _hover_item) _hover_item->OnMouseLeave();
    _hover_item = item;
    if (item) item->OnMouseMove(Relative(*item, pt));
    _tooltip_item = ToolTipItemAt(pt);
    TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, Handle(), HOVER_DEFAULT};
    TrackMouseEvent(&track);
  }
  Default();
}

void CSkinWindow::TakeCapture(CSkinWindowItem* item, bool left) {
  SetCapture(Handle());
  _capture_item = item;
  _capture_left = left;
}

void CSkinWindow::SetFocusItem(CSkinWindowItem* item) {
  if (item == _focus_item) return;
  if (_focus_item) _focus_item->OnKillFocus();
  _focus_item = item;
  if (item) item->OnSetFocus();
}

void CSkinWindow::ButtonDown(POINT pt, bool left, bool double_click) {
  if (double_click) {
    if (HoldsCapture() && _capture_item) EndCapture(pt, false);
    CSkinWindowItem* item = ItemAt(pt);
    if (!item) return;
    const POINT rel = Relative(*item, pt);
    if (left ? item->OnLButtonDblClk(rel) : item->OnRButtonDblClk(rel)) TakeCapture(item, left);
    return;
  }
  ::SetFocus(Handle());
  if (HoldsCapture()) return;
  CSkinWindowItem* item = ItemAt(pt);
  if (!item) return;
  const POINT rel = Relative(*item, pt);
  if (left ? item->OnLButtonDown(rel) : item->OnRButtonDown(rel)) TakeCapture(item, left);
  SetFocusItem(item);
  _hover_item = item;
}

void CSkinWindow::ButtonUp(POINT pt, bool left) {
  if (HoldsCapture() && _capture_item) {
    EndCapture(pt, false);
    return;
  }
  CSkinWindowItem* item = ItemAt(pt);
  if (!item) return;
  const POINT rel = Relative(*item, pt);
  if (left)
    item->OnLButtonUp(rel);
  else
    item->OnRButtonUp(rel);
}

void CSkinWindow::EndCapture(POINT pt, bool lost) {
  CSkinWindowItem* item = _capture_item;
  const bool left = _capture_left;
  // Cleared first: releasing sends WM_CAPTURECHANGED back here.
  _capture_item = nullptr;
  if (HoldsCapture()) ReleaseCapture();
  OnCaptureEnded();
  if (!item) return;
  const POINT rel = Relative(*item, pt);
  if (left) {
    if (lost)
      item->OnLButtonCancel(rel);
    else
      item->OnLButtonUp(rel);
  } else {
    if (lost)
      item->OnRButtonCancel(rel);
    else
      item->OnRButtonUp(rel);
  }
}

void CSkinWindow::EndCaptureLostAtCursor() {
  POINT pt = {0, 0};
  GetCursorPos(&pt);
  if (Handle()) ScreenToClient(&pt);
  EndCapture(pt, true);
}

void CSkinWindow::OnLButtonDown(UINT, int x, int y) {
  ButtonDown(POINT{x, y}, true, false);
  Default();
}
void CSkinWindow::OnLButtonUp(UINT, int x, int y) {
  ButtonUp(POINT{x, y}, true);
  Default();
}
void CSkinWindow::OnLButtonDblClk(UINT, int x, int y) {
  ButtonDown(POINT{x, y}, true, true);
  Default();
}
void CSkinWindow::OnRButtonDown(UINT, int x, int y) {
  ButtonDown(POINT{x, y}, false, false);
  Default();
}
void CSkinWindow::OnRButtonUp(UINT, int x, int y) {
  ButtonUp(POINT{x, y}, false);
  Default();
}
void CSkinWindow::OnRButtonDblClk(UINT, int x, int y) {
  ButtonDown(POINT{x, y}, false, true);
  Default();
}

void CSkinWindow::OnCaptureChanged(HWND gaining) {
  if (_capture_item && gaining != Handle()) EndCaptureLostAtCursor();
  Default();
}

void CSkinWindow::OnMouseLeave() {
  if (_hover_item) {
    CSkinWindowItem* item = _hover_item;
    _hover_item = nullptr;
    item->OnMouseLeave();
  }
  Default();
}

void CSkinWindow::OnNcMouseMove(UINT, int x, int y) {
  POINT pt = {x, y};
  ScreenToClient(&pt);
  WPARAM keys = 0;
  if (GetKeyState(VK_LBUTTON) < 0) keys |= MK_LBUTTON;
  if (GetKeyState(VK_RBUTTON) < 0) keys |= MK_RBUTTON;
  if (GetKeyState(VK_MBUTTON) < 0) keys |= MK_MBUTTON;
  if (GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
  SendMessageA(WM_MOUSEMOVE, keys, MAKELPARAM(pt.x, pt.y));
  Default();
}

bool CSkinWindow::OnSetCursor(LPARAM) {
  POINT pt = {0, 0};
  GetCursorPos(&pt);
  ScreenToClient(&pt);
  CSkinWindowItem* item = ItemAt(pt);
  if (item && item->OnSetCursor(Relative(*item, pt))) return true;
  return Default() != 0;
}

LRESULT CSkinWindow::OnNcHitTest(int x, int y) {
  const LRESULT hit = Default();
  POINT pt = {x, y};
  ScreenToClient(&pt);
  if (hit == HTCLIENT && !ItemAt(pt) && pt.y < _caption_height) return HTCAPTION;
  return hit;
}

// Keyboard and focus

void CSkinWindow::OnKeyDown(UINT key, UINT) {
  if (key == VK_RETURN || key == VK_ESCAPE) OnAcceptOrCancel(-1, key == VK_RETURN);
  Default();
}

void CSkinWindow::OnSetFocus(HWND) {
  if (_focus_item) _focus_item->OnSetFocus();
  Default();
}

void CSkinWindow::OnKillFocus(HWND) {
  if (_focus_item) _focus_item->OnKillFocus();
  Default();
}

void CSkinWindow::OnTimer(UINT_PTR id) {
  if (id != kTickTimer) {
    Default();
    return;
  }
  const DWORD tick = GetTickCount();
  for (size_t i = 0; i < _items.size(); ++i) _items[i]->OnTick(tick);
  _activator.Check();
}

}  // namespace ui

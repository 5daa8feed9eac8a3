#include "FoldOutMenu.h"

#include <algorithm>
#include <cstdio>

#include "CoreMessages.h"
#include "MainResource.h"
#include "SkinException.h"
#include "SkinValues.h"
#include "SkinWindowItemButton.h"

namespace ui {

namespace {

// Slide ticks: short enough that the menu is out in a few frames.
constexpr UINT kSlideMs = 15;
constexpr UINT kFadeMs = 20;

std::string Key(const char* name, int main) {
  char key[64];
  std::snprintf(key, sizeof key, "%s.%d", name, main);
  return key;
}

std::string Key(const char* name, int main, int sub) {
  char key[64];
  std::snprintf(key, sizeof key, "%s.%d.%d", name, main, sub);
  return key;
}

const std::string& SectionName(const SkinSection& menu, const std::string& key) {
  const SkinValues& values = menu.GetValues(key);
  if (values.empty()) ThrowSkinException(key + " has no value");
  return values[0];
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

UINT SDChangeMessage() {
  static const UINT message = RegisterOvMessage(kMsgSDChange);
  return message;
}

}  // namespace

CMenuWindow::CMenuWindow() { SetResizingEnabled(false); }

CMenuWindow::~CMenuWindow() {
  _subs.clear();
  if (Handle()) DestroyWindow();
}

std::vector<CMenuWindow::Entry> CMenuWindow::ReadEntries(const SkinDefinition& definition,
                                                         bool (*needs_card)(int, int)) {
  const SkinSection menu = definition.GetSection("MenuWindow");
  const int count = IntFromValues(menu, "MenuCount", 0);
  std::vector<Entry> entries;
  for (int main = 0; main < count; ++main) {
    Entry entry;
    entry.section = definition.GetSection(SectionName(menu, Key("MainButton", main)));
    entry.needs_card = needs_card && needs_card(main, -1);
    const int subs = IntFromValues(menu, Key("SubButtonCount", main), 0);
    for (int sub = 0; sub < subs; ++sub) {
      Entry child;
      child.section = definition.GetSection(SectionName(menu, Key("SubButton", main, sub)));
      child.needs_card = needs_card && needs_card(main, sub);
      entry.subs.push_back(std::move(child));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

void CMenuWindow::Create(HWND owner, UINT click_message, UINT hover_message,
                         const std::vector<Entry>& entries, int index, int direction,
                         int sub_direction) {
  _owner = owner;
  _click_message = click_message;
  _hover_message = hover_message;
  _index = index;
  _direction = direction;
  const SkinDefinition definition = SkinDefinition::Load("MenuWindow.txt");
  LoadBase(definition.GetSection(Horizontal() ? "Base_Horizontal" : "Base_Vertical"));
  const SkinSection padding = definition.GetSection(Key("MenuWindow", index));
  _padding.left = IntFromValues(padding, "LeftPadding", 0);
  _padding.right = IntFromValues(padding, "RightPadding", 0);
  _padding.top = IntFromValues(padding, "TopPadding", 0);
  _padding.bottom = IntFromValues(padding, "BottomPadding", 0);
  _padding.border = IntFromValues(padding, "BorderPadding", 0);
  LayOut(entries);
  SetLayoutSize(_size);

  CWindow::Create(WS_EX_TOOLWINDOW, nullptr, "Ostrovelle Menu", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                  _size.cx, _size.cy, owner);
  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))) {
    SetIcon(icon, true);
    SetIcon(icon, false);
  }
  MoveTo(_anchor);

  for (size_t j = 0; j < entries.size(); ++j) {
    std::unique_ptr<CMenuWindow> sub;
    if (!entries[j].subs.empty()) {
      sub.reset(new CMenuWindow);
      sub->Create(owner, click_message, hover_message, entries[j].subs, static_cast<int>(j),
                  sub_direction, sub_direction);
      sub->MoveTo(SubMenuAnchor(j));
    }
    _subs.push_back(std::move(sub));
  }
}

void CMenuWindow::LayOut(const std::vector<Entry>& entries) {
  int x = _padding.left;
  int y = _padding.top;
  int across = 0;  // the largest button across the fold direction
  for (size_t j = 0; j < entries.size(); ++j) {
    CSkinWindowItem* button =
        CreateButton(kFirstButtonId + static_cast<int>(j), entries[j].section);
    button->SetPosition(x, y);
    if (Horizontal()) {
      x += button->Width() + _padding.border;
      across = std::max(across, button->Height());
    } else {
      y += button->Height() + _padding.border;
      across = std::max(across, button->Width());
    }
    _buttons.push_back(button);
    _needs_card.push_back(entries[j].needs_card);
  }
  const int gaps = entries.empty() ? 0 : _padding.border;
  if (Horizontal()) {
    _size.cx = x - gaps + _padding.right;
    _size.cy = _padding.top + across + _padding.bottom;
  } else {
    _size.cx = _padding.left + across + _padding.right;
    _size.cy = y - gaps + _padding.bottom;
  }
  _size.cx = std::max<LONG>(_size.cx, 1);
  _size.cy = std::max<LONG>(_size.cy, 1);
}

CSkinWindowItem* CMenuWindow::Button(size_t j) const {
  return j < _buttons.size() ? _buttons[j] : nullptr;
}

CMenuWindow* CMenuWindow::SubMenu(size_t j) const {
  return j < _subs.size() ? _subs[j].get() : nullptr;
}

RECT CMenuWindow::ButtonScreenRect(size_t j) const {
  const CSkinWindowItem* button = Button(j);
  if (!button) return RECT{0, 0, 0, 0};
  const RECT r = button->Rect();
  return RECT{_target.left + r.left, _target.top + r.top, _target.left + r.right,
              _target.top + r.bottom};
}

// Where a sub-menu's fixed edge meets its button.
POINT CMenuWindow::SubMenuAnchor(size_t j) const {
  const RECT b = ButtonScreenRect(j);
  const CMenuWindow* sub = SubMenu(j);
  switch (sub ? sub->Direction() : 180) {
    case 0:
      return POINT{b.left, b.top};
    case 90:
      return POINT{b.right, b.top};
    case 270:
      return POINT{b.left, b.top};
    default:
      return POINT{b.left, b.bottom};
  }
}

// The rectangle of no size at the fixed edge, where opening begins.
RECT CMenuWindow::FixedEdgeRect() const {
  RECT r = _target;
  switch (_direction) {
    case 0:
      r.top = r.bottom;
      break;
    case 90:
      r.right = r.left;
      break;
    case 270:
      r.left = r.right;
      break;
    default:
      r.bottom = r.top;
      break;
  }
  return r;
}

void CMenuWindow::MoveTo(POINT screen) {
  _anchor = screen;
  const int w = _size.cx;
  const int h = _size.cy;
  switch (_direction) {
    case 0:
      _target = RECT{screen.x, screen.y - h, screen.x + w, screen.y};
      break;
    case 270:
      _target = RECT{screen.x - w, screen.y, screen.x, screen.y + h};
      break;
    default:
      _target = RECT{screen.x, screen.y, screen.x + w, screen.y + h};
      break;
  }
  // The part showing keeps its extent; only its place follows the anchor.
  const int shown_w = Width(_current);
  const int shown_h = Height(_current);
  _current = FixedEdgeRect();
  switch (_direction) {
    case 0:
      _current.top = _current.bottom - shown_h;
      break;
    case 90:
      _current.right = _current.left + shown_w;
      break;
    case 270:
      _current.left = _current.right - shown_w;
      break;
    default:
      _current.bottom = _current.top + shown_h;
      break;
  }
  if (!_shown) _current = FixedEdgeRect();
  if (_shown && Handle()) Place(_current, false);
  for (size_t j = 0; j < _subs.size(); ++j) {
    if (_subs[j]) _subs[j]->MoveTo(SubMenuAnchor(j));
  }
}

void CMenuWindow::Place(const RECT& r, bool show) {
  UINT flags = SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  if (show) flags |= SWP_SHOWWINDOW;
  SetWindowPos(Handle(), HWND_TOP, r.left, r.top, Width(r), Height(r), flags);
}

void CMenuWindow::SetItemsAlpha(int alpha) {
  _alpha = alpha;
  for (CSkinWindowItem* item : _buttons) {
    if (auto* button = dynamic_cast<CSkinWindowItemButton*>(item)) button->SetAlpha(alpha);
  }
}

void CMenuWindow::StopAnimation() {
  if (!Handle()) return;
  KillTimer(kOpenTimer);
  KillTimer(kCloseTimer);
  _opening = false;
  _closing = false;
}

void CMenuWindow::Open(bool animate) {
  if (!Handle() || (_shown && !_closing)) return;
  StopAnimation();
  if (!_shown) _current = FixedEdgeRect();
  _shown = true;
  if (!animate) {
    KillTimer(kFadeTimer);
    SetItemsAlpha(255);
    _current = _target;
    Place(_current, true);
    UpdateWindow();
    return;
  }
  _opening = true;
  SetItemsAlpha(0);
  SetTimer(kOpenTimer, kSlideMs);
  SetTimer(kFadeTimer, kFadeMs);
  StepOpen();
}

void CMenuWindow::Close(bool animate) {
  if (!Handle()) return;
  // Sub-menus hang off this menu's buttons: they go first, at once.
  for (auto& sub : _subs) {
    if (sub) sub->Close(false);
  }
  if (!_shown || (_closing && animate)) return;
  StopAnimation();
  KillTimer(kFadeTimer);
  SetItemsAlpha(255);
  if (!animate) {
    Hide();
    return;
  }
  _closing = true;
  SetTimer(kCloseTimer, kSlideMs);
  StepClose();
}

void CMenuWindow::Hide() {
  StopAnimation();
  KillTimer(kFadeTimer);
  ShowWindow(SW_HIDE);
  _shown = false;
  _current = FixedEdgeRect();
  // A hidden menu has no pointer over it: let the owner drop the hint.
  if (_hover != -1) {
    _hover = -1;
    ::PostMessageA(_owner, _hover_message, static_cast<WPARAM>(-1), static_cast<LPARAM>(-1));
  }
}

void CMenuWindow::StepOpen() {
  switch (_direction) {
    case 0:
      _current.top = std::max(_current.top - kSlideStep, _target.top);
      break;
    case 90:
      _current.right = std::min(_current.right + kSlideStep, _target.right);
      break;
    case 270:
      _current.left = std::max(_current.left - kSlideStep, _target.left);
      break;
    default:
      _current.bottom = std::min(_current.bottom + kSlideStep, _target.bottom);
      break;
  }
  Place(_current, true);
  if (EqualRect(&_current, &_target)) {
    KillTimer(kOpenTimer);
    _opening = false;
  }
}

void CMenuWindow::StepClose() {
  switch (_direction) {
    case 0:
      _current.top = std::min(_current.top + kSlideStep, _current.bottom);
      break;
    case 90:
      _current.right = std::max(_current.right - kSlideStep, _current.left);
      break;
    case 270:
      _current.left = std::min(_current.left + kSlideStep, _current.right);
      break;
    default:
      _current.bottom = std::max(_current.bottom - kSlideStep, _current.top);
      break;
  }
  if (Width(_current) <= 0 || Height(_current) <= 0) {
    Hide();
    return;
  }
  Place(_current, false);
}

void CMenuWindow::Enable(bool enabled) {
  _enabled = enabled;
  for (auto& sub : _subs) {
    if (sub) sub->Enable(enabled);
  }
}

void CMenuWindow::OnCardChange(char drive) {
  for (size_t j = 0; j < _buttons.size(); ++j) {
    if (_needs_card[j]) _buttons[j]->SetEnabled(drive != 0 && _enabled);
  }
  for (auto& sub : _subs) {
    if (sub) sub->OnCardChange(drive);
  }
}

void CMenuWindow::CloseOtherSubMenus(size_t keep, bool animate) {
  for (size_t j = 0; j < _subs.size(); ++j) {
    if (j != keep && _subs[j] && _subs[j]->_shown) _subs[j]->Close(animate);
  }
}

void CMenuWindow::OpenSubMenu(size_t j) {
  CMenuWindow* sub = SubMenu(j);
  if (!sub || (sub->_shown && !sub->_closing) || _opening || _closing) return;
  CloseOtherSubMenus(j, false);
  sub->MoveTo(SubMenuAnchor(j));
  sub->Open(true);
}

void CMenuWindow::Hover(int j) {
  _hover = j;
  OpenSubMenu(static_cast<size_t>(j));
  ::PostMessageA(_owner, _hover_message, static_cast<WPARAM>(_index), static_cast<LPARAM>(j));
}

bool CMenuWindow::Notify(int id, int code, int value) {
  const int j = id - kFirstButtonId;
  if (j >= 0 && j < static_cast<int>(_buttons.size())) {
    if (code == kReportMouseMove && _hover != j) {
      Hover(j);
      return true;
    }
    if (code == kReportMouseLeave && _hover == j) {
      _hover = -1;
      ::PostMessageA(_owner, _hover_message, static_cast<WPARAM>(-1), static_cast<LPARAM>(-1));
      return true;
    }
  }
  return CResizableSkinWindow::Notify(id, code, value);
}

void CMenuWindow::OnCommand(UINT id, UINT code, HWND control) {
  const int j = static_cast<int>(id) - kFirstButtonId;
  if (j < 0 || j >= static_cast<int>(_buttons.size())) {
    CResizableSkinWindow::OnCommand(id, code, control);
    return;
  }
  if (SubMenu(j)) {
    OpenSubMenu(j);
    return;
  }
  CloseOtherSubMenus(static_cast<size_t>(j), false);
  ::PostMessageA(_owner, _click_message, static_cast<WPARAM>(_index), static_cast<LPARAM>(j));
}

void CMenuWindow::OnTimer(UINT_PTR id) {
  switch (id) {
    case kOpenTimer:
      if (_opening) StepOpen();
      return;
    case kCloseTimer:
      if (_closing) StepClose();
      return;
    case kFadeTimer:
      SetItemsAlpha(std::min(_alpha + kFadeStep, 255));
      if (_alpha >= 255) KillTimer(kFadeTimer);
      return;
    default:
      CResizableSkinWindow::OnTimer(id);
      return;
  }
}

bool CMenuWindow::IsForwardedKey(UINT key, UINT) { return key != VK_ESCAPE; }

void CMenuWindow::OnKeyDown(UINT key, UINT flags) {
  if (key == VK_ESCAPE) return;
  if (_owner) ::PostMessageA(_owner, WM_KEYDOWN, key, flags);
}

LRESULT CMenuWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == SDChangeMessage() && SDChangeMessage() != 0) {
    if (IsSDChangeDrive(wparam)) OnCardChange(static_cast<char>(wparam));
    return 0;
  }
  return CResizableSkinWindow::WindowProc(message, wparam, lparam);
}

void CMenuWindow::OnDestroy() {
  StopAnimation();
  KillTimer(kFadeTimer);
  CResizableSkinWindow::OnDestroy();
}

}  // namespace ui

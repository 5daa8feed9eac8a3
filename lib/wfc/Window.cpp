// Binding of window objects to their handles and the dispatch barrier.
#include "Window.h"

#include <algorithm>

#include "MessageBox.h"
#include "Placement.h"

namespace lib::wfc {

namespace {

// Saves the thread's current message, makes this one current and puts the
// saved one back afterwards, also when a handler throws.
class CDispatchScope final {
 public:
  CDispatchScope(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) : _record(GetThreadRecord()) {
    if (!_record) return;
    _saved = _record->current;
    ++_record->depth;
    _record->current = {hwnd, message, wp, lp, GetMessageTime(), GetMessagePos(), 0};
  }
  ~CDispatchScope() {
    if (!_record) return;
    _record->current = _saved;
    --_record->depth;
  }
  CDispatchScope(const CDispatchScope&) = delete;
  CDispatchScope& operator=(const CDispatchScope&) = delete;

 private:
  ThreadRecord* _record;
  CurrentMessage _saved;
};

}  // namespace

CWindow::~CWindow() {
  // The window normally went first; a window still alive must no longer
  // reach this object.
  if (_hwnd && IsWindow(_hwnd)) Detach();
}

LRESULT CALLBACK CWindow::FrameworkProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  } else if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, lp);
  }
  auto* self = reinterpret_cast<CWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wp, lp);
  if (!self->_hwnd) self->_hwnd = hwnd;
  return self->Dispatch(hwnd, message, wp, lp);
}

LRESULT CWindow::Dispatch(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  try {
    CDispatchScope scope(hwnd, message, wp, lp);
    if (message == WM_INITDIALOG) CenterWindow(nullptr);
    if (message == WM_DESTROY) EnableIME(true);
    result = WindowProc(message, wp, lp);
  } catch (const std::exception& e) {
    LogEscapedException(e.what());
    result = message == WM_CREATE ? -1 : 0;
  } catch (...) {
    LogEscapedException("unknown exception");
    result = message == WM_CREATE ? -1 : 0;
  }
  if (message == WM_NCDESTROY) Detach();
  return result;
}

HWND CWindow::Create(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu) {
  const HWND hwnd =
      CreateWindowExA(ex_style, class_name ? class_name : kDefaultWindowClass, title, style, x, y,
                      width, height, parent, menu, GetInstanceHandle(), this);
  if (!hwnd) throw bad_alloc();
  return hwnd;
}

HWND CWindow::Create(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x,
                     int y, int width, int height) {
  return Create(ex_style, class_name, title, style, x, y, width, height, nullptr, nullptr);
}

LRESULT CALLBACK CWindow::FrameworkProcW(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  // Only attached windows get here: the object is bound already.
  auto* self = reinterpret_cast<CWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wp, lp);
  return self->Dispatch(hwnd, message, wp, lp);
}

void CWindow::Attach(HWND hwnd) {
  _wide = false;
  _previous_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkProc));
  _hwnd = hwnd;
}

void CWindow::AttachWide(HWND hwnd) {
  _wide = true;
  _previous_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkProcW));
  _hwnd = hwnd;
}

HWND CWindow::Detach() {
  EnableIME(true);
  if (_hwnd && _previous_proc) {
    if (_wide)
      SetWindowLongPtrW(_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(_previous_proc));
    else
      SetWindowLongPtrA(_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(_previous_proc));
  }
  if (_hwnd) SetWindowLongPtrA(_hwnd, GWLP_USERDATA, 0);
  _previous_proc = nullptr;
  _wide = false;
  const HWND hwnd = _hwnd;
  _hwnd = nullptr;
  return hwnd;
}

HWND CWindow::GetTopLevelParent() { return GetTopLevelWindow(_hwnd); }

LRESULT CWindow::Default() {
  if (!_hwnd) return 0;
  const ThreadRecord* record = GetThreadRecord();
  if (!record) return 0;
  const CurrentMessage& m = record->current;
  return CallPreviousProc(m.message, m.wparam, m.lparam);
}

LRESULT CWindow::CallPreviousProc(UINT message, WPARAM wp, LPARAM lp) {
  if (!_hwnd) return 0;
  if (_wide) {
    if (_previous_proc) return CallWindowProcW(_previous_proc, _hwnd, message, wp, lp);
    return DefWindowProcW(_hwnd, message, wp, lp);
  }
  if (_previous_proc) return CallWindowProcA(_previous_proc, _hwnd, message, wp, lp);
  return DefWindowProcA(_hwnd, message, wp, lp);
}

void CWindow::OnActivate(UINT state, HWND other) {
  ActivationSync sync = {state != WA_INACTIVE, other};
  ::SendMessageA(_hwnd, InternalMessage(), 3, reinterpret_cast<LPARAM>(&sync));
  Default();
}

void CWindow::OnEnable(bool enabled) {
  ::SendMessageA(_hwnd, InternalMessage(), 4, enabled);
  Default();
}

LRESULT CWindow::OnInternal(WPARAM command, LPARAM argument) {
  switch (command) {
    case 0: {
      const auto* inner = reinterpret_cast<const ReflectedMessage*>(argument);
      if (inner->message == WM_DRAWITEM)
        return OnReflectedDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(inner->lparam));
      if (inner->message == WM_MEASUREITEM)
        return OnReflectedMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(inner->lparam));
      return 0;
    }
    case 1:
      _linked.push_back(reinterpret_cast<HWND>(argument));
      return 0;
    case 2: {
      const auto it = std::find(_linked.begin(), _linked.end(), reinterpret_cast<HWND>(argument));
      if (it != _linked.end()) _linked.erase(it);
      return 0;
    }
    case 3: {
      const auto* sync = reinterpret_cast<const ActivationSync*>(argument);
      std::vector<HWND> all = _linked;
      all.push_back(_hwnd);
      const bool among = std::find(all.begin(), all.end(), sync->other) != all.end();
      for (const HWND w : all) ::SendMessageA(w, WM_NCACTIVATE, among ? TRUE : sync->active, 0);
      return 0;
    }
    case 4:
      for (const HWND w : _linked) ::EnableWindow(w, argument != 0);
      return 0;
    default:
      return 0;
  }
}

std::string CWindow::GetWindowTextA() const {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(_hwnd)) + 1, '\0');
  text.resize(static_cast<size_t>(::GetWindowTextA(_hwnd, &text[0], (int)text.size())));
  return text;
}

std::wstring CWindow::GetWindowTextW() const {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(_hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(_hwnd, &text[0], (int)text.size())));
  return text;
}

int CWindow::MessageBox(const char* text, UINT type) {
  return lib::wfc::MessageBox(_hwnd, text, type);
}

void CWindow::CenterWindow(HWND other) { lib::wfc::CenterWindow(_hwnd, other); }

void CWindow::EnableIME(bool enable) {
  if (!IsWindow(_hwnd)) return;
  if (!enable) {
    if (!_saved_ime) _saved_ime = ImmAssociateContext(_hwnd, nullptr);
  } else if (_saved_ime) {
    ImmAssociateContext(_hwnd, _saved_ime);
    _saved_ime = nullptr;
  }
}

bool PostCommand(HWND window, UINT id) {
  return ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 1), 0) != FALSE;
}

HWND CreatePlainWindowA(DWORD ex_style, const char* class_name, const char* title, DWORD style,
                        int x, int y, int w, int h, HWND parent, UINT_PTR id) {
  const HWND hwnd = CreateWindowExA(ex_style, class_name, title, style, x, y, w, h, parent,
                                    reinterpret_cast<HMENU>(id), GetInstanceHandle(), nullptr);
  if (!hwnd) throw bad_alloc();
  return hwnd;
}

HWND CreatePlainWindowW(DWORD ex_style, const wchar_t* class_name, const wchar_t* title,
                        DWORD style, int x, int y, int w, int h, HWND parent, UINT_PTR id) {
  const HWND hwnd = CreateWindowExW(ex_style, class_name, title, style, x, y, w, h, parent,
                                    reinterpret_cast<HMENU>(id), GetInstanceHandle(), nullptr);
  if (!hwnd) throw bad_alloc();
  return hwnd;
}

}  // namespace lib::wfc

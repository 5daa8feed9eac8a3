// Device-context owners and the state saver.
#include "DC.h"

#include <new>

#include "_WindowPolicy.h"

namespace lib::wfc {

int CDC::DrawTextA(const char* text, RECT* rect, UINT format) {
  return ::DrawTextA(_dc, text, -1, rect, format | DT_NOPREFIX);
}

int CDC::DrawTextW(const wchar_t* text, RECT* rect, UINT format) {
  return ::DrawTextW(_dc, text, -1, rect, format | DT_NOPREFIX);
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
  const HGDIOBJ previous = ::SelectObject(_dc, object);
  if (!previous || previous == HGDI_ERROR) throw bad_alloc();
  return previous;
}

namespace {
HDC MakeMemDC(HDC compatible) {
  const HDC dc = ::CreateCompatibleDC(compatible);
  if (!dc) throw bad_alloc();
  return dc;
}
HDC WindowDC(HWND window) {
  const HDC dc = ::GetDC(window);
  if (!dc) throw bad_alloc();
  return dc;
}
}  // namespace

CMemDC::CMemDC(HDC compatible) : CDC(MakeMemDC(compatible)) {}
CMemDC::~CMemDC() { ::DeleteDC(_dc); }

CClientDC::CClientDC(HWND window) : CDC(WindowDC(window)), _window(window) {}
CClientDC::~CClientDC() { ::ReleaseDC(_window, _dc); }

CPaintDC::CPaintDC(HWND window) : CDC(nullptr), _window(window), _paint() {
  _dc = ::BeginPaint(window, &_paint);
  if (!_dc) throw std::bad_alloc();
}
CPaintDC::~CPaintDC() { ::EndPaint(_window, &_paint); }

void CDCStateSaver::SetBkMode(int mode) {
  const int previous = ::SetBkMode(_dc.Get(), mode);
  if (!_saved_mode && previous != 0) {
    _saved_mode = true;
    _mode = previous;
  }
}

void CDCStateSaver::SetTextColor(COLORREF colour) {
  const COLORREF previous = ::SetTextColor(_dc.Get(), colour);
  if (!_saved_colour && previous != CLR_INVALID) {
    _saved_colour = true;
    _colour = previous;
  }
}

void CDCStateSaver::SelectObject(int slot, HGDIOBJ object) {
  if (slot < 0 || slot >= kSlots) throw bad_alloc();
  const HGDIOBJ previous = _dc.SelectObject(object);
  if (!_objects[slot]) _objects[slot] = previous;
}

void CDCStateSaver::Restore() {
  // Selections go back newest slot first, the opposite order of a typical
  // font-then-bitmap setup.
  for (int slot = kSlots - 1; slot >= 0; --slot) {
    if (_objects[slot]) ::SelectObject(_dc.Get(), _objects[slot]);
    _objects[slot] = nullptr;
  }
  if (_saved_colour) ::SetTextColor(_dc.Get(), _colour);
  if (_saved_mode) ::SetBkMode(_dc.Get(), _mode);
  _saved_colour = false;
  _saved_mode = false;
}

}  // namespace lib::wfc

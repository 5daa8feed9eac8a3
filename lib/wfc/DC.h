// Device contexts: one owner per way of getting a DC (memory, client, paint),
// all sharing CDC's drawing calls, and a saver that puts back whatever it
// changed in a memory DC. A DC belongs to the thread that made it.
#pragma once

#include <string>

#include "OvWindows.h"

namespace lib::wfc {

// The calls every kind of DC offers; the derived class owns the DC.
class CDC {
 public:
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC Get() const { return _dc; }
  operator HDC() const { return _dc; }

  // The whole zero-terminated text, the caller's format plus DT_NOPREFIX.
  int DrawTextA(const char* text, RECT* rect, UINT format);
  int DrawTextW(const wchar_t* text, RECT* rect, UINT format);
  // The object it replaced; throws bad_alloc when the selection fails.
  HGDIOBJ SelectObject(HGDIOBJ object);

 protected:
  explicit CDC(HDC dc) : _dc(dc) {}
  ~CDC() = default;

  HDC _dc;
};

// CreateCompatibleDC of a DC, or of the screen without one; DeleteDC.
class CMemDC final : public CDC {
 public:
  // Throws bad_alloc when no DC can be made.
  explicit CMemDC(HDC compatible = nullptr);
  ~CMemDC();
};

// GetDC of a window; ReleaseDC.
class CClientDC final : public CDC {
 public:
  // Throws bad_alloc when the window gives no DC.
  explicit CClientDC(HWND window);
  ~CClientDC();

 private:
  HWND _window;  // not owned
};

// BeginPaint of a window; EndPaint.
class CPaintDC final : public CDC {
 public:
  // Throws std::bad_alloc when painting cannot begin.
  explicit CPaintDC(HWND window);
  ~CPaintDC();

  const PAINTSTRUCT& Paint() const { return _paint; }

 private:
  HWND _window;  // not owned
  PAINTSTRUCT _paint;
};

// Remembers the first background mode and text colour it changed and, per
// selection slot, the object first replaced there; Restore (or the
// destructor) puts them all back.
class CDCStateSaver final {
 public:
  static constexpr int kSlots = 4;

  explicit CDCStateSaver(CMemDC& dc) : _dc(dc) {}
  ~CDCStateSaver() { Restore(); }
  CDCStateSaver(const CDCStateSaver&) = delete;
  CDCStateSaver& operator=(const CDCStateSaver&) = delete;

  void SetBkMode(int mode);
  void SetTextColor(COLORREF colour);
  // Throws bad_alloc when the selection fails (nothing is remembered then).
  void SelectObject(int slot, HGDIOBJ object);
  void Restore();

 private:
  CMemDC& _dc;  // not owned
  bool _saved_mode = false;
  int _mode = 0;
  bool _saved_colour = false;
  COLORREF _colour = 0;
  HGDIOBJ _objects[kSlots] = {};  // not owned: what the DC held before
};

}  // namespace lib::wfc

// The tests' result window; see MusicTestWindow.h.
#include "MusicTestWindow.h"

#include <string>

#include "Folders.h"
#include "Handle.h"
#include "MusicFileThread.h"
#include "TestSupport.h"

namespace musicmanualtest {

namespace {

constexpr char kClass[] = "OvMusicTestResultWindow";

}  // namespace

CResultWindow::CResultWindow() : _message(RegisterWindowMessageA(kMsgMusicManual)) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassExA(&wc);
  _hwnd = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CResultWindow::~CResultWindow() {
  if (!_hwnd) return;
  SetWindowLongPtrA(_hwnd, GWLP_USERDATA, 0);
  DestroyWindow(_hwnd);
  // Requests still posted to the window are freed here, as the window's
  // close would.
  MSG msg;
  while (PeekMessageA(&msg, _hwnd, _message, _message, PM_REMOVE)) {
    CMusicFileThreadRequest::Adopt(msg.wParam, msg.lParam);
  }
}

LRESULT CALLBACK CResultWindow::Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<CResultWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self || message != self->_message) return DefWindowProcA(hwnd, message, wp, lp);
  Posted posted;
  posted.code = wp;
  posted.value = lp;
  if (wp != kMusicManualProgress) {
    posted.request = CMusicFileThreadRequest::Adopt(wp, lp);
    if (!posted.request) {
      ++self->_refused;
      return 0;
    }
  }
  self->_posted.push_back(std::move(posted));
  return 0;
}

bool CResultWindow::PumpUntil(const std::function<bool()>& done, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    Drain();
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= limit_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, limit_ms - spent, QS_ALLINPUT);
  }
}

bool CResultWindow::WaitResult(WPARAM kind, DWORD limit_ms) {
  return PumpUntil([&] { return !Results(kind).empty(); }, limit_ms);
}

void CResultWindow::Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::vector<Posted> CResultWindow::Results(WPARAM kind) const {
  std::vector<Posted> out;
  for (const Posted& p : _posted) {
    if (p.code == kind) out.push_back(p);
  }
  return out;
}

std::vector<int> CResultWindow::Percentages() const {
  std::vector<int> out;
  for (const Posted& p : _posted) {
    if (p.code == kMusicManualProgress) out.push_back(static_cast<int>(p.value));
  }
  return out;
}

bool SaveScreenshot(HWND window, const char* name) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const size_t size = static_cast<size_t>(width) * height * 4;
  const std::string pixels(static_cast<const char*>(bits), size);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  bool lit = false;
  for (size_t i = 0; i < size && !lit; i += 4)
    lit = (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + size);
  // The screens folder sits beside the architectures' build folders.
  std::string folder = ovtest::ExecutableFolder();
  RemoveTrailingBackslash(folder);
  for (int i = 0; i < 3; ++i) folder = PathRemoveFileSpec(folder);
  folder += "\\screens\\";
  CreateDirectories(folder);
  const std::string bytes =
      std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
      std::string(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader)) + pixels;
  return ovtest::WriteFileBytes(folder + name + ".bmp", bytes) && lit;
}

}  // namespace musicmanualtest

// The stand-in music manager window; see MusicPlaceholderWindow.h.
#include "MusicPlaceholderWindow.h"

#include "CoreMessages.h"
#include "StringUtil.h"

CMusicPlaceholderWindow::CMusicPlaceholderWindow(const char* title)
    : _title(title), _request_end(RegisterOvMessage(kMsgRequestEnd)) {}

CMusicPlaceholderWindow::~CMusicPlaceholderWindow() {
  if (Handle()) DestroyWindow();
}

void CMusicPlaceholderWindow::SetTarget(char drive, HWND notify) {
  _drive = drive;
  _notify = notify;
}

bool CMusicPlaceholderWindow::CreateMusicWindow() {
  try {
    Create(0, lib::wfc::kDefaultWindowClass, _title.c_str(),
           WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME), CW_USEDEFAULT, CW_USEDEFAULT,
           420, 160);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return Handle() != nullptr;
}

LRESULT CMusicPlaceholderWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == _request_end) {
    PostMessageA(WM_CLOSE);
    return 0;
  }
  return CWindow::WindowProc(message, wparam, lparam);
}

void CMusicPlaceholderWindow::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(Handle(), &paint);
  RECT client;
  GetClientRect(&client);
  FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  const std::string text = FormatString("%s  (%c:)", _title.c_str(), _drive ? _drive : '-');
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(Handle(), &paint);
}

void CMusicPlaceholderWindow::OnDestroy() {
  // The program lives as long as its one window.
  PostQuitMessage(0);
}

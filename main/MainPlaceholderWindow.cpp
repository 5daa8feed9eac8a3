// The stand-in main windows; see MainPlaceholderWindow.h.
#include "MainPlaceholderWindow.h"

#include <vector>

#include "CoreMessages.h"
#include "Log.h"
#include "MapDownloadRequest.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "ProgramStart.h"
#include "StringUtil.h"

const char kLauncherTitle[] = "Ostrovelle";
const char kRegistrationTitle[] = "Ostrovelle UserEntry";

CMainPlaceholderWindow::CMainPlaceholderWindow(const char* title)
    : _title(title),
      _map_download(RegisterOvMessage(kMsgMapDownload)),
      _sd_change(RegisterOvMessage(kMsgSDChange)) {}

CMainPlaceholderWindow::~CMainPlaceholderWindow() {
  if (Handle()) DestroyWindow();
}

bool CMainPlaceholderWindow::IsLauncher() const { return _title == kLauncherTitle; }

bool CMainPlaceholderWindow::CreateMainWindow() {
  if (IsLauncher()) {
    std::vector<char> cards;
    if (FindDiruSDCards(cards) > 0) _drive = cards[0];
  }
  try {
    Create(0, lib::wfc::kDefaultWindowClass, _title.c_str(),
           WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME), CW_USEDEFAULT, CW_USEDEFAULT,
           420, 160);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return Handle() != nullptr;
}

LRESULT CMainPlaceholderWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (IsLauncher() && message == _map_download) {
    StartMapDownloadCharges(Handle(), _drive, &StartCore);
    return 0;
  }
  if (IsLauncher() && message == _sd_change) {
    if (!IsSDChangeDrive(wparam)) {
      OV_LOG(kLogError, "SD変更通知不正 0x%08X", static_cast<unsigned>(wparam));
      return 0;
    }
    _drive = static_cast<char>(wparam);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    return 0;
  }
  return CWindow::WindowProc(message, wparam, lparam);
}

void CMainPlaceholderWindow::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(Handle(), &paint);
  RECT client;
  GetClientRect(&client);
  FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  const std::string text =
      IsLauncher() ? FormatString("%s  (%c:)", _title.c_str(), _drive ? _drive : '-') : _title;
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(Handle(), &paint);
}

void CMainPlaceholderWindow::OnDestroy() {
  // The program lives as long as its one window.
  PostQuitMessage(0);
}

#include "MainWindowTestSupport.h"

#include <gtest/gtest.h>

#include <iostream>

#include "MessageBoxCapture.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "XvfbScreenshot.h"
#include "_WindowPolicy.h"

namespace maintest {

namespace {

constexpr char kParentClass[] = "OvMainTestRecordingParent";

// The framework's window classes and thread record, once per test process,
// as the program's start-up makes them.
class CWindowEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "Ostrovelle", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  void TearDown() override {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CWindowEnvironment);

bool IsRecorded(UINT message) {
  switch (message) {
    case 0x736:
    case 0x737:
    case 0xA66:
    case 0xB98:
    case 0xB78:
    case 0xB77:
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_SYSCOMMAND:
      return true;
    default:
      return false;
  }
}

}  // namespace

CRecordingParent::CRecordingParent(int x, int y, int width, int height) {
  static const ATOM registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CRecordingParent::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kParentClass;
    return RegisterClassA(&wc);
  }();
  (void)registered;
  _window = CreateWindowExA(0, kParentClass, "recording parent", WS_POPUP | WS_VISIBLE, x, y, width,
                            height, nullptr, nullptr, GetModuleHandleA(nullptr), this);
  UpdateWindow(_window);
}

CRecordingParent::~CRecordingParent() {
  if (_window) {
    SetWindowLongPtrA(_window, GWLP_USERDATA, 0);
    DestroyWindow(_window);
  }
}

RECT CRecordingParent::Rect() const {
  RECT r = {0, 0, 0, 0};
  GetWindowRect(_window, &r);
  return r;
}

std::vector<CRecordingParent::Record> CRecordingParent::Of(UINT message) const {
  std::vector<Record> found;
  for (const Record& r : _records) {
    if (r.message == message) found.push_back(r);
  }
  return found;
}

std::vector<UINT> CRecordingParent::Sequence() const {
  std::vector<UINT> sequence;
  for (const Record& r : _records) sequence.push_back(r.message);
  return sequence;
}

LRESULT CALLBACK CRecordingParent::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<CRecordingParent*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && IsRecorded(message)) self->_records.push_back({message, wparam, lparam});
  if (message == WM_CLOSE) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // Tests beside this one move the shared pointer over their windows.
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    Pump();
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= limit_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, limit_ms - spent, QS_ALLINPUT);
  }
}

void WriteSetting(int auto_update, int notifies_later, const SYSTEMTIME& confirmed) {
  COstrovelleConfig config;
  config.InitSetting(false);
  config.SetLauncherAutoUpdate(auto_update);
  config.SetNotifiesLater(notifies_later);
  config.SetFinalConfirmationDate(confirmed);
  ASSERT_TRUE(config.SaveSetting());
}

std::vector<std::string> BoxTexts(const ovtest::CMessageBoxCapture& boxes) {
  std::vector<std::string> texts;
  for (const ovtest::CapturedBox& box : boxes.Boxes()) {
    std::string bytes(box.text.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(932, 0, box.text.c_str(), static_cast<int>(box.text.size()),
                                      &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(n > 0 ? n : 0);
    texts.push_back(bytes);
  }
  return texts;
}

SYSTEMTIME DaysAgo(int days) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME file_time;
  SystemTimeToFileTime(&now, &file_time);
  ULARGE_INTEGER value;
  value.LowPart = file_time.dwLowDateTime;
  value.HighPart = file_time.dwHighDateTime;
  value.QuadPart -= static_cast<ULONGLONG>(days) * 86400ull * 10000000ull;
  file_time.dwLowDateTime = value.LowPart;
  file_time.dwHighDateTime = value.HighPart;
  SYSTEMTIME then;
  FileTimeToSystemTime(&file_time, &then);
  return then;
}

int ReadLauncherAutoUpdate() {
  COstrovelleConfig config;
  config.LoadSetting();
  return config.GetLauncherAutoUpdate();
}

int ReadNotifiesLater() {
  COstrovelleConfig config;
  config.LoadSetting();
  return config.GetNotifiesLater();
}

void Screenshot(const std::string& name) {
  std::string error;
  if (!ovtest::SaveXvfbScreenshot(name, &error))
    std::cerr << "screenshot " << name << ": " << error << "\n";
}

bool ScreenshotOverOwner(HWND owner, HWND window, const std::string& name) {
  RECT r;
  GetWindowRect(window, &r);
  const bool shown = PumpUntil(
      [&] {
        HDC dc = GetDC(nullptr);
        const COLORREF pixel = GetPixel(dc, r.left + 200, r.top + 3);
        ReleaseDC(nullptr, dc);
        return pixel == RGB(45, 65, 100);  // the skins' title band
      },
      10000);
  ShowWindow(owner, SW_HIDE);
  Pump();
  Screenshot(name);
  ShowWindow(owner, SW_SHOWNA);
  return shown;
}

}  // namespace maintest

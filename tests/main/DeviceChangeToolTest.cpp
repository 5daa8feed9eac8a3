// OvDeviceChange tells a window of another process that card drives arrived
// or went away, with the volume record the system would send; a bad command
// line or a missing window sends nothing.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <dbt.h>

#include <string>
#include <vector>

#include "CoreProcessLock.h"
#include "Handle.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

constexpr DWORD kTimeoutMs = 20000;

struct Notice {
  WPARAM event;
  DWORD size;
  DWORD device_type;
  DWORD unit_mask;
};

// A window of this process, titled as the launcher, that keeps a copy of
// every volume record it is sent (the record lives only during the send).
class CNoticeWindow final {
 public:
  CNoticeWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "WFC-OstrovelleEVDefaultWindowClass";
    RegisterClassA(&wc);
    _hwnd = CreateWindowExA(0, wc.lpszClassName, "Ostrovelle", WS_POPUP, 0, 0, 10, 10, nullptr,
                            nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CNoticeWindow() { DestroyWindow(_hwnd); }
  CNoticeWindow(const CNoticeWindow&) = delete;
  CNoticeWindow& operator=(const CNoticeWindow&) = delete;

  HWND Handle() const { return _hwnd; }
  const std::vector<Notice>& Notices() const { return _notices; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CNoticeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message == WM_DEVICECHANGE && lp) {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
      Notice notice = {wp, header->dbch_size, header->dbch_devicetype, 0};
      if (header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
        notice.unit_mask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lp)->dbcv_unitmask;
      }
      self->_notices.push_back(notice);
      return TRUE;
    }
    return DefWindowProcA(hwnd, message, wp, lp);
  }

  HWND _hwnd = nullptr;
  std::vector<Notice> _notices;
};

// Runs the tool, answering the message it sends meanwhile; its exit code,
// or -1 when it did not end.
long RunTool(const std::string& arguments) {
  std::string relative = OV_DEVICECHANGE_EXE_RELATIVE;
  ReplaceAll(relative, "/", "\\");
  std::string line = "\"" + ovtest::ExecutableFolder() + relative + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return -1;
  }
  CloseHandle(info.hThread);
  const CHandle process(info.hProcess);
  const DWORD start = GetTickCount();
  for (;;) {
    const HANDLE handle = process.Get();
    const DWORD waited = MsgWaitForMultipleObjects(1, &handle, FALSE, 100, QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (GetTickCount() - start > kTimeoutMs) return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<long>(code);
}

TEST(DeviceChangeToolTest, SendsTheVolumeRecordOrNothing) {
  struct Case {
    const char* name;
    const char* arguments;  // %s: this test's window
    long exit_code;
    WPARAM event;  // with exit code 0
    DWORD unit_mask;
  };
  const Case cases[] = {
      {"arrival", "arrival E %s", 0, DBT_DEVICEARRIVAL, 1u << 4},
      {"removal of two", "removal EF: %s", 0, DBT_DEVICEREMOVECOMPLETE, (1u << 4) | (1u << 5)},
      {"lower case", "ARRIVAL l %s", 0, DBT_DEVICEARRIVAL, 1u << 11},
      {"the launcher by its title", "arrival G", 0, DBT_DEVICEARRIVAL, 1u << 6},
      {"unknown event", "insert E %s", 1, 0, 0},
      {"not a letter", "arrival E1 %s", 1, 0, 0},
      {"no letters", "arrival : %s", 1, 0, 0},
      {"too few arguments", "arrival", 1, 0, 0},
      {"no such window", "arrival E 1", 2, 0, 0},
  };
  // Another process could pose as the launcher meanwhile.
  ovtest::CCoreProcessLock lock;
  ASSERT_TRUE(lock.IsHeld());
  for (const Case& c : cases) {
    CNoticeWindow window;
    const std::string handle = FormatString(
        "%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window.Handle())));
    std::string arguments = c.arguments;
    ReplaceAll(arguments, "%s", handle);
    EXPECT_EQ(c.exit_code, RunTool(arguments)) << c.name;
    if (c.exit_code != 0) {
      EXPECT_TRUE(window.Notices().empty()) << c.name;
      continue;
    }
    ASSERT_EQ(1u, window.Notices().size()) << c.name;
    const Notice notice = window.Notices()[0];
    EXPECT_EQ(c.event, notice.event) << c.name;
    EXPECT_EQ(sizeof(DEV_BROADCAST_VOLUME), notice.size) << c.name;
    EXPECT_EQ(static_cast<DWORD>(DBT_DEVTYP_VOLUME), notice.device_type) << c.name;
    EXPECT_EQ(c.unit_mask, notice.unit_mask) << c.name;
  }
}

}  // namespace

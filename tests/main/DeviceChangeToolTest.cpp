// OvDeviceChange tells a window of another process that card drives arrived
// or went away, with the volume record the system would send; a bad command
// line or a missing window sends nothing.
#include <gtest/gtest.h>

#include "OvWindows.h"

#include <dbt.h>

#include <string>
#include <vector>

#include "CoreProcessLock.h"
#include "PosingWindow.h"
#include "Handle.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

constexpr DWORD kTimeoutMs = 20000;

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
    maintest::CPosingWindow window;
    const std::string handle = FormatString(
        "%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window.Handle())));
    std::string arguments = c.arguments;
    ReplaceAll(arguments, "%s", handle);
    EXPECT_EQ(c.exit_code, RunTool(arguments)) << c.name;
    const std::vector<maintest::Recorded> notices = window.Of(WM_DEVICECHANGE);
    if (c.exit_code != 0) {
      EXPECT_TRUE(notices.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(1u, notices.size()) << c.name;
    const maintest::Recorded notice = notices[0];
    EXPECT_EQ(c.event, notice.wparam) << c.name;
    EXPECT_EQ(sizeof(DEV_BROADCAST_VOLUME), notice.record_size) << c.name;
    EXPECT_EQ(static_cast<DWORD>(DBT_DEVTYP_VOLUME), notice.device_type) << c.name;
    EXPECT_EQ(c.unit_mask, notice.unit_mask) << c.name;
  }
}

}  // namespace

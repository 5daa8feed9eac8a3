// Threads run their bodies inside the framework's per-thread record and log
// whatever escapes; the tooltip activator nudges once per pointer rest on an
// injected clock; window utilities on real windows.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FrameworkEnvironment.h"
#include "Placement.h"
#include "TestSupport.h"
#include "Threads.h"
#include "Window.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new wfctest::CFrameworkEnvironment);

class CBodyThread final : public lib::wfc::CThread {
 public:
  explicit CBodyThread(int kind) : _kind(kind) {}
  bool had_record = false;

 protected:
  int Run() override {
    had_record = lib::wfc::GetThreadRecord() != nullptr;
    if (_kind == 1) throw std::runtime_error("body failed");
    if (_kind == 2) throw 5;
    return 7;
  }

 private:
  int _kind;
};

TEST(ThreadTest, BodyRunsWithARecordAndEscapesAreLogged) {
  struct Case {
    const char* name;
    int kind;
    DWORD exit_code;
    bool logged;
  };
  for (const Case& c : {Case{"returns", 0, 7, false}, Case{"std", 1, static_cast<DWORD>(-1), true},
                        Case{"other", 2, static_cast<DWORD>(-1), true}}) {
    SCOPED_TRACE(c.name);
    ovtest::CLogCapture log;
    CBodyThread thread(c.kind);
    ASSERT_TRUE(thread.Start());
    ASSERT_EQ(thread.Wait(10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread.Handle(), &code);
    EXPECT_EQ(code, c.exit_code);
    EXPECT_TRUE(thread.had_record);
    EXPECT_EQ(log.Contains("ウィンドウプロシージャ コールバック致命的エラー"), c.logged);
  }
}

class CLockHolder final : public lib::wfc::CThread {
 public:
  explicit CLockHolder(lib::wfc::CCriticalSection* cs) : _cs(cs) {}
  bool entered = false;

 protected:
  int Run() override {
    lib::wfc::CLock lock(_cs);
    entered = true;
    return 0;
  }

 private:
  lib::wfc::CCriticalSection* _cs;
};

TEST(LockTest, ScopedLockHoldsOthersOutUntilItEnds) {
  lib::wfc::CCriticalSection cs;
  CLockHolder other(&cs);
  {
    lib::wfc::CLock lock(&cs);
    ASSERT_TRUE(other.Start());
    EXPECT_EQ(other.Wait(200), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(other.entered);
  }
  EXPECT_EQ(other.Wait(10000), WAIT_OBJECT_0);
  EXPECT_TRUE(other.entered);
  // Not locked now: constructing without entering leaves nothing to leave.
  { lib::wfc::CLock idle(&cs, false); }
  CLockHolder again(&cs);
  ASSERT_TRUE(again.Start());
  EXPECT_EQ(again.Wait(10000), WAIT_OBJECT_0);
}

DWORD g_now = 0;
DWORD TestClock() { return g_now; }

// Counts TTM_UPDATE posted to the tooltip.
class CTooltipSpy final : public lib::wfc::CWindow {
 public:
  int updates = 0;
  LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
    if (message == TTM_UPDATE) ++updates;
    return CWindow::WindowProc(message, wp, lp);
  }
};

void DrainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST(TooltipActivatorTest, OneNudgePerRest) {
  const HWND tip =
      lib::wfc::CreatePlainWindowA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, 0);
  SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
  CTooltipSpy spy;
  spy.Attach(tip);
  g_now = 1000;
  lib::wfc::CTooltipActivator activator(&TestClock);
  activator.Attach(tip, false);
  activator.PointerMoved(10, 10);
  g_now = 1300;  // not more than the delay yet
  activator.Check();
  DrainMessages();
  EXPECT_EQ(spy.updates, 0);
  g_now = 1301;
  activator.Check();
  activator.Check();
  DrainMessages();
  EXPECT_EQ(spy.updates, 1);
  activator.PointerMoved(10, 10);  // no move: stays disarmed
  g_now = 5000;
  activator.Check();
  DrainMessages();
  EXPECT_EQ(spy.updates, 1);
  activator.PointerMoved(11, 10);
  g_now = 5400;
  activator.Check();
  DrainMessages();
  EXPECT_EQ(spy.updates, 2);
  activator.Stop();
  spy.Detach();
  DestroyWindow(tip);
}

TEST(WindowUtilityTest, WindowOffEveryMonitorComesBack) {
  lib::wfc::CWindow w;
  w.Create(0, nullptr, "lost", WS_POPUP, -5000, -5000, 200, 100);
  EXPECT_TRUE(lib::wfc::BringOntoWorkArea(w.Handle()));
  RECT r, work;
  w.GetWindowRect(&r);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(r.left, work.left);
  EXPECT_EQ(r.top, work.top);
  EXPECT_FALSE(lib::wfc::BringOntoWorkArea(w.Handle()));
  w.DestroyWindow();
}

TEST(WindowUtilityTest, ChildrenAndModuleFolder) {
  lib::wfc::CWindow parent;
  parent.Create(0, nullptr, "parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100);
  const HWND a =
      lib::wfc::CreatePlainWindowA(0, "STATIC", "a", WS_CHILD, 0, 0, 10, 10, parent.Handle(), 1);
  const HWND b =
      lib::wfc::CreatePlainWindowW(0, L"STATIC", L"b", WS_CHILD, 0, 0, 10, 10, parent.Handle(), 2);
  EXPECT_EQ(lib::wfc::CollectChildWindows(parent.Handle()), (std::vector<HWND>{a, b}));
  parent.DestroyWindow();

  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string folder = lib::wfc::GetModuleFolder(nullptr);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(std::string(path).rfind(folder, 0), 0u);
  EXPECT_EQ(std::string(path).find('\\', folder.size()), std::string::npos);
}

TEST(WindowUtilityTest, StandardCursorLoadsOrThrows) {
  EXPECT_NE(lib::wfc::LoadStandardCursor(IDC_ARROW), nullptr);
  EXPECT_THROW(lib::wfc::LoadStandardCursor(MAKEINTRESOURCEA(1)), lib::wfc::bad_alloc);
}

}  // namespace

// Real windows under Xvfb: messages reach one virtual operation each, the
// per-thread record follows nested dispatch, refused creation throws, escaped
// exceptions are logged, modal loops pass WM_QUIT on.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "FrameworkEnvironment.h"
#include "Placement.h"
#include "TestSupport.h"
#include "Window.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new wfctest::CFrameworkEnvironment);

constexpr UINT kInner = WM_APP + 1;
constexpr UINT kThrowStd = WM_APP + 2;
constexpr UINT kThrowOther = WM_APP + 3;
constexpr UINT kSetDone = WM_APP + 4;

class CProbeWindow : public lib::wfc::CWindow {
 public:
  bool refuse_create = false;
  int throw_in_create = 0;  // 1: std::exception, 2: anything else
  std::vector<int> notches;
  UINT record_after_inner = 0;
  int depth_after_inner = 0;
  int depth_inside_inner = 0;
  volatile bool* done = nullptr;

  bool OnCreate(CREATESTRUCTA*) override {
    if (throw_in_create == 1) throw std::runtime_error("creation failed");
    if (throw_in_create == 2) throw 42;
    return !refuse_create;
  }
  void OnMouseWheelNotch(UINT, int steps, int, int) override { notches.push_back(steps); }
  void OnCommand(UINT, UINT, HWND) override {
    SendMessageA(kInner);
    const lib::wfc::ThreadRecord* record = lib::wfc::GetThreadRecord();
    record_after_inner = record->current.message;
    depth_after_inner = record->depth;
  }
  LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
    switch (message) {
      case kInner:
        depth_inside_inner = lib::wfc::GetThreadRecord()->depth;
        return 7;
      case kThrowStd:
        throw std::runtime_error("handler failed");
      case kThrowOther:
        throw 1;
      case kSetDone:
        if (done) *done = true;
        return 0;
      default:
        return CWindow::WindowProc(message, wp, lp);
    }
  }
};

HWND CreateProbe(CProbeWindow& w, HWND parent = nullptr) {
  return w.Create(0, nullptr, "probe", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, parent);
}

TEST(WindowTest, NestedDispatchRestoresTheOuterMessage) {
  CProbeWindow w;
  CreateProbe(w);
  w.SendMessageA(WM_COMMAND, MAKEWPARAM(5, 0), 0);
  EXPECT_EQ(w.depth_inside_inner, 2);
  EXPECT_EQ(w.record_after_inner, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(w.depth_after_inner, 1);
  EXPECT_EQ(lib::wfc::GetThreadRecord()->depth, 0);
  w.DestroyWindow();
  EXPECT_EQ(w.Handle(), nullptr);
}

TEST(WindowTest, RefusedCreationThrowsAndLogsEscapedExceptions) {
  struct Case {
    const char* name;
    bool refuse;
    int throw_kind;
    bool logged;
  };
  for (const Case& c : {Case{"refused", true, 0, false}, Case{"std", false, 1, true},
                        Case{"other", false, 2, true}}) {
    SCOPED_TRACE(c.name);
    ovtest::CLogCapture log;
    CProbeWindow w;
    w.refuse_create = c.refuse;
    w.throw_in_create = c.throw_kind;
    EXPECT_THROW(CreateProbe(w), lib::wfc::bad_alloc);
    EXPECT_EQ(log.Contains("ウィンドウプロシージャ コールバック致命的エラー"), c.logged);
  }
}

TEST(WindowTest, ExceptionsFromHandlersAreLoggedAndReturnZero) {
  CProbeWindow w;
  CreateProbe(w);
  for (const UINT message : {kThrowStd, kThrowOther}) {
    ovtest::CLogCapture log;
    EXPECT_EQ(w.SendMessageA(message), 0);
    const auto errors = log.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("ウィンドウプロシージャ コールバック致命的エラー"), std::string::npos);
  }
  EXPECT_EQ(lib::wfc::GetThreadRecord()->depth, 0);
  EXPECT_EQ(w.SendMessageA(kInner), 7);  // still dispatching
  w.DestroyWindow();
}

// The object pointer lives in the pointer-sized slot: an object far above
// 4 GB still receives its messages.
TEST(WindowTest, ObjectAboveFourGigabytesIsReached) {
  void* memory = VirtualAlloc(nullptr, sizeof(CProbeWindow),
                              MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
  ASSERT_NE(memory, nullptr);
  auto* w = new (memory) CProbeWindow;
  CreateProbe(*w);
  EXPECT_EQ(w->SendMessageA(kInner), 7);
  w->DestroyWindow();
  w->~CProbeWindow();
  VirtualFree(memory, 0, MEM_RELEASE);
}

TEST(WindowTest, WheelMessagesReachTheNotchOperation) {
  CProbeWindow w;
  CreateProbe(w);
  w.SendMessageA(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(150, 150));
  w.SendMessageA(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(150, 150));
  EXPECT_EQ(w.notches, (std::vector<int>{-3, 3}));
  w.DestroyWindow();
}

TEST(WindowTest, LinkedWindowsFollowEnabledState) {
  CProbeWindow main_window, linked;
  CreateProbe(main_window);
  CreateProbe(linked);
  main_window.SendMessageA(lib::wfc::InternalMessage(), 1,
                           reinterpret_cast<LPARAM>(linked.Handle()));
  EnableWindow(main_window.Handle(), FALSE);
  EXPECT_FALSE(IsWindowEnabled(linked.Handle()));
  EnableWindow(main_window.Handle(), TRUE);
  EXPECT_TRUE(IsWindowEnabled(linked.Handle()));
  main_window.SendMessageA(lib::wfc::InternalMessage(), 2,
                           reinterpret_cast<LPARAM>(linked.Handle()));
  EnableWindow(main_window.Handle(), FALSE);
  EXPECT_TRUE(IsWindowEnabled(linked.Handle()));
  linked.DestroyWindow();
  main_window.DestroyWindow();
}

TEST(WindowTest, ClassIsRegisteredOncePerProcess) {
  const int before = lib::wfc::RegisterClassCallCount();
  lib::wfc::RegisterWindowClass(lib::wfc::kDefaultWindowClass);
  EXPECT_EQ(lib::wfc::RegisterClassCallCount(), before);
  lib::wfc::RegisterWindowClass("OvWfcTestClass");
  lib::wfc::RegisterWindowClass("OvWfcTestClass");
  EXPECT_EQ(lib::wfc::RegisterClassCallCount(), before + 1);
}

TEST(WindowTest, AttachSubclassesAndDetachGivesTheWindowBack) {
  const HWND edit =
      lib::wfc::CreatePlainWindowA(0, "EDIT", "", WS_OVERLAPPED, 0, 0, 100, 30, nullptr, 0);
  const LONG_PTR own_proc = GetWindowLongPtrA(edit, GWLP_WNDPROC);
  {
    CProbeWindow w;
    w.Attach(edit);
    EXPECT_EQ(w.SendMessageA(kInner), 7);
    w.SetWindowTextA("abc");  // reaches the edit's own procedure through Default
    EXPECT_EQ(w.GetWindowTextA(), "abc");
    EXPECT_EQ(w.Detach(), edit);
  }
  EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_WNDPROC), own_proc);
  EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_USERDATA), 0);
  DestroyWindow(edit);
}

struct ModalCase {
  const char* name;
  bool quit;  // WM_QUIT arrives, else the window sets the done flag
};

class ModalLoopTest : public ::testing::TestWithParam<ModalCase> {};

TEST_P(ModalLoopTest, EndsAndGivesTheOwnerBack) {
  CProbeWindow owner, modal;
  CreateProbe(owner);
  CreateProbe(modal, owner.Handle());
  owner.ShowWindow(SW_SHOW);
  modal.ShowWindow(SW_SHOW);
  volatile bool done = false;
  modal.done = &done;
  if (GetParam().quit)
    PostQuitMessage(3);
  else
    modal.PostMessageA(kSetDone);
  EXPECT_EQ(lib::wfc::RunModalLoop(modal.Handle(), owner.Handle(), &done), 1);
  EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
  MSG msg;
  const bool quit_again = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  EXPECT_EQ(quit_again, GetParam().quit);
  EXPECT_EQ(done, !GetParam().quit);
  modal.DestroyWindow();
  owner.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(Table, ModalLoopTest,
                         ::testing::Values(ModalCase{"Quit", true}, ModalCase{"DoneFlag", false}),
                         ovtest::CaseName());

TEST(ModalLoopTest, OwnerDestroyedDuringTheLoopGivesZero) {
  CProbeWindow owner, modal;
  const HWND owner_handle = CreateProbe(owner);
  CreateProbe(modal);
  volatile bool done = false;
  owner.PostMessageA(WM_CLOSE);  // the default closes by destroying
  modal.done = &done;
  modal.PostMessageA(kSetDone);
  EXPECT_EQ(lib::wfc::RunModalLoop(modal.Handle(), owner_handle, &done), 0);
  EXPECT_EQ(owner.Handle(), nullptr);
  modal.DestroyWindow();
}

}  // namespace

// The version window run modally over a recording parent: what it shows,
// read from its item and its pixels, and each way of ending it.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "MainWindowTestSupport.h"
#include "ScreenLock.h"
#include "TestSupport.h"
#include "Version.h"
#include "VersionWindow.h"

namespace {

using maintest::CRecordingParent;
using ui::CVersionWindow;

// "Ver." and the product version of the running program file, read here
// without the foundation's formatter.
std::string ExpectedVersionText() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, &block[0])) return std::string();
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\ProductVersion", &value,
                      &length)) {
    return std::string();
  }
  std::string version(static_cast<const char*>(value));
  for (char& c : version) c = c == ',' ? '.' : c;
  version.erase(version.rfind('.'));  // three fields are shown
  return "Ver." + version;
}

struct EndCase {
  const char* name;
  UINT message;
  WPARAM wparam;
  bool click_close;
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

// The running modal loop's window and what the case found in it.
struct ModalVisit {
  CVersionWindow* window = nullptr;
  const EndCase* end = nullptr;
  bool visited = false;
  bool visible = false;
  std::string text;
  std::string name;  // screenshot, when set
};
ModalVisit g_visit;

void CALLBACK VisitModal(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ModalVisit& v = g_visit;
  v.visited = true;
  v.visible = IsWindowVisible(v.window->Handle()) != FALSE;
  v.text = v.window->VersionText();
  if (!v.name.empty()) {
    // Painted and handed to the display before the picture is taken.
    RedrawWindow(v.window->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    maintest::Pump();
    maintest::Screenshot(v.name);
  }
  if (v.end->click_close) {
    v.window->ClickItem(CVersionWindow::kCloseButton.id);
  } else {
    PostMessageA(v.window->Handle(), v.end->message, v.end->wparam, MAKELPARAM(10, 10));
  }
}

class VersionWindowTest : public ::testing::TestWithParam<EndCase> {
 protected:
  ovtest::CScreenLock _screen;
};

TEST_P(VersionWindowTest, ShowsTheProgramsVersionUntilItIsEnded) {
  CRecordingParent parent(200, 200, 480, 300);
  CVersionWindow window;
  g_visit = ModalVisit();
  g_visit.window = &window;
  g_visit.end = &GetParam();
  if (std::string(GetParam().name) == "Escape") g_visit.name = "version_window";
  // The visit runs inside the modal loop, once the window is up.
  ASSERT_NE(0u, SetTimer(nullptr, 0, 200, &VisitModal));
  window.DoModal(parent.Get());
  EXPECT_TRUE(g_visit.visited);
  EXPECT_TRUE(g_visit.visible);
  EXPECT_EQ(ExpectedVersionText(), g_visit.text);
  EXPECT_EQ(0u, g_visit.text.find("Ver.1."));
  EXPECT_EQ(nullptr, window.Handle());
  EXPECT_TRUE(IsWindowEnabled(parent.Get()));
}

INSTANTIATE_TEST_SUITE_P(Ends, VersionWindowTest,
                         ::testing::Values(EndCase{"Escape", WM_KEYDOWN, VK_ESCAPE, false},
                                           EndCase{"Enter", WM_KEYDOWN, VK_RETURN, false},
                                           EndCase{"LeftButtonRelease", WM_LBUTTONUP, 0, false},
                                           EndCase{"CloseButton", 0, 0, true}),
                         ovtest::CaseName());

}  // namespace

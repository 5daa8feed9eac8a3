// The shell's change-notification entries and the real folder picker.
// Wine delivers no change notification for drives, so the notification cases
// post one to a real window themselves and answer it with lock and unlock
// entries of their own; the picker is answered from a timer inside its loop,
// and a watchdog cancels it should that answer never come.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Handle.h"
#include "ShellHelpers.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr DWORD kPickerWaitMs = 60000;

struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::DestroyWindow(h); }
};
using CWindowHandle = CScopedHandle<WindowTraits>;

struct ItemListTraits {
  using Type = PIDLIST_ABSOLUTE;
  static Type Empty() { return nullptr; }
  static void Destroy(Type p) { ::CoTaskMemFree(p); }
};
using CItemList = CScopedHandle<ItemListTraits>;

CItemList ItemOf(const std::wstring& path) { return CItemList(ILCreateFromPathW(path.c_str())); }

std::wstring Without(const std::wstring& path, wchar_t last) {
  return !path.empty() && path.back() == last ? path.substr(0, path.size() - 1) : path;
}

template <typename S>
bool EndsWith(const S& text, const S& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
bool EndsWith(const std::wstring& text, const wchar_t* end) {
  return EndsWith(text, std::wstring(end));
}

// A folder under a test's temporary folder, by its UTF-16 name.
std::wstring MakeFolder(const ovtest::CTempDir& temp, const std::wstring& name) {
  const std::wstring path = ToWide(temp.Path()) + name;
  CreateDirectoryW(path.c_str(), nullptr);
  return path;
}

// Dispatches this thread's messages until done() holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeout_ms = kWaitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - spent, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

// Saves what a window shows as build/screens/<name>.bmp.
void SaveScreenshot(HWND window, const std::string& name) {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const std::string folder = ovtest::ExecutableFolder() + "..\\..\\..\\screens\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const DWORD stride = ((w * 3 + 3) / 4) * 4;
  std::string pixels(stride * h, '\0');
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  GetDIBits(memory, bitmap, 0, h, &pixels[0], reinterpret_cast<BITMAPINFO*>(&header),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += pixels;
  ovtest::WriteFileBytes(folder + name + ".bmp", bytes);
}

// ---------------------------------------------------------------------------
// Loading the entries

struct LoadCase {
  const char* name;
  const char* library;
  bool loads;
};

template <typename Entry>
const void* Address(Entry entry) {
  return reinterpret_cast<const void*>(entry);
}
const void* Ordinal(HMODULE module, WORD ordinal) {
  return reinterpret_cast<const void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
}

class ShellEntriesLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ShellEntriesLoad, TakesAllFourOrNone) {
  CWrapSHChangeNotifyRegister wrapper;
  ASSERT_EQ(wrapper.Load(GetParam().library), GetParam().loads);
  const auto entries = wrapper.GetEntries();
  EXPECT_EQ(wrapper.IsLoaded(), GetParam().loads);
  if (GetParam().loads) {
    HMODULE shell = GetModuleHandleA(GetParam().library);
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(Address(entries.register_entry), Ordinal(shell, 2));
    EXPECT_EQ(Address(entries.deregister_entry), Ordinal(shell, 4));
    EXPECT_EQ(Address(entries.lock_entry), Ordinal(shell, 644));
    EXPECT_EQ(Address(entries.unlock_entry), Ordinal(shell, 645));
    return;
  }
  EXPECT_EQ(entries.register_entry, nullptr);
  EXPECT_EQ(entries.deregister_entry, nullptr);
  EXPECT_EQ(entries.lock_entry, nullptr);
  EXPECT_EQ(entries.unlock_entry, nullptr);
  SetLastError(0);
  EXPECT_EQ(wrapper.Register(nullptr, 0, 0, WM_APP, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_FALSE(wrapper.Deregister(1));
  char path1[CWrapSHChangeNotifyRegister::kPathBufferSize] = "x";
  char path2[CWrapSHChangeNotifyRegister::kPathBufferSize] = "y";
  EXPECT_FALSE(wrapper.OnNotify(nullptr, path1, path2, 1, 1));
  EXPECT_STREQ(path1, "");
  EXPECT_STREQ(path2, "");
  // The wrapper is usable again once a library with the entries is named.
  EXPECT_TRUE(wrapper.Load());
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, ShellEntriesLoad,
    ::testing::Values(LoadCase{"Shell", "Shell32.DLL", true},
                      // Exports ordinals 1 to 5: the first two entries are found.
                      LoadCase{"LibraryWithoutTheLockEntries", "msimg32.dll", false},
                      LoadCase{"MissingLibrary", "no_such_shell.dll", false}),
    ovtest::CaseName());

// ---------------------------------------------------------------------------
// Reading a notification

// The stand-in shell's side of one notification: what the lock hands out.
struct FakeNotice {
  HANDLE change = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x5A17));
  HANDLE lock = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x10C4));
  bool refuse = false;
  LONG event = 0;
  PIDLIST_ABSOLUTE items[2] = {};
  int locks = 0;
  std::vector<HANDLE> unlocked;
  DWORD locked_process = 0;
};
FakeNotice* g_notice = nullptr;

HANDLE WINAPI FakeLock(HANDLE change, DWORD process_id, PIDLIST_ABSOLUTE** items, LONG* event) {
  ++g_notice->locks;
  g_notice->locked_process = process_id;
  if (g_notice->refuse || change != g_notice->change) return nullptr;
  *items = g_notice->items;
  *event = g_notice->event;
  return g_notice->lock;
}

BOOL WINAPI FakeUnlock(HANDLE lock) {
  g_notice->unlocked.push_back(lock);
  return TRUE;
}

// A real window that reads each posted notification through the wrapper.
class CNoticeWindow final {
 public:
  static constexpr UINT kMessage = WM_APP + 0x31;

  explicit CNoticeWindow(const CWrapSHChangeNotifyRegister* wrapper) : _wrapper(wrapper) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OvShellNoticeTest";
    RegisterClassW(&wc);
    _window.Reset(CreateWindowExW(0, wc.lpszClassName, L"notice", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 320, 160, nullptr, nullptr, wc.hInstance, nullptr));
    SetWindowLongPtrW(_window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  HWND Handle() const { return _window.Get(); }
  bool WaitForNotice() {
    return PumpUntil([this] { return received; });
  }

  bool received = false;
  bool read = false;
  LONG event = -1;
  char path1[CWrapSHChangeNotifyRegister::kPathBufferSize] = "stale";
  char path2[CWrapSHChangeNotifyRegister::kPathBufferSize] = "stale";

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CNoticeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == kMessage) {
      self->read = self->_wrapper->OnNotify(&self->event, self->path1, self->path2, wp, lp);
      self->received = true;
      return 0;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
  }

  const CWrapSHChangeNotifyRegister* _wrapper;
  CWindowHandle _window;
};

struct NoticeCase {
  const char* name;
  LONG event;
  const wchar_t* item1;  // "C:\\" as written, else a folder of the test's own
  const wchar_t* item2;
  bool refuse;
  const char* path1;  // narrow, relative to the test's folder unless absolute
  const char* path2;
};

class ShellNotice : public ::testing::TestWithParam<NoticeCase> {
 protected:
  void SetUp() override { g_notice = &_notice; }
  void TearDown() override { g_notice = nullptr; }

  std::wstring ItemPath(const wchar_t* item) const {
    const std::wstring name(item);
    return name.find(L':') != std::wstring::npos ? name : MakeFolder(_temp, name);
  }
  std::string Expected(const char* path) const {
    const std::string p(path);
    return p.empty() || p.find(':') != std::string::npos ? p : _temp.Path() + p;
  }

  ovtest::CTempDir _temp;
  FakeNotice _notice;
};

TEST_P(ShellNotice, ReachesARealWindowAsEventAndPaths) {
  const NoticeCase& c = GetParam();
  CWrapSHChangeNotifyRegister wrapper;
  ASSERT_TRUE(wrapper.Load());
  auto entries = wrapper.GetEntries();
  entries.lock_entry = &FakeLock;
  entries.unlock_entry = &FakeUnlock;
  wrapper.SetEntries(entries);

  CItemList items[2];
  if (c.item1) items[0] = ItemOf(ItemPath(c.item1));
  if (c.item2) items[1] = ItemOf(ItemPath(c.item2));
  _notice.items[0] = items[0].Get();
  _notice.items[1] = items[1].Get();
  _notice.event = c.event;
  _notice.refuse = c.refuse;

  CNoticeWindow window(&wrapper);
  ASSERT_NE(window.Handle(), nullptr);
  // The card's watch as the main program sets it up, through the real shell.
  const CItemList desktop(ItemOf(L"C:\\"));
  const SHChangeNotifyEntry watch = {desktop.Get(), TRUE};
  const ULONG id = wrapper.Register(
      window.Handle(), SHCNRF_ShellLevel | SHCNRF_NewDelivery,
      SHCNE_DRIVEADD | SHCNE_DRIVEREMOVED | SHCNE_MEDIAINSERTED | SHCNE_MEDIAREMOVED,
      CNoticeWindow::kMessage, 1, &watch);
  EXPECT_NE(id, 0u);

  ASSERT_TRUE(PostMessageW(window.Handle(), CNoticeWindow::kMessage,
                           reinterpret_cast<WPARAM>(_notice.change), GetCurrentProcessId()));
  ASSERT_TRUE(window.WaitForNotice());
  SaveScreenshot(window.Handle(), std::string("ShellNotice_") + c.name);
  EXPECT_TRUE(wrapper.Deregister(id));

  EXPECT_EQ(_notice.locks, 1);
  EXPECT_EQ(_notice.locked_process, GetCurrentProcessId());
  EXPECT_EQ(window.read, !c.refuse);
  EXPECT_EQ(window.path1, Expected(c.path1));
  EXPECT_EQ(window.path2, Expected(c.path2));
  if (c.refuse) {
    EXPECT_EQ(window.event, -1);
    EXPECT_TRUE(_notice.unlocked.empty());
  } else {
    EXPECT_EQ(window.event, c.event);
    EXPECT_EQ(_notice.unlocked, std::vector<HANDLE>{_notice.lock});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Notices, ShellNotice,
    ::testing::Values(
        NoticeCase{"DriveArrives", SHCNE_DRIVEADD, L"C:\\", nullptr, false, "C:\\", ""},
        NoticeCase{"MediaRemoved", SHCNE_MEDIAREMOVED, L"カード", nullptr, false, "カード", ""},
        NoticeCase{"TwoItems", SHCNE_RENAMEFOLDER, L"旧名", L"新名", false, "旧名", "新名"},
        // A path the ANSI code page cannot spell is left empty, the other kept.
        NoticeCase{"PathWithoutAnsiForm", SHCNE_RENAMEFOLDER, L"\uD55C\uAE00", L"曲", false, "",
                   "曲"},
        NoticeCase{"LockRefused", SHCNE_DRIVEADD, L"C:\\", nullptr, true, "", ""}),
    ovtest::CaseName());

// ---------------------------------------------------------------------------
// The folder picker

// Cancels any dialog of the picker's thread once the time is up, so a picker
// whose answer never comes fails the test instead of hanging it.
class CWatchdog final {
 public:
  explicit CWatchdog(DWORD timeout_ms)
      : _done(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        _thread([this, timeout_ms, owner = GetCurrentThreadId()] { Run(owner, timeout_ms); }) {}
  ~CWatchdog() {
    SetEvent(_done.Get());
    _thread.join();
  }
  CWatchdog(const CWatchdog&) = delete;
  CWatchdog& operator=(const CWatchdog&) = delete;

  bool Fired() const { return _fired; }

 private:
  static BOOL CALLBACK CancelDialog(HWND hwnd, LPARAM) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770") PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
  }
  void Run(DWORD owner, DWORD timeout_ms) {
    if (WaitForSingleObject(_done.Get(), timeout_ms) != WAIT_TIMEOUT) return;
    _fired = true;
    do {
      EnumThreadWindows(owner, &CancelDialog, 0);
    } while (WaitForSingleObject(_done.Get(), 200) == WAIT_TIMEOUT);
  }

  CHandle _done;
  std::atomic<bool> _fired{false};
  std::thread _thread;
};

// What the open picker showed, read from its controls.
struct PickerView {
  bool opened = false;
  std::wstring selection;     // the tree's selected item
  bool title_shown = false;   // a static holds the title
  bool status_shown = false;  // a visible static holds the status text
};

constexpr wchar_t kStatusText[] = L"状態の行";

// Answers the real picker: once its loop runs (a timer of the picker's own),
// it notes what the picker shows and posts OK or Cancel.
class CAnsweringPicker final : public lib::CBrowseForFolder {
 public:
  CAnsweringPicker(int answer, std::wstring title) : _answer(answer), _title(std::move(title)) {}

  int initialized = 0;
  std::vector<std::wstring> selections;
  std::vector<std::string> narrow_selections;
  PickerView view;
  std::string screenshot;

 protected:
  void OnInitialized() override {
    ++initialized;
    current = this;
    SetTimer(PickerWindow(), 1, 10, &OnTimer);
  }
  int OnSelectionChanged(const std::string& path, const std::wstring& path_w) override {
    selections.push_back(path_w);
    narrow_selections.push_back(path);
    return 0;
  }

 private:
  static CAnsweringPicker* current;

  static BOOL CALLBACK ReadChild(HWND child, LPARAM data) {
    auto* self = reinterpret_cast<CAnsweringPicker*>(data);
    wchar_t cls[32] = {}, text[256] = {};
    GetClassNameW(child, cls, 32);
    GetWindowTextW(child, text, 256);
    const std::wstring kind(cls);
    if (kind == L"SysTreeView32") {
      HTREEITEM item = TreeView_GetSelection(child);
      TVITEMW tv = {};
      tv.mask = TVIF_TEXT;
      tv.hItem = item;
      tv.pszText = text;
      tv.cchTextMax = 256;
      if (item && SendMessageW(child, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) {
        self->view.selection = text;
      }
    } else if (kind == L"Static") {
      if (self->_title == text) self->view.title_shown = true;
      if (std::wstring(kStatusText) == text && IsWindowVisible(child)) {
        self->view.status_shown = true;
      }
    }
    return TRUE;
  }

  static void CALLBACK OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    // The dialog's loop shows the picker once its queue is first empty.
    if (!IsWindowVisible(hwnd)) return;
    KillTimer(hwnd, id);
    CAnsweringPicker* self = current;
    SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(kStatusText));
    UpdateWindow(hwnd);
    self->view.opened = true;
    EnumChildWindows(hwnd, &ReadChild, reinterpret_cast<LPARAM>(self));
    if (!self->screenshot.empty()) SaveScreenshot(hwnd, self->screenshot);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(self->_answer, BN_CLICKED), 0);
  }

  int _answer;
  std::wstring _title;
};
CAnsweringPicker* CAnsweringPicker::current = nullptr;

class FolderPicker : public ::testing::Test {
 protected:
  void SetUp() override {
    _owner.Reset(CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                                 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_NE(_owner.Get(), nullptr);
  }

  // Shows the picker under a watchdog; the watchdog must never have to act.
  // It only guards against a picker that never answers: a picker lists the
  // desktop and the drives, which takes seconds on a loaded machine.
  bool Show(CAnsweringPicker& picker, const char* title, bool status_text) {
    CWatchdog watchdog(kPickerWaitMs);
    const bool chosen = picker.Show(_owner.Get(), title, status_text);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(picker.initialized, 1);
    EXPECT_TRUE(picker.view.opened);
    return chosen;
  }

  ovtest::CTempDir _temp;
  CWindowHandle _owner;
};

TEST_F(FolderPicker, OkChoosesTheInitialFolderInBothForms) {
  const std::wstring folder = MakeFolder(_temp, L"曲フォルダ");
  CAnsweringPicker picker(IDOK, L"ミュージックデータフォルダを選択");
  picker.SetInitialFolder(ToMultiByte(folder));
  picker.screenshot = "FolderPicker_Ok";
  ASSERT_TRUE(Show(picker, "ミュージックデータフォルダを選択", true));
  EXPECT_EQ(picker.GetPathW(), folder);
  EXPECT_EQ(picker.GetPath(), _temp.Path() + "曲フォルダ");
  // Windows names the folder alone, Wine gives its whole path.
  EXPECT_TRUE(EndsWith(picker.GetDisplayNameW(), L"曲フォルダ")) << picker.GetDisplayName();
  EXPECT_TRUE(EndsWith(picker.GetDisplayName(), std::string("曲フォルダ")));
  EXPECT_EQ(picker.view.selection, L"曲フォルダ");
  EXPECT_TRUE(picker.view.title_shown);
  EXPECT_TRUE(picker.view.status_shown);
  // The selection hook saw the initial folder, in both forms.
  ASSERT_FALSE(picker.selections.empty());
  EXPECT_EQ(picker.selections.back(), folder);
  EXPECT_EQ(picker.narrow_selections.back(), _temp.Path() + "曲フォルダ");
}

TEST_F(FolderPicker, CancelReturnsFalseAndClearsTheLastChoice) {
  const std::wstring folder = MakeFolder(_temp, L"data");
  CAnsweringPicker picker(IDOK, L"");
  picker.SetInitialFolder(ToMultiByte(folder));
  ASSERT_TRUE(Show(picker, nullptr, false));
  ASSERT_EQ(picker.GetPathW(), folder);

  CAnsweringPicker cancelling(IDCANCEL, L"");
  cancelling.SetInitialFolder(ToMultiByte(folder));
  cancelling.screenshot = "FolderPicker_Cancel";
  EXPECT_FALSE(Show(cancelling, "", false));
  EXPECT_EQ(cancelling.GetPath(), "");
  EXPECT_EQ(cancelling.GetPathW(), L"");
  EXPECT_EQ(cancelling.GetDisplayName(), "");
  // Without the flag the status line stays hidden.
  EXPECT_FALSE(cancelling.view.status_shown);
}

TEST_F(FolderPicker, WideFolderWithoutAnsiFormComesBackWideOnly) {
  const std::wstring folder = MakeFolder(_temp, L"\uD55C\uAE00");
  CAnsweringPicker picker(IDOK, L"");
  picker.SetInitialFolderW(folder);
  EXPECT_EQ(picker.GetInitialFolder(), "");
  ASSERT_TRUE(Show(picker, "", false));
  EXPECT_EQ(picker.GetPathW(), folder);
  EXPECT_EQ(picker.GetPath(), "");
  EXPECT_TRUE(EndsWith(picker.GetDisplayNameW(), L"\uD55C\uAE00"));
}

TEST_F(FolderPicker, MissingInitialFolderLeavesTheDefaultSelection) {
  CAnsweringPicker plain(IDCANCEL, L"");
  ASSERT_FALSE(Show(plain, "", false));

  const std::wstring missing = ToWide(_temp.Path()) + L"無いフォルダ";
  CAnsweringPicker picker(IDCANCEL, L"");
  picker.SetInitialFolder(ToMultiByte(missing));
  picker.screenshot = "FolderPicker_MissingInitial";
  ASSERT_FALSE(Show(picker, "", false));
  EXPECT_EQ(picker.view.selection, plain.view.selection);
  for (const auto& seen : picker.selections) EXPECT_NE(Without(seen, L'\\'), missing);
}

}  // namespace

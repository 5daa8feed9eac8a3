// OvNoticeDriver: plays the user at the launcher for tools/run. It waits
// for the launcher's window, answers what the launcher asks while its
// charges run (the map charge's notices in the drawer "Ostrovelle Map", the
// traffic question "Ostrovelle Info" and message boxes) with clicks on their
// yes buttons, prints the map charge's progress from the core's progress
// blocks, takes screenshots (tools/screenshot through ovtest), and once the
// core holds nothing any more closes the launcher with its own close button
// and waits until it has gone.
//
//   OvNoticeDriver [limit seconds]    (600 unless given)
//
// Exit code: 0 the charges ended and the launcher closed; 1 the launcher
// did not appear, went away during the charges or outlived the limit; 2 a
// bad command line. One thread; it polls, as a person looking at the
// screen would.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "OvWindows.h"
#include "ShareMem.h"
#include "StringUtil.h"
#include "XvfbScreenshot.h"

namespace {

constexpr char kFrameworkClass[] = "WFC-OstrovelleEVDefaultWindowClass";
constexpr char kLauncherTitle[] = "Ostrovelle";
constexpr char kNoticeTitle[] = "Ostrovelle Map";
constexpr char kInfoTitle[] = "Ostrovelle Info";
constexpr char kBoxClass[] = "#32770";
constexpr int kBoxTextId = 0xFFFF;

// The buttons' centres in window coordinates: the item's position in its
// skin (skins/main) plus half its class's size (NormalButtonClass 80 x 24,
// CloseButtonClass 20 x 20).
constexpr POINT kLauncherClose = {372 + 10, 8 + 10};     // LauncherWindow.txt CloseButton
constexpr POINT kNoticeYes = {56 + 40, 116 + 12};        // MapChargeWindow.txt YesButton
constexpr POINT kNoticeYesBottom = {56 + 40, 140 + 12};  // YesBottomButton
constexpr POINT kInfoYes = {56 + 40, 112 + 12};          // InfoChargeWindow.txt OKButton
// The drawer's height with the bottom row of buttons: among the core's
// questions only the download question has it.
constexpr int kTallNotice = 172;

constexpr DWORD kPollMs = 100;
// The launcher's reservation question to the core, asked at most this
// often (the core logs each one).
constexpr DWORD kReconfirmEveryMs = 1000;
// A drawer counts as out once its place has not changed for this long: it
// slides out, then the veil over its items fades for about half a second
// (main/Drawer.h), which moves nothing.
constexpr DWORD kSettledMs = 800;
// The charges count as ended once the core has held nothing for this long.
constexpr DWORD kIdleMs = 2000;
// The download's screenshot is taken past this share of its bytes, when the
// launcher's line has moved on from the phase's name to the figures.
constexpr uint64_t kShotAtHalf = 2;
constexpr DWORD kLauncherWaitMs = 60000;
constexpr DWORD kReconfirmMs = 5000;
constexpr DWORD kAnsweredMs = 5000;

void Say(const char* format, ...) OV_PRINTF_FORMAT(1, 2);
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatStringV(format, args);
  va_end(args);
  // UTF-8 for the terminal: tools/run passes the lines on as they come, and
  // a converter in the pipe would hold them until the end.
  std::string utf8;
  if (!ConvertCodePage(text, CP_ACP, CP_UTF8, &utf8)) utf8 = text;
  printf("  driver: %s\n", utf8.c_str());
  fflush(stdout);
}

void Shot(const std::string& name) {
  std::string error;
  if (ovtest::SaveXvfbScreenshot(name, &error)) {
    Say("screenshot build/screens/%s.png", name.c_str());
  } else {
    Say("no screenshot %s: %s", name.c_str(), error.c_str());
  }
}

// A left click where a person would click: the pointer moves there, the
// button goes down and up.
void Click(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageA(window, WM_MOUSEMOVE, 0, where);
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageA(window, WM_LBUTTONUP, 0, where);
}

bool WaitUntilHidden(HWND window) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > kAnsweredMs) return false;
    Sleep(20);
  }
  return true;
}

// A drawer that has finished sliding out: shown, and in the same place as
// at the last look for kSettledMs.
class CSettledWindow final {
 public:
  explicit CSettledWindow(const char* title) : _title(title) {}
  // The window once it has settled, else null.
  HWND Find() {
    const HWND window = FindWindowA(kFrameworkClass, _title);
    RECT rect = {};
    if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect)) {
      _window = nullptr;
      return nullptr;
    }
    if (window != _window || !EqualRect(&rect, &_rect)) {
      _window = window;
      _rect = rect;
      _since = GetTickCount();
      return nullptr;
    }
    return GetTickCount() - _since >= kSettledMs ? window : nullptr;
  }
  int Height() const { return _rect.bottom - _rect.top; }
  void Forget() { _window = nullptr; }

 private:
  const char* _title;
  HWND _window = nullptr;
  RECT _rect = {};
  DWORD _since = 0;
};

// A message box of the launcher's process that is showing; null when none.
struct BoxSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  char name[16] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window) ||
      !GetClassNameA(window, name, sizeof(name)) || strcmp(name, kBoxClass) != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof(text));
  std::string out = text;
  ReplaceAll(out, "\r\n", " ");
  ReplaceAll(out, "\n", " ");
  return out;
}

// The map charge's progress blocks, as the launcher reads them.
struct Block {
  bool open = false;
  uint64_t done = 0;
  uint64_t total = 0;
  uint32_t speed = 0;
};

Block ReadBlock(const char* name) {
  Block block;
  CBlockShareMem memory;
  if (memory.Open(name) != 0 || !memory.GetView() || !memory.GetMutex()) return block;
  uint32_t words[8] = {};
  const DWORD waited = WaitForSingleObject(memory.GetMutex(), 1000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return block;
  memcpy(words, memory.GetView(), sizeof(words));
  ReleaseMutex(memory.GetMutex());
  const auto wide = [&](int low) {
    return static_cast<uint64_t>(words[low]) | (static_cast<uint64_t>(words[low + 1]) << 32);
  };
  block.open = true;
  block.speed = words[1];
  block.done = wide(4);
  block.total = wide(6);
  return block;
}

// "map sm wl" for a set of kinds.
std::string KindWords(uint32_t kinds) {
  std::string out;
  for (const ChargeKindWord* w = ChargeKindWords(); w->word; ++w) {
    if (!(kinds & w->kind)) continue;
    if (!out.empty()) out += ' ';
    out += w->word;
  }
  return out.empty() ? std::string("none") : out;
}

double Mb(uint64_t bytes) { return static_cast<double>(bytes) / 1048576.0; }

class CDriver final {
 public:
  explicit CDriver(DWORD limit_ms) : _limit_ms(limit_ms), _start(GetTickCount()) {}
  int Run();

 private:
  bool FindLauncher();
  bool OutOfTime() const { return GetTickCount() - _start > _limit_ms; }
  void AnswerWhatIsAsked();
  void AnswerNotice();
  void AnswerInfoQuestion();
  void AnswerBox();
  void FollowCore();
  void FollowProgress(int phase, const char* block_name);
  bool ChargesEnded();
  bool CloseLauncher();

  const DWORD _limit_ms;
  const DWORD _start;
  HWND _launcher = nullptr;
  DWORD _launcher_process = 0;
  CSettledWindow _notice{kNoticeTitle};
  CSettledWindow _info{kInfoTitle};
  int _notices = 0;
  int _boxes = 0;
  bool _core_seen = false;
  DWORD _asked_at = 0;
  DWORD _idle_since = 0;
  bool _idle = false;
  uint32_t _busy_kinds = 0;
  // Per phase (0 download, 1 transfer): the last quarter or bytes told and
  // whether its screenshot was taken.
  int _quarter[2] = {-1, -1};
  uint64_t _told[2] = {0, 0};
  bool _progress_shot[2] = {false, false};
};

bool CDriver::FindLauncher() {
  while (!(_launcher = FindWindowA(kFrameworkClass, kLauncherTitle))) {
    if (GetTickCount() - _start > kLauncherWaitMs) return false;
    Sleep(kPollMs);
  }
  GetWindowThreadProcessId(_launcher, &_launcher_process);
  return true;
}

void CDriver::AnswerNotice() {
  const HWND notice = _notice.Find();
  if (!notice) return;
  const bool tall = _notice.Height() == kTallNotice;
  ++_notices;
  Say("the map charge asks in the drawer (%s)",
      tall ? "the download question, buttons at the bottom" : "a question, buttons in the middle");
  Shot(FormatString("run_notice_%d", _notices));
  Click(notice, tall ? kNoticeYesBottom : kNoticeYes);
  Say(WaitUntilHidden(notice) ? "clicked はい: the drawer went"
                              : "clicked はい, but the drawer stayed");
  _notice.Forget();
}

void CDriver::AnswerInfoQuestion() {
  const HWND info = _info.Find();
  if (!info) return;
  Say("the launcher offers a traffic update before it closes");
  Shot("run_info_question");
  Click(info, kInfoYes);
  Say(WaitUntilHidden(info) ? "clicked はい" : "clicked はい, but the question stayed");
  _info.Forget();
}

void CDriver::AnswerBox() {
  BoxSearch search = {_launcher_process, nullptr};
  EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return;
  const HWND box = search.found;
  ++_boxes;
  Say("message box \"%s\": %s", TextOf(box).c_str(), TextOf(GetDlgItem(box, kBoxTextId)).c_str());
  Shot(FormatString("run_box_%d", _boxes));
  HWND button = GetDlgItem(box, IDYES);
  if (!button) button = GetDlgItem(box, IDOK);
  if (!button) {
    Say("the box has neither Yes nor OK; left as it is");
    return;
  }
  Say("clicked %s", TextOf(button).c_str());
  PostMessageA(button, BM_CLICK, 0, 0);
  WaitUntilHidden(box);
}

void CDriver::AnswerWhatIsAsked() {
  AnswerNotice();
  AnswerInfoQuestion();
  AnswerBox();
}

void CDriver::FollowProgress(int phase, const char* block_name) {
  const Block block = ReadBlock(block_name);
  if (!block.open || block.done == 0) return;
  const char* what = phase == 0 ? "download" : "transfer to the card";
  if (!_progress_shot[phase] && (block.total == 0 || block.done * kShotAtHalf >= block.total)) {
    _progress_shot[phase] = true;
    Shot(phase == 0 ? "run_progress_download" : "run_progress_transfer");
  }
  if (block.total) {
    // A line per quarter of the total.
    const int quarter = static_cast<int>(4 * block.done / block.total);
    if (quarter == _quarter[phase]) return;
    _quarter[phase] = quarter;
    Say("map: %s %.1f MB of %.1f MB, %.1f MB/s", what, Mb(block.done), Mb(block.total),
        Mb(block.speed));
    return;
  }
  // The transfer's block carries no total: a line each time its bytes have
  // doubled.
  if (block.done < 2 * _told[phase]) return;
  _told[phase] = block.done;
  Say("map: %s %.1f MB so far, %.1f MB/s", what, Mb(block.done), Mb(block.speed));
}

void CDriver::FollowCore() {
  const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
  if (core) {
    FollowProgress(0, kMapChargeDLProgress);
    FollowProgress(1, kMapChargeTRProgress);
  }
  if (core && _core_seen && GetTickCount() - _asked_at < kReconfirmEveryMs) return;
  _asked_at = GetTickCount();
  DWORD_PTR busy = 0;
  if (core && !SendMessageTimeoutA(core, RegisterOvMessage(kMsgRequestReconfirm), 0, 0,
                                   SMTO_ABORTIFHUNG, kReconfirmMs, &busy)) {
    busy = 1;  // a core too busy to answer is still working
  }
  if (core && !_core_seen) {
    _core_seen = true;
    Say("the launcher started the core for the card");
    Shot("run_start");
  }
  if (busy != _busy_kinds && busy) {
    Say("kinds the core still holds: %s", KindWords(static_cast<uint32_t>(busy)).c_str());
  }
  _busy_kinds = static_cast<uint32_t>(busy);
}

bool CDriver::ChargesEnded() {
  if (!_core_seen || _busy_kinds != 0) {
    _idle = false;
    return false;
  }
  if (!_idle) {
    _idle = true;
    _idle_since = GetTickCount();
  }
  return GetTickCount() - _idle_since >= kIdleMs;
}

bool CDriver::CloseLauncher() {
  Say("clicking the launcher's close button");
  Click(_launcher, kLauncherClose);
  while (IsWindow(_launcher)) {
    if (OutOfTime()) return false;
    AnswerWhatIsAsked();
    Sleep(kPollMs);
  }
  Say("the launcher's window has gone");
  return true;
}

int CDriver::Run() {
  if (!FindLauncher()) {
    Say("the launcher's window did not appear within %lu s",
        static_cast<unsigned long>(kLauncherWaitMs / 1000));
    return 1;
  }
  Say("found the launcher's window; waiting for its charges");
  while (!ChargesEnded()) {
    if (!IsWindow(_launcher)) {
      Say("the launcher went away during the charges");
      return 1;
    }
    if (OutOfTime()) {
      Say("the charges did not end within %lu s", static_cast<unsigned long>(_limit_ms / 1000));
      return 1;
    }
    AnswerWhatIsAsked();
    FollowCore();
    Sleep(kPollMs);
  }
  Say("the core holds nothing any more: the charges ended (%d notice(s), %d box(es) answered)",
      _notices, _boxes);
  Shot("run_results");
  if (!CloseLauncher()) {
    Say("the launcher did not close within the limit");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long seconds = 600;
  if (argc > 2 || (argc == 2 && (seconds = strtoul(argv[1], nullptr, 10)) == 0)) {
    fprintf(stderr, "usage: OvNoticeDriver [limit seconds]\n");
    return 2;
  }
  return CDriver(static_cast<DWORD>(seconds * 1000)).Run();
}

// Helpers of the core's tests; see CoreTestSupport.h.
#include "CoreTestSupport.h"

#include "ChargeKind.h"
#include "Folders.h"
#include "StringUtil.h"

namespace coretest {

namespace {

constexpr char kRecorderClass[] = "OvTestRecorderWindow";

// Charges of parallel test processes must not share their abort events.
const bool g_tagged = [] {
  chargetest::SetAbortEventTag(FormatString("_test%lu", GetCurrentProcessId()));
  return true;
}();

void RegisterRecorderClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kRecorderClass;
  registered = RegisterClassExA(&wc) != 0;
}

// A charge of the script: see CChargeScript.
class CScriptCharge final : public CCharge {
 public:
  CScriptCharge(uint32_t kind, HANDLE gate, uint32_t code, bool silent, bool start_fails,
                bool stubborn)
      : CCharge(kind),
        _gate(gate),
        _code(code),
        _silent(silent),
        _start_fails(start_fails),
        _stubborn(stubborn) {}

  bool Start() override { return _start_fails ? false : CCharge::Start(); }

 protected:
  uint32_t _Proc() override {
    _NotifyProgress(0);
    const HANDLE waits[] = {_gate, _GetAbortEvent()};
    const DWORD wait = WaitForMultipleObjects(_stubborn ? 1 : 2, waits, FALSE, 30000);
    if (wait == WAIT_OBJECT_0 + 1) {
      _NotifyError(CHARGE_RESULT_ABORT, 0);
      return CHARGE_RESULT_ABORT;
    }
    if (!_silent) _NotifyError(_code, 0);
    return _code;
  }

 private:
  HANDLE _gate;  // not owned
  uint32_t _code;
  bool _silent;
  bool _start_fails;
  bool _stubborn;
};

}  // namespace

CRecorderWindow::CRecorderWindow() {
  RegisterRecorderClass(&CRecorderWindow::Proc);
  _window = CreateWindowExA(0, kRecorderClass, "recorder", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                            nullptr, GetModuleHandleA(nullptr), this);
}

CRecorderWindow::~CRecorderWindow() {
  if (_window) {
    SetWindowLongPtrA(_window, GWLP_USERDATA, 0);
    DestroyWindow(_window);
  }
}

LRESULT CALLBACK CRecorderWindow::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CRecorderWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && (message == WM_CLOSE || message == WM_TIMER || message >= 0xC000)) {
    self->_messages.push_back({message, wparam, lparam});
    if (message == WM_CLOSE) return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

std::vector<RecordedMessage> CRecorderWindow::Of(UINT id) const {
  std::vector<RecordedMessage> found;
  for (const RecordedMessage& m : _messages) {
    if (m.id == id) found.push_back(m);
  }
  return found;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms, CCoreManager* manager,
               HWND core_window) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // Only the core window's messages: in the core, the notify window
      // lives in another process.
      if (manager && msg.hwnd == core_window && manager->RecieveWindowMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (done()) return true;
    }
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeout_ms) return false;
    // Short slices: some conditions change without a message to this thread.
    const DWORD slice = timeout_ms - spent < 50 ? timeout_ms - spent : 50;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
  }
}

UINT Msg(const char* name) { return RegisterWindowMessageA(name); }

bool CFakeStore::LoadRunSwitch(uint32_t kind, int* value) {
  if (!loadable) return false;
  const auto it = switches.find(kind);
  *value = it == switches.end() ? 1 : it->second;
  return true;
}

bool CFakeStore::SaveCardHistory(char, const ChargeHistoryRecord& record) {
  card_history.push_back(record);
  return true;
}

bool CFakeStore::SaveProbeLog(const std::string& device, const SYSTEMTIME& time, uint32_t stage,
                              uint32_t result) {
  ChargeHistoryRecord record;
  record.time = time;
  record.stage = stage;
  record.result = result;
  probe_log.emplace_back(device, record);
  return true;
}

CChargeScript::CChargeScript() = default;

CChargeScript::~CChargeScript() {
  for (auto& gate : _gates) CloseHandle(gate.second);
}

HANDLE CChargeScript::Gate(uint32_t kind) {
  HANDLE& gate = _gates[kind];
  if (!gate) gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return gate;
}

std::function<ChargePtr(uint32_t)> CChargeScript::Factory() {
  return [this](uint32_t kind) {
    if (_missing[kind]) return ChargePtr();
    ++_created[kind];
    ChargePtr charge(new CScriptCharge(kind, Gate(kind), _codes[kind], _silent[kind],
                                       _start_fails[kind], _stubborn[kind]));
    charge->SetStore(&_store);
    return charge;
  };
}

int CChargeScript::Created(uint32_t kind) const {
  const auto it = _created.find(kind);
  return it == _created.end() ? 0 : it->second;
}

char MissingDriveLetter() {
  for (char c = 'Z'; c >= 'D'; --c) {
    const char root[4] = {c, ':', '\\', 0};
    if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) return c;
  }
  return 0;
}

}  // namespace coretest

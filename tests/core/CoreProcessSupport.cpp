// The core as a process in a test; see CoreProcessSupport.h.
#include "CoreProcessSupport.h"

#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace coretest {

namespace {

constexpr DWORD kEndWaitMs = 30000;

}  // namespace

HWND FindCore() { return FindWindowA(kCoreWindowClass, kCoreWindowTitle); }

bool CCoreProcess::Start(char drive, HWND notify, const char* kinds) {
  Kill();
  std::string relative = OV_CORE_EXE_RELATIVE;
  ReplaceAll(relative, "/", "\\");
  std::string line = FormatString("\"%s%s\" /d %c /w %08X /p %s",
                                  ovtest::ExecutableFolder().c_str(), relative.c_str(), drive,
                                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(notify)), kinds);
  SetEnvironmentVariableA("OV_TEST_NO_PHASE_PAUSE", _keep_phase_pauses ? nullptr : "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  const CHandle thread(process.hThread);
  _process.Reset(process.hProcess);
  return true;
}

bool CCoreProcess::IsRunning() const {
  return _process && WaitForSingleObject(_process.Get(), 0) == WAIT_TIMEOUT;
}

bool CCoreProcess::WaitExit(DWORD limit_ms) const {
  return PumpUntil([this] { return !IsRunning(); }, limit_ms);
}

bool CCoreProcess::End(DWORD limit_ms) const {
  const HWND core = FindCore();
  if (!core || !PostMessageA(core, Msg(kMsgRequestEnd), 0, 0)) return false;
  return WaitExit(limit_ms);
}

void CCoreProcess::Kill() {
  if (!IsRunning()) return;
  TerminateProcess(_process.Get(), 1);
  WaitForSingleObject(_process.Get(), kEndWaitMs);
}

}  // namespace coretest

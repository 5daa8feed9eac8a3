// core_test_host.exe: the core's start-up and window with charges that the
// tests steer from their own process. Each charge reports its start with
// progress 0, then waits for the named event
// "OvCoreHost_<OV_TEST_TAG>_release_<kind>" (it then reports the code in
// OV_TEST_RESULT_<kind>, hexadecimal, 0 when unset) or for its abort. With
// OV_TEST_STUBBORN_<kind> set it ignores the abort and waits for the event
// alone.
#include "ChargeKind.h"
#include "CoreStartup.h"
#include "Handle.h"
#include "StringUtil.h"

#include <cstdlib>

namespace {

std::string Environment(const std::string& name) {
  char value[256] = {};
  const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof(value));
  return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

class CHostCharge final : public CCharge {
 public:
  explicit CHostCharge(uint32_t kind) : CCharge(kind) {}

 protected:
  uint32_t _Proc() override {
    _NotifyProgress(0);
    const std::string name =
        FormatString("OvCoreHost_%s_release_%u", Environment("OV_TEST_TAG").c_str(), GetKind());
    CHandle release(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    const HANDLE waits[] = {release.Get(), _GetAbortEvent()};
    const bool stubborn = !Environment(FormatString("OV_TEST_STUBBORN_%u", GetKind())).empty();
    const DWORD wait = WaitForMultipleObjects(stubborn ? 1 : 2, waits, FALSE, 60000);
    if (wait != WAIT_OBJECT_0) {
      _NotifyError(CHARGE_RESULT_ABORT, 0);
      return CHARGE_RESULT_ABORT;
    }
    const std::string code_text = Environment(FormatString("OV_TEST_RESULT_%u", GetKind()));
    const uint32_t code = static_cast<uint32_t>(strtoul(code_text.c_str(), nullptr, 16));
    _NotifyError(code, 0);
    return code;
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  CoreRunOptions options;
  options.create_charge = [](uint32_t kind) { return ChargePtr(new CHostCharge(kind)); };
  return RunCore(instance, command_line, options);
}

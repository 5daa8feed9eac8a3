// The user agent and the browser helper; see UserAgent.h.
#include "OstrovelleLite/UserAgent.h"

#include <atomic>

#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"

namespace {

CUserAgent g_user_agent;
std::atomic<browsertest::ShellExecuteFunction> g_shell_execute{nullptr};

HINSTANCE Execute(LPCSTR file, LPCSTR parameters) {
  const browsertest::ShellExecuteFunction hook = g_shell_execute.load();
  return hook ? hook(nullptr, "open", file, parameters, "", SW_SHOWNORMAL)
              : ShellExecuteA(nullptr, "open", file, parameters, "", SW_SHOWNORMAL);
}

bool Succeeded(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

bool IsWebAddress(const std::string& url) {
  const std::string lower = ToLower(url);
  return lower.compare(0, 7, "http://") == 0 || lower.compare(0, 8, "https://") == 0;
}

}  // namespace

std::string CUserAgent::Format(uint16_t year_bcd, uint32_t version) {
  return FormatString("%02X%s/%X.%06X", static_cast<unsigned>(year_bcd & 0xFF), kModelCode,
                      static_cast<unsigned>(version >> 24),
                      static_cast<unsigned>(version & 0xFFFFFF));
}

void CUserAgent::SetDrive(char drive) {
  std::lock_guard<std::mutex> hold(_lock);
  _drive = drive;
}

char CUserAgent::GetDrive() const {
  std::lock_guard<std::mutex> hold(_lock);
  return _drive;
}

std::string CUserAgent::GetUserAgentA() const {
  std::lock_guard<std::mutex> hold(_lock);
  return _text;
}

std::wstring CUserAgent::GetUserAgentW() const { return ToWide(GetUserAgentA()); }

bool CUserAgent::Generate() {
  const char drive = GetDrive();
  if (drive == 0) return false;
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
  if (!unit.IsLoaded()) return false;
  const int model = unit.GetModel();
  if (model != kUnitModel) {
    OV_LOG(kLogError, "UserAgent生成時のモデル不正 %d", model);
    std::lock_guard<std::mutex> hold(_lock);
    _text.clear();
    return false;
  }
  const std::string text =
      Format(unit.GetYear(pclink::kDataIdProgram), unit.GetVersion(pclink::kDataIdProgram));
  std::lock_guard<std::mutex> hold(_lock);
  _text = text;
  return true;
}

CUserAgent& GetUserAgent(char drive) {
  g_user_agent.SetDrive(drive);
  g_user_agent.Generate();
  return g_user_agent;
}

bool OpenDefaultBrowser(const char* url) {
  if (!url || !url[0]) return false;
  // The address may come from a replaceable file: never hand the shell a
  // program or a document to open.
  if (!IsWebAddress(url)) {
    OV_LOG(kLogError, "既定のブラウザ起動失敗 URL不正:%s", url);
    return false;
  }
  const HINSTANCE result = Execute(url, nullptr);
  if (Succeeded(result)) return true;
  OV_LOG(kLogError, "既定のブラウザ起動失敗 ShellExecute:0x%08X ERR:0x%08lX",
         static_cast<unsigned>(reinterpret_cast<INT_PTR>(result)), GetLastError());
  return Succeeded(Execute("iexplore.exe", url));
}

namespace browsertest {
void SetShellExecute(ShellExecuteFunction function) { g_shell_execute = function; }
}  // namespace browsertest

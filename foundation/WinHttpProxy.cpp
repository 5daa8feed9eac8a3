// The proxy lookup of CWinHttpWrapper: automatic configuration first, then
// the Internet settings of the current user. Any thread.
#include <mutex>

#include "Log.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace {

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr DWORD kMaxRegistryText = 1024;

std::mutex g_proxy_lock;
std::wstring g_proxy;  // guarded by g_proxy_lock

// A text value of the Internet settings; false (error set) when unreadable.
bool ReadSettingText(const char* name, std::string* value, LONG* error) {
  CRegKey key;
  *error = RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, key.Put());
  if (*error != ERROR_SUCCESS) return false;
  char buffer[kMaxRegistryText + 1] = {};
  DWORD size = kMaxRegistryText;
  DWORD type = 0;
  *error =
      RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (*error != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    *error = ERROR_INVALID_DATA;
    return false;
  }
  buffer[size < kMaxRegistryText ? size : kMaxRegistryText] = '\0';
  *value = buffer;
  return true;
}

bool ReadSettingNumber(const char* name, DWORD* value, LONG* error) {
  CRegKey key;
  *error = RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, key.Put());
  if (*error != ERROR_SUCCESS) return false;
  DWORD size = sizeof(*value);
  DWORD type = 0;
  *error = RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (*error == ERROR_SUCCESS && type != REG_DWORD) *error = ERROR_INVALID_DATA;
  return *error == ERROR_SUCCESS;
}

std::wstring AutoProxyFor(const std::wstring& url) {
  CWinHttpHandle session(WinHttpOpen(L"WinHTTP AutoProxy Get/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return std::wstring();
  std::string config_url;
  LONG error = 0;
  if (ReadSettingText("AutoConfigURL", &config_url, &error) && !config_url.empty()) {
    OV_LOG(kLogTrace, "AutoConfigURL取得[SVR:%s]", config_url.c_str());
  } else {
    config_url.clear();
    OV_LOG(kLogTrace, "AutoConfigURL設定無し");
  }
  const std::wstring wide_config = ToWide(config_url);
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  if (!config_url.empty()) {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = wide_config.c_str();
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info = {};
  std::wstring proxy;
  if (WinHttpGetProxyForUrl(session.Get(), url.c_str(), &options, &info)) {
    // The texts are the caller's to free, whatever comes next.
    const CGlobalMem proxy_text(info.lpszProxy);
    const CGlobalMem bypass_text(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_DEFAULT_PROXY) {
      OV_LOG(kLogTrace, "WinHttpGetProxyForUrl() : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY\n");
    } else if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY) {
      OV_LOG(kLogTrace, "WinHttpGetProxyForUrl() : WINHTTP_ACCESS_TYPE_NO_PROXY");
    } else if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
      OV_LOG(kLogTrace, "WinHttpGetProxyForUrl() : WINHTTP_ACCESS_TYPE_NAMED_PROXY");
    }
    if (info.lpszProxy) proxy = info.lpszProxy;
    OV_LOG(kLogTrace, "WinHttpGetProxyForUrl() : %s", ToMultiByte(proxy).c_str());
  } else {
    OV_LOG(kLogTrace, "WinHttpGetProxyForUrl()失敗[ERR:%lu]", GetLastError());
  }
  return proxy;
}

std::wstring ManualProxy() {
  DWORD enabled = 0;
  LONG error = 0;
  if (!ReadSettingNumber("ProxyEnable", &enabled, &error)) {
    OV_LOG(kLogTrace, "プロキシ設定取得失敗[ERR:0x%08lX]", static_cast<DWORD>(error));
    return std::wstring();
  }
  if (enabled == 0) {
    OV_LOG(kLogTrace, "プロキシ設定無し");
    return std::wstring();
  }
  std::string server;
  if (!ReadSettingText("ProxyServer", &server, &error)) {
    OV_LOG(kLogTrace, "プロキシサーバ取得失敗[ERR:0x%08lX]", static_cast<DWORD>(error));
    return std::wstring();
  }
  OV_LOG(kLogTrace, "プロキシサーバ取得[SVR:%s]", server.c_str());
  return ToWide(server);
}

}  // namespace

std::wstring CWinHttpWrapper::_GetProxy(const std::wstring& url) {
  std::wstring proxy = AutoProxyFor(url);
  if (proxy.empty()) proxy = ManualProxy();
  return proxy;
}

void CWinHttpWrapper::StoreProcessProxy(const std::wstring& proxy) {
  std::lock_guard<std::mutex> hold(g_proxy_lock);
  g_proxy = proxy;
}

std::wstring CWinHttpWrapper::GetProcessProxy() {
  std::lock_guard<std::mutex> hold(g_proxy_lock);
  return g_proxy;
}

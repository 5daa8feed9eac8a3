// The HTTP client; see WinHttpWrapper.h. The proxy lookup is in
// WinHttpProxy.cpp, the reading of the reply in WinHttpTransfer.cpp.
#include "WinHttpWrapper.h"

#include <exception>
#include <new>
#include <process.h>

#include "ConnectionFile.h"
#include "Log.h"
#include "StringUtil.h"
#include "Version.h"

const HttpTimeouts CWinHttpWrapper::kDefaultTimeouts = {0, 60000, 30000, 30000};
const HttpTimeouts CWinHttpWrapper::kLongUploadTimeouts = {0, 60000, 240000, 240000};

namespace {

const wchar_t* const kVerbs[] = {L"GET", L"POST", L"HEAD"};

int CachedOSType() {
  static const int os_type = GetOSType();
  return os_type;
}

}  // namespace

CWinHttpWrapper::CWinHttpWrapper(const char* /*unused_text*/) {
  const std::string name = FormatString("EventHttpAbort_%lX", GetCurrentThreadId());
  _run_event.Reset(CreateEventA(nullptr, TRUE, TRUE, name.c_str()));
}

CWinHttpWrapper::~CWinHttpWrapper() {
  // A worker still running would use the handles and buffers below.
  if (IsRunning()) Stop(25000);
  EndKeptWorker();
  CloseHandles();
}

void CWinHttpWrapper::KeepSession(bool keep) {
  if (!keep && !IsRunning()) EndKeptWorker();
  _keep_session = keep;
}

bool CWinHttpWrapper::IsRunning() const {
  if (_kept_worker && WaitForSingleObject(_transfer_done.Get(), 0) == WAIT_TIMEOUT) return true;
  return _thread && WaitForSingleObject(_thread.Get(), 0) == WAIT_TIMEOUT;
}

void CWinHttpWrapper::CloseHandles() {
  _request.Reset();
  _connection.Reset();
  _session.Reset();
  _file.Reset();
}

bool CWinHttpWrapper::IsAborted() const {
  return WaitForSingleObject(_run_event.Get(), 0) != WAIT_OBJECT_0;
}

std::string CWinHttpWrapper::UrlForLog() const { return MaskRequestSecrets(ToMultiByte(_url)); }

bool CWinHttpWrapper::SetRequest(const char* url, DWORD value, const char* file_name,
                                 bool collect_in_memory) {
  if (IsRunning() || RequestOpen()) return false;
  _thread.Reset();
  _reply.clear();
  _reply.shrink_to_fit();
  _body.clear();
  _received = 0;
  _result = 0;
  SetEvent(_run_event.Get());
  _url = url ? ToWide(url) : std::wstring();
  _value = value;
  if (file_name) {
    _file_name = file_name;
    _collect_in_memory = collect_in_memory;
  } else {
    _file_name.clear();
  }
  _host.clear();
  _path_and_query.clear();
  _port = 0;
  _secure = false;
  _headers.clear();
  _user.clear();
  _password.clear();
  _digest_answered = false;
  return true;
}

bool CWinHttpWrapper::OpenRequest(int verb, const std::wstring& user_agent, const wchar_t* proxy) {
  if (verb < 0 || verb >= 3) {
    OV_LOG(kLogError, "HTTPVerb指定が不正 HTTPVerbType:%d", verb);
    return false;
  }
  if (IsRunning() || RequestOpen()) return false;
  _verb = verb;
  if (_url.empty()) {
    OV_LOG(kLogError, "接続先URLが未設定");
    return false;
  }
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(_url.c_str(), 0, 0, &parts)) {
    OV_LOG(kLogError, "接続先URL解析に失敗[ERR:0x%08lX]", GetLastError());
    return false;
  }
  _host.assign(parts.lpszHostName, parts.dwHostNameLength);
  // The path runs on through the query.
  _path_and_query = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath) : std::wstring();
  if (_path_and_query.empty()) _path_and_query = L"/";
  // The scheme decides TLS, and the URL's port (its scheme's when it names
  // none) is the port: a certificate check is never given up for a port.
  _secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  _port = parts.nPort;

  const std::wstring proxy_text = proxy ? std::wstring(proxy) : _GetProxy(_url);
  StoreProcessProxy(proxy_text);
  if (!OpenSession(user_agent, proxy_text)) return false;
  const wchar_t* accept[] = {L"*/*", nullptr};
  const DWORD flags = WINHTTP_FLAG_REFRESH | (_secure ? WINHTTP_FLAG_SECURE : 0);
  _request.Reset(WinHttpOpenRequest(_connection.Get(), kVerbs[verb], _path_and_query.c_str(),
                                    nullptr, WINHTTP_NO_REFERER, accept, flags));
  if (!_request) {
    OV_LOG(kLogError, "WinHttpOpenRequest失敗[ERR:0x%08lX]", GetLastError());
    CloseHandles();
    return false;
  }
  if (!ApplyTimeouts(_timeouts)) {
    OV_LOG(kLogError, "WinHttpSetTimeouts失敗[ERR:0x%08lX]", GetLastError());
    CloseHandles();
    return false;
  }
  return true;
}

bool CWinHttpWrapper::OpenSession(const std::wstring& user_agent, const std::wstring& proxy) {
  // The log tells which proxy each request goes through, kept session or not.
  if (!proxy.empty()) {
    OV_LOG(kLogTrace, "WinHttpOpen Proxy:%s", ToMultiByte(proxy).c_str());
  } else {
    OV_LOG(kLogTrace, "WinHttpOpen WINHTTP_NO_PROXY_NAME");
  }
  // A connection names the server and port; TLS is asked for per request.
  if (_session && _connection && _session_agent == user_agent && _session_proxy == proxy &&
      _wcsicmp(_session_host.c_str(), _host.c_str()) == 0 && _session_port == _port) {
    return true;
  }
  CloseHandles();
  if (!proxy.empty()) {
    _session.Reset(WinHttpOpen(user_agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(),
                               WINHTTP_NO_PROXY_BYPASS, 0));
  } else {
    _session.Reset(WinHttpOpen(user_agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!_session) {
    OV_LOG(kLogError, "WinHttpOpen失敗[ERR:0x%08lX]", GetLastError());
    return false;
  }
  _connection.Reset(WinHttpConnect(_session.Get(), _host.c_str(), _port, 0));
  if (!_connection) {
    OV_LOG(kLogError, "WinHttpConnect失敗[ERR:0x%08lX]", GetLastError());
    CloseHandles();
    return false;
  }
  _session_agent = user_agent;
  _session_proxy = proxy;
  _session_host = _host;
  _session_port = _port;
  return true;
}

bool CWinHttpWrapper::ApplyTimeouts(const HttpTimeouts& timeouts) {
  DWORD response_timeout = static_cast<DWORD>(timeouts.receive_ms);
  // Without this option Wine waits for the response headers for ever.
  return WinHttpSetTimeouts(_request.Get(), timeouts.resolve_ms, timeouts.connect_ms,
                            timeouts.send_ms, timeouts.receive_ms) &&
         WinHttpSetOption(_request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                          &response_timeout, sizeof(response_timeout));
}

HANDLE CWinHttpWrapper::Upload(const void* body, DWORD length, const char* content_type,
                               const wchar_t* user, const wchar_t* password) {
  if (!_session || !_connection || !_request || IsRunning()) return nullptr;
  SetEvent(_run_event.Get());
  if (!content_type) {
    OV_LOG(kLogError, "アップロード要求時のパラメータ不正 0x%p, 0x%08lX, 0x%08X, 0x%08X, ", body,
           length, 0u, 0u);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  _headers = content_type[0] ? L"Content-Type:" + ToWide(content_type) : std::wstring();
  if (user && password) {
    _user = user;
    _password = password;
  }
  TakeBody(body, length);
  return StartWorker(kWorkerUpload);
}

HANDLE CWinHttpWrapper::UploadMultiPart(const void* body, DWORD length, const char* boundary,
                                        const char* content_type) {
  if (!_session || !_connection || !_request || IsRunning()) return nullptr;
  SetEvent(_run_event.Get());
  if (!boundary || !boundary[0]) {
    OV_LOG(kLogError, "アップロード要求時のパラメータ不正 バウンダリー未指定 0x%p, 0x%08lX", body,
           length);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  _headers.clear();
  if (content_type && content_type[0]) {
    _headers =
        L"Content-Type:" + ToWide(content_type) + L"; boundary=\"" + ToWide(boundary) + L"\"";
  }
  TakeBody(body, length);
  return StartWorker(kWorkerMultiPart);
}

void CWinHttpWrapper::TakeBody(const void* body, DWORD length) {
  const char* bytes = static_cast<const char*>(body);
  _body.assign(bytes, bytes + (bytes ? length : 0));
  if (_body.size() >= kLongUploadSize && CachedOSType() >= kOSWinServer2008) {
    const bool ok = ApplyTimeouts(kLongUploadTimeouts);
    OV_LOG(kLogInfo, "WinHttpSetTimeouts設定 %s [ERR:0x%08lX]", ok ? "成功" : "失敗",
           ok ? 0ul : GetLastError());
  }
}

HANDLE CWinHttpWrapper::Download(const wchar_t* user, const wchar_t* password) {
  if (!_session || !_connection || !_request || IsRunning()) return nullptr;
  SetEvent(_run_event.Get());
  _headers.clear();
  _body.clear();
  if (user && password) {
    _user = user;
    _password = password;
  }
  return StartWorker(kWorkerGet);
}

HANDLE CWinHttpWrapper::StartWorker(WorkerKind kind) {
  _worker_kind = kind;
  _result = 0;
  _thread.Reset();
  if (_keep_session) return StartKeptTransfer();
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, &CWinHttpWrapper::ThreadMain, this, 0, nullptr);
  if (thread == 0) return StartFailed();
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  return _thread.Get();
}

HANDLE CWinHttpWrapper::StartFailed() {
  const DWORD error = GetLastError();
  CloseHandles();
  SetLastError(error);
  return nullptr;
}

HANDLE CWinHttpWrapper::StartKeptTransfer() {
  // A kept worker that ended (it never should) is replaced.
  if (_kept_worker && WaitForSingleObject(_kept_worker.Get(), 0) != WAIT_TIMEOUT) {
    _kept_worker.Reset();
  }
  if (!_kept_worker) {
    if (!_transfer_ready) _transfer_ready.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!_transfer_done) _transfer_done.Reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    _kept_worker_ends = false;
    const uintptr_t thread =
        _transfer_ready && _transfer_done
            ? _beginthreadex(nullptr, 0, &CWinHttpWrapper::KeptWorkerMain, this, 0, nullptr)
            : 0;
    if (thread == 0) return StartFailed();
    _kept_worker.Reset(reinterpret_cast<HANDLE>(thread));
  }
  ResetEvent(_transfer_done.Get());
  SetEvent(_transfer_ready.Get());
  return _transfer_done.Get();
}

void CWinHttpWrapper::EndKeptWorker() {
  if (!_kept_worker) return;
  // Idle by now: it sees the end at once.
  _kept_worker_ends = true;
  SetEvent(_transfer_ready.Get());
  if (WaitForSingleObject(_kept_worker.Get(), 25000) != WAIT_OBJECT_0) {
    TerminateThread(_kept_worker.Get(), 0);
    WaitForSingleObject(_kept_worker.Get(), INFINITE);
  }
  _kept_worker.Reset();
}

DWORD CWinHttpWrapper::RunGuarded() {
  // Whatever happens, the transfer ends with its handles closed and a
  // result the waiting caller can read.
  DWORD result = ERROR_INTERNAL_ERROR;
  try {
    return RunWorker();
  } catch (const std::bad_alloc& e) {
    OV_LOG(kLogError, "HTTP転送スレッドの例外 %s", e.what());
    result = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "HTTP転送スレッドの例外 %s", e.what());
  } catch (...) {
    OV_LOG(kLogError, "HTTP転送スレッドの例外 不明な例外");
  }
  FinishTransfer(result);
  return result;
}

unsigned __stdcall CWinHttpWrapper::ThreadMain(void* context) {
  return static_cast<unsigned>(static_cast<CWinHttpWrapper*>(context)->RunGuarded());
}

unsigned __stdcall CWinHttpWrapper::KeptWorkerMain(void* context) {
  CWinHttpWrapper* self = static_cast<CWinHttpWrapper*>(context);
  for (;;) {
    if (WaitForSingleObject(self->_transfer_ready.Get(), INFINITE) != WAIT_OBJECT_0) return 1;
    if (self->_kept_worker_ends) return 0;
    self->RunGuarded();
    SetEvent(self->_transfer_done.Get());
  }
}

bool CWinHttpWrapper::Stop(DWORD ms) {
  ResetEvent(_run_event.Get());
  // The kept worker outlives its transfers: its end-of-transfer event tells.
  const bool kept = _kept_worker && !_thread;
  const HANDLE transfer = kept ? _transfer_done.Get() : _thread.Get();
  if (!transfer) return true;
  const DWORD wait = WaitForSingleObject(transfer, ms);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    _thread.Reset();
    return true;
  }
  if (wait == WAIT_TIMEOUT) {
    OV_LOG(kLogError, "中断要求にタイムアウトしました[ERR:0x%08lX]", GetLastError());
    CHandle worker(kept ? _kept_worker.Detach() : _thread.Detach());
    TerminateThread(worker.Get(), 0);
    WaitForSingleObject(worker.Get(), INFINITE);
    if (kept) SetEvent(_transfer_done.Get());
    // The worker never closed its handles nor stored its result.
    CloseHandles();
    _result = ERROR_REQUEST_ABORTED;
    return false;
  }
  OV_LOG(kLogError, "中断要求に失敗しました[ERR:0x%08lX]", GetLastError());
  return false;
}

// CWinHttpWrapper: the one HTTP client of the programs. WinHTTP in synchronous
// mode, one transfer at a time per object, each on a worker thread of its own
// (or, with KeepSession, on one worker kept for all of them): a form or
// multipart POST, or a GET; the reply goes to memory or to a file.
//
// Threads: the caller's thread prepares (SetRequest, OpenRequest) and starts
// a transfer (Upload, UploadMultiPart, Download), then waits on the returned
// handle and reads the result. The worker sends, receives, writes the
// sink and closes the WinHTTP handles. Any thread may call Stop. The only
// signal between them is the run event "EventHttpAbort_%X", named after the
// constructing thread, so every wrapper built on one thread shares it: set
// means go on, reset aborts their transfers with 1235.
//
// Results: 0 success; status | 0x10000000 for a status outside 200-299; 1235
// aborted; 12002 when the reading stalls or times out; else the error of the
// failing call.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Handle.h"
#include "OvWindows.h"

struct WinHttpHandleTraits {
  using Type = HINTERNET;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::WinHttpCloseHandle(h); }
};
using CWinHttpHandle = CScopedHandle<WinHttpHandleTraits>;

enum HttpVerb { kHttpGet = 0, kHttpPost = 1, kHttpHead = 2 };

constexpr DWORD kHttpStatusFlag = 0x10000000;

struct HttpTimeouts {
  int resolve_ms;
  int connect_ms;
  int send_ms;
  int receive_ms;  // also the wait for the response headers
};

class CWinHttpWrapper final {
 public:
  // Bodies from this size on get the long time-outs on newer systems.
  static constexpr DWORD kLongUploadSize = 512000;
  static const HttpTimeouts kDefaultTimeouts;
  static const HttpTimeouts kLongUploadTimeouts;

  explicit CWinHttpWrapper(const char* unused_text = nullptr);
  ~CWinHttpWrapper();
  CWinHttpWrapper(const CWinHttpWrapper&) = delete;
  CWinHttpWrapper& operator=(const CWinHttpWrapper&) = delete;

  // Prepares a transfer; refused while handles are open or a worker runs.
  // file_name: the reply's file (none: memory only). With a file name,
  // collect_in_memory chooses between saving the whole reply after a
  // success (true) and appending each piece as it comes (false).
  bool SetRequest(const char* url, DWORD value, const char* file_name, bool collect_in_memory);
  // verb: HttpVerb. proxy: null looks the proxy up for the URL; "" means none.
  bool OpenRequest(int verb, const std::wstring& user_agent, const wchar_t* proxy);

  // Each returns the worker's thread handle (with KeepSession the kept
  // worker's end-of-transfer event), owned by this object, or null.
  HANDLE Upload(const void* body, DWORD length, const char* content_type, const wchar_t* user,
                const wchar_t* password);
  HANDLE UploadMultiPart(const void* body, DWORD length, const char* boundary,
                         const char* content_type);
  HANDLE Download(const wchar_t* user, const wchar_t* password);

  // Aborts the transfers of every wrapper sharing the run event and waits up
  // to ms for this one's worker, ending it by force after that (false).
  bool Stop(DWORD ms);

  // Read after the worker has ended.
  DWORD GetResult() const { return _result.load(); }
  const std::vector<char>& GetReply() const { return _reply; }
  uint64_t GetReceivedSize() const { return _received; }
  DWORD GetValue() const { return _value; }

  void SetProgressTarget(HWND window, UINT message) {
    _progress_window = window;
    _progress_message = message;
  }
  // Sees every run of bytes appended to the reply's file, after it was
  // written, in order (a file sink without collect_in_memory): a caller can
  // sum what it stores without reading the file again. Called on the
  // worker; set it before the transfer starts. Kept until set again.
  using FileTap = std::function<void(const char* data, DWORD size)>;
  void SetFileTap(FileTap tap) { _file_tap = std::move(tap); }
  // For a caller fetching many files one after another: keeps the session
  // and its connection once a transfer has succeeded, for the next request
  // to the same server with the same user agent and proxy, and one worker
  // thread that waits between the transfers (starting a thread costs more
  // under Wine than a small request). A failed, aborted or stopped transfer
  // drops the session, so a retry starts afresh. The transfer starts then
  // return an event that is set when the transfer has ended, in place of
  // the worker's handle. Off by default; set it while no transfer runs.
  void KeepSession(bool keep);
  // For callers that cannot wait as long as the platform would, and tests.
  void SetTimeouts(const HttpTimeouts& timeouts) { _timeouts = timeouts; }
  // The pause after an empty read (100 ms); tests shorten it.
  void SetEmptyReadPause(DWORD ms) { _empty_read_pause_ms = ms; }
  HANDLE GetRunEvent() const { return _run_event.Get(); }

  // The proxy of the process, as the last lookup found it.
  static std::wstring GetProcessProxy();
  static std::wstring _GetProxy(const std::wstring& url);

 private:
  enum WorkerKind { kWorkerUpload, kWorkerMultiPart, kWorkerGet };

  static void StoreProcessProxy(const std::wstring& proxy);

  bool IsRunning() const;
  bool RequestOpen() const { return static_cast<bool>(_request); }
  void CloseHandles();
  // The session and connection of the next request: the kept ones when
  // they fit it, else new ones; false (logged) when they cannot be made.
  bool OpenSession(const std::wstring& user_agent, const std::wstring& proxy);
  bool IsAborted() const;
  // IsAborted, asked only when the last asking lies a while back.
  bool AbortSeen(DWORD* last_asked) const;
  std::string UrlForLog() const;
  void TakeBody(const void* body, DWORD length);
  HANDLE StartWorker(WorkerKind kind);
  HANDLE StartKeptTransfer();
  // A transfer that could not start: its handles closed, the platform error
  // kept as the last error; answers null.
  HANDLE StartFailed();
  void EndKeptWorker();
  static unsigned __stdcall ThreadMain(void* context);
  static unsigned __stdcall KeptWorkerMain(void* context);
  // RunWorker behind the thread's catch-all barrier.
  DWORD RunGuarded();
  DWORD RunWorker();
  DWORD SendRequest();
  void ApplyCredentials();
  bool ApplyTimeouts(const HttpTimeouts& timeouts);
  DWORD _GetResponse();
  DWORD ReceiveResponse();
  bool AnswerDigestChallenge();
  DWORD QueryStatus(DWORD* status);
  DWORD QueryContentLength(int64_t* length);
  DWORD ReadBody(int64_t content_length);
  DWORD WriteToSink(const char* data, DWORD size);
  DWORD SaveReplyToFile();
  void FinishTransfer(DWORD result);

  // Request.
  std::wstring _url;
  std::wstring _host;
  std::wstring _path_and_query;
  INTERNET_PORT _port = 0;
  bool _secure = false;
  int _verb = kHttpGet;
  DWORD _value = 0;
  std::wstring _headers;
  std::wstring _user;
  std::wstring _password;
  std::vector<char> _body;
  HttpTimeouts _timeouts = kDefaultTimeouts;
  DWORD _empty_read_pause_ms = 100;
  bool _digest_answered = false;

  // Handles: opened by the caller's thread, used and closed by the worker
  // (the session and connection stay open after a success with
  // KeepSession; what they were opened for is kept beside them).
  CWinHttpHandle _session;
  CWinHttpHandle _connection;
  CWinHttpHandle _request;
  bool _keep_session = false;
  std::wstring _session_agent;
  std::wstring _session_proxy;
  std::wstring _session_host;
  INTERNET_PORT _session_port = 0;
  CHandle _run_event;
  CHandle _thread;
  // The kept worker: it waits for _transfer_ready (auto-reset), runs the
  // transfer and sets _transfer_done (manual-reset, set while idle).
  CHandle _kept_worker;
  CHandle _transfer_ready;
  CHandle _transfer_done;
  std::atomic<bool> _kept_worker_ends{false};
  WorkerKind _worker_kind = kWorkerUpload;
  std::atomic<DWORD> _result{0};

  // Reply sink.
  bool _collect_in_memory = true;
  std::string _file_name;
  CFileHandle _file;  // open while an appending transfer runs
  std::vector<char> _reply;
  uint64_t _received = 0;
  HWND _progress_window = nullptr;  // not owned
  UINT _progress_message = 0;
  FileTap _file_tap;
};

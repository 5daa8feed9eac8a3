// The launcher's download-page question; see DownloadUrlThread.h.
#include "DownloadUrlThread.h"

#include <process.h>

#include <exception>
#include <vector>

#include "AnalyzeRegistData.h"
#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "HttpExchange.h"
#include "Log.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace ui {

namespace {

constexpr int kLatestVersionConnection = 5;
constexpr int32_t kApplicationType = 1;
constexpr DWORD kHttpStopWaitMs = 25000;
constexpr uint32_t kTransferMask = 0xEFFFFFFF;
constexpr uint32_t kAnalyzerMask = 0x7FFFFFFF;

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

}  // namespace

// One question; the thread writes `url` before it posts its result.
class CDownloadUrlThread::CJob final {
 public:
  CJob(HWND window, UINT message, char drive, HANDLE stop_event)
      : _window(window), _message(message), _drive(drive), _stop_event(stop_event) {}
  CJob(const CJob&) = delete;
  CJob& operator=(const CJob&) = delete;

  static unsigned __stdcall ThreadMain(void* context) {
    static_cast<CJob*>(context)->Run();
    return 0;
  }

  std::string url;

 private:
  void Run() {
    uint32_t result = kUrlWaitFailed;
    try {
      result = Ask();
    } catch (const std::exception& e) {
      OV_LOG(kLogError, "PCアプリダウンロードURL取得中の例外 %s", e.what());
    } catch (...) {
      OV_LOG(kLogError, "PCアプリダウンロードURL取得中の例外");
    }
    if (result == kUrlOk) {
      OV_LOG(kLogInfo, "PCアプリダウンロードURL取得終了");
    } else {
      url.clear();
      OV_LOG(kLogError, "PCアプリダウンロードURL取得失敗[RET:0x%08X]", U(result));
    }
    ::PostMessageA(_window, _message, 0, static_cast<LPARAM>(result));
  }

  std::string UserAgent() const {
    std::string text;
    if (_drive != 0) {
      text = GetUserAgent(_drive).GetUserAgentA();
    } else {
      CUserListFile users;
      std::string device_no;
      uint32_t ccid = 0;
      int unit = 0;
      if (users.Load()) users.GetLastUser(&device_no, &ccid, &text, &unit);
    }
    return text;
  }

  uint32_t Ask() {
    OV_LOG(kLogInfo, "PCアプリダウンロードURL取得開始");
    CConnectionFile connections;
    ConnectionParameterData parameters;
    parameters.SetAplParameters(kApplicationType);
    connections.SetParameters(parameters);
    std::string body;
    if (!connections.BuildFormData(kLatestVersionConnection, &body) || body.empty()) {
      OV_LOG(kLogError, "PCアプリダウンロードURL取得時のPOSTデータ生成失敗[ERR:0x%08X]",
             U(GetLastError()));
      return kUrlNoRequestData;
    }
    const std::string address = connections.GetUrl(kLatestVersionConnection);
    CWinHttpWrapper http;
    if (address.empty() || !http.SetRequest(address.c_str(), 0, nullptr, true)) {
      OV_LOG(kLogError, "PCアプリダウンロードURL取得初期化時の失敗[ERR:0x%08X]", U(GetLastError()));
      return kUrlHttpFailed;
    }
    const std::string user_agent = UserAgent();
    if (user_agent.empty()) {
      OV_LOG(kLogError, "UserAgent取得失敗 SD:%C", _drive ? _drive : ' ');
      return kUrlNoUserAgent;
    }
    if (!http.OpenRequest(kHttpPost, ToWide(user_agent), nullptr)) {
      OV_LOG(kLogError, "PCアプリダウンロードURL取得接続時の失敗[ERR:0x%08X]", U(GetLastError()));
      return kUrlHttpFailed;
    }
    const HANDLE transfer = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                        "application/x-www-form-urlencoded", nullptr, nullptr);
    // No time limit of our own: the HTTP client has its own, and the window
    // stops the question when it closes.
    DWORD wait_error = 0;
    const TransferEnd end = WaitOrStop(http, transfer, _stop_event, kHttpStopWaitMs, &wait_error);
    if (end != TransferEnd::kDone) {
      OV_LOG(kLogError, "PCアプリダウンロードURLダウンロード時の失敗[ERR:0x%08X]",
             U(end == TransferEnd::kAborted ? ERROR_CANCELLED : wait_error));
      return kUrlWaitFailed;
    }
    const DWORD transferred = http.GetResult();
    if (transferred != 0) {
      OV_LOG(kLogError, "PCアプリダウンロードURLダウンロード時の失敗[nResponse:0x%08X]",
             U(transferred));
      return (transferred & kTransferMask) + kUrlTransferError;
    }
    const std::vector<char>& reply = http.GetReply();
    std::string version;
    const uint32_t analyzed = AnalyzeLatestVersion(reply.data(), reply.size(), &url, &version);
    if (analyzed != reply::kOk) {
      OV_LOG(kLogError, "PCアプリダウンロードURLダウンロード時の失敗[AnalyzeERR:0x%08X]",
             U(analyzed));
      return (analyzed & 0x80000000u) ? ((analyzed & kAnalyzerMask) | kUrlServerError)
                                      : kUrlServerError;
    }
    return kUrlOk;
  }

  HWND _window;  // not owned
  UINT _message;
  char _drive;
  HANDLE _stop_event;  // not owned
};

CDownloadUrlThread::CDownloadUrlThread()
    : _stop_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (!_stop_event) {
    OV_LOG(kLogError, "CDownloadUrlThread - イベント作成失敗 ERR:0x%08X", U(GetLastError()));
  }
}

CDownloadUrlThread::~CDownloadUrlThread() { Stop(); }

bool CDownloadUrlThread::Start(HWND window, UINT message, char drive) {
  if (IsRunning() || !_stop_event) return false;
  ResetEvent(_stop_event.Get());
  _job = std::make_unique<CJob>(window, message, drive, _stop_event.Get());
  const uintptr_t thread = _beginthreadex(nullptr, 0, &CJob::ThreadMain, _job.get(), 0, nullptr);
  if (thread == 0) {
    OV_LOG(kLogError, "PCアプリダウンロードURL取得スレッド開始失敗 ERR:0x%08X", U(GetLastError()));
    _job.reset();
    return false;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  return true;
}

void CDownloadUrlThread::Join() {
  if (!_thread) return;
  WaitForSingleObject(_thread.Get(), INFINITE);
  _thread.Reset();
}

void CDownloadUrlThread::Stop() {
  if (!_thread) return;
  SetEvent(_stop_event.Get());
  Join();
}

const std::string& CDownloadUrlThread::Url() const {
  static const std::string kNone;
  return _job ? _job->url : kNone;
}

}  // namespace ui

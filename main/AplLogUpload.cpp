// The log upload's jobs; see AplLogUpload.h.
//
// A job copies what it needs when it starts and keeps its own result, so the
// owner's thread never races the worker. The clean-up after an upload deletes
// a log only when it was copied into the zip and has not changed since: a log
// skipped for its size, one whose copy failed and lines written after the
// copy would otherwise be lost unsent.
#include "AplLogUpload.h"

#include <process.h>

#include <cstring>
#include <exception>
#include <vector>

#include "AnalyzeRegistData.h"
#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "Folders.h"
#include "HttpExchange.h"
#include "Log.h"
#include "StringUtil.h"
#include "Version.h"
#include "WinHttpWrapper.h"
#include "zlib/ZipIF.h"

using namespace logupload;

namespace {

constexpr DWORD kStartWaitMs = 1500;
constexpr DWORD kHttpStopWaitMs = 25000;
constexpr int kPermissionConnection = 23;
constexpr int kUploadConnection = 24;
constexpr uint32_t kTransferMask = 0xEFFFFFFF;
constexpr uint32_t kAnalyzerMask = 0x7FFFFFFF;

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

// What tells the permission check's lines from the upload's.
struct ExchangeNames {
  int connection;
  const char* function;  // "_CheckPermission"
  const char* what;      // "ログアップロード許可確認"
};
const ExchangeNames kPermissionNames = {kPermissionConnection, "_CheckPermission",
                                        "ログアップロード許可確認"};
const ExchangeNames kUploadNames = {kUploadConnection, "_SendLogFile", "ログアップロード"};

// True for a path strictly below the folder (which ends in a backslash),
// without a way back up.
bool IsInsideFolder(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  if (_strnicmp(path.c_str(), folder.c_str(), folder.size()) != 0) return false;
  return path.find("..", folder.size()) == std::string::npos;
}

bool SameFileTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

// One job: its inputs as Start found them, its result, and the logs it copied.
class CAplLogUpload::CJob final {
 public:
  struct Input {
    int kind = -1;
    HWND window = nullptr;  // not owned
    UINT message = 0;
    uint32_t ccid = 0;
    std::string device_no;
    std::string user_agent;
    std::string send_file;
    std::string collect_folder;
    HANDLE cancel_event = nullptr;  // not owned
    HANDLE stop_event = nullptr;    // not owned
  };

  CJob(Input input, std::atomic<uint32_t>* result, std::atomic<uint32_t>* detail)
      : _in(std::move(input)), _result_out(result), _detail_out(detail) {}
  CJob(const CJob&) = delete;
  CJob& operator=(const CJob&) = delete;

  // The whole job on the worker: its steps, the outcome for the owner and
  // the one completion message.
  void Run() {
    try {
      if (_in.kind == kJobPermission) {
        _PermissionThread();
      } else {
        _UploadThread();
      }
    } catch (const std::exception& e) {
      OV_LOG(kLogError, "CAplLogUpload - 処理中の例外 %s", e.what());
      Fail(kThreadFailed, ERROR_INTERNAL_ERROR);
    } catch (...) {
      OV_LOG(kLogError, "CAplLogUpload - 処理中の例外");
      Fail(kThreadFailed, ERROR_INTERNAL_ERROR);
    }
    _result_out->store(_result);
    _detail_out->store(_detail);
    PostMessageA(_in.window, _in.message, _result, _detail);
  }

 private:
  struct CopiedLog {
    std::string path;
    ULARGE_INTEGER size;
    FILETIME written;
  };

  bool Fail(uint32_t result, uint32_t detail) {
    _result = result;
    _detail = detail;
    return false;
  }

  // The named cancel event is auto-reset: once seen, the job remembers it.
  bool IsCancelled() {
    if (_cancelled) return true;
    const HANDLE events[] = {_in.cancel_event, _in.stop_event};
    const DWORD wait = WaitForMultipleObjects(2, events, FALSE, 0);
    _cancelled = wait == WAIT_OBJECT_0 || wait == WAIT_OBJECT_0 + 1;
    return _cancelled;
  }

  // False (result 0xFF00) once the job has been told to stop.
  bool GoOn() {
    if (!IsCancelled()) return true;
    OV_LOG(kLogInfo, "CAplLogUpload::_UploadThread - ユーザキャンセル");
    return Fail(kCancelled, 0);
  }

  void _PermissionThread() {
    bool permitted = false;
    if (_CheckPermission(&permitted)) Fail(permitted ? kDone : kNotWanted, 0);
  }

  void _UploadThread() {
    const std::vector<std::string> folders = CollectLogFolders();
    bool sent = true;
    for (const std::string& folder : folders) {
      if (!GoOn() || !_CollectLogFiles(folder)) {
        sent = false;
        break;
      }
    }
    if (sent && GoOn()) {
      _CollectPCInfo();
      sent = GoOn() && _CreateSendFile() && GoOn() && _SendLogFile();
    } else {
      sent = false;
    }
    if (sent) {
      for (const std::string& folder : folders) _ClearLogFiles(folder);
    }
    RemoveSendFiles();
  }

  bool _CheckPermission(bool* permitted) {
    CConnectionFile connections;
    ConnectionParameterData parameters;
    std::string body;
    if (parameters.SetDeviceParameters(_in.device_no.c_str(), _in.ccid)) {
      connections.SetParameters(parameters);
      if (!connections.BuildFormData(kPermissionConnection, &body)) body.clear();
    }
    if (body.empty()) {
      OV_LOG(kLogError,
             "CAplLogUpload::_CheckPermission - ログアップロード許可確認時のパラメータ生成失敗");
      return Fail(kParameterFailed, 0);
    }
    std::string reply;
    if (!Exchange(kPermissionNames, connections, body, false, &reply)) return false;
    const uint32_t analyzed = AnalyzeLogUploadPermission(reply.data(), reply.size(), permitted);
    if (analyzed != reply::kOk) {
      OV_LOG(kLogError,
             "AplLogUpload::_CheckPermission - "
             "ログアップロード許可確認時のサーバーレスポンスエラー [AnalyzeERR:0x%08X]",
             U(analyzed));
      return Fail(kServerError | (analyzed & kAnalyzerMask), 0);
    }
    return true;
  }

  bool _SendLogFile() {
    CConnectionFile connections;
    ConnectionParameterData parameters;
    std::string body;
    DWORD error = 0;
    if (parameters.SetLogFileParameters(_in.device_no.c_str(), _in.ccid, _in.send_file.c_str())) {
      connections.SetParameters(parameters);
      if (!connections.BuildMultipartData(kUploadConnection, &body)) body.clear();
    }
    if (body.empty()) {
      error = GetLastError();
      OV_LOG(kLogError, "CAplLogUpload::_SendLogFile - ログアップロード時のパラメータ生成失敗");
      return Fail(kParameterFailed, error);
    }
    OV_LOG(kLogInfo, "CAplLogUpload::_SendLogFile - ログアップロードデータサイズ %dbyte",
           static_cast<int>(body.size()));
    std::string reply;
    if (!Exchange(kUploadNames, connections, body, true, &reply)) return false;
    const uint32_t analyzed = AnalyzeLogUploadResult(reply.data(), reply.size());
    if (analyzed != reply::kOk) {
      OV_LOG(kLogError,
             "AplLogUpload::_SendLogFile - ログアップロード時のサーバーレスポンスエラー "
             "[AnalyzeERR:0x%08X]",
             U(analyzed));
      return Fail(kServerError | (analyzed & kAnalyzerMask), 0);
    }
    return true;
  }

  // Posts the body to the connection and waits for the reply, the cancel
  // event or the owner's stop. True with the reply when the service answered
  // with a success status; else the result is set.
  bool Exchange(const ExchangeNames& names, CConnectionFile& connections, const std::string& body,
                bool multipart, std::string* reply) {
    const std::string url = connections.GetUrl(names.connection);
    CWinHttpWrapper http;
    if (url.empty() || !http.SetRequest(url.c_str(), 0, nullptr, true)) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "CAplLogUpload::%s - %s時のHTTP生成失敗[ERR:0x%08X]", names.function,
             names.what, U(error));
      return Fail(kHttpSetupFailed, error);
    }
    if (!http.OpenRequest(kHttpPost, ToWide(_in.user_agent), nullptr)) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "AplLogUpload::%s - %s時の接続試行失敗[ERR:0x%08X]", names.function,
             names.what, U(error));
      return Fail(kHttpSetupFailed, error);
    }
    const DWORD length = static_cast<DWORD>(body.size());
    const HANDLE transfer =
        multipart ? http.UploadMultiPart(body.data(), length, CConnectionFile::kBoundary,
                                         "multipart/form-data")
                  : http.Upload(body.data(), length, "application/x-www-form-urlencoded", nullptr,
                                nullptr);
    DWORD wait_error = 0;
    const TransferEnd end = WaitOrStop(http, transfer, {_in.cancel_event, _in.stop_event},
                                       kHttpStopWaitMs, &wait_error);
    OV_LOG(kLogInfo, "AplLogUpload::%s - %s通信完了", names.function, names.what);
    if (end == TransferEnd::kDone) {
      const DWORD transferred = http.GetResult();
      if (transferred != 0) {
        OV_LOG(kLogError, "AplLogUpload::%s - %s時の通信異常失敗[nResponse:0x%08X]", names.function,
               names.what, U(transferred));
        // A status is no platform error; any other value is one.
        const DWORD detail = (transferred & kHttpStatusFlag) ? 0 : transferred;
        return Fail(kTransferError | (transferred & kTransferMask), detail);
      }
      reply->assign(http.GetReply().begin(), http.GetReply().end());
      return true;
    }
    if (end == TransferEnd::kAborted) {
      _cancelled = true;
      OV_LOG(kLogInfo, "AplLogUpload::%s - %s時のユーザキャンセル", names.function, names.what);
      return Fail(kCancelled, 0);
    }
    OV_LOG(kLogError, "AplLogUpload::%s - %s時の失敗[ERR:0x%08X]", names.function, names.what,
           U(wait_error));
    return Fail(kThreadFailed, wait_error);
  }

  bool _CollectLogFiles(const std::string& folder) {
    if (folder.empty()) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectLogFiles - パス指定不正");
      return Fail(kBadArgument, 0);
    }
    if (!CreateFolderTree(_in.collect_folder)) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectLogFiles - 収集フォルダ作成失敗 %s ERR:0x%08X",
             _in.collect_folder.c_str(), U(GetLastError()));
    }
    const std::string base = PathAddBackslash(folder);
    WIN32_FIND_DATAA found;
    CFindHandle find(FindFirstFileA((base + "*").c_str(), &found));
    if (!find) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "CAplLogUpload::_CollectLogFiles - FindFirstFile 失敗 PATH:%s ERR:0x%08X",
             base.c_str(), U(error));
      return Fail(kSearchFailed, error);
    }
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (!GoOn()) return false;
      const LogFileKind kind = ClassifyLogFileName(found.cFileName);
      if (kind == kNotALog) continue;
      if (kind == kProgramLog &&
          (found.nFileSizeHigh != 0 || found.nFileSizeLow > kMaxProgramLogSize)) {
        OV_LOG(kLogInfo,
               "CAplLogUpload::_CollectLogFiles - ログファイルサイズ超過 SIZE:%X%08Xbyte %s",
               U(found.nFileSizeHigh), U(found.nFileSizeLow), found.cFileName);
        continue;
      }
      const std::string source = base + found.cFileName;
      const std::string target = _in.collect_folder + found.cFileName;
      if (!CopyLog(source, target)) {
        OV_LOG(kLogError, "CAplLogUpload::_CollectLogFiles - CopyFile失敗 SRC:%s DST:%s ERR:0x%08X",
               source.c_str(), target.c_str(), U(GetLastError()));
        if (kind == kDatedLog) break;
      }
    } while (FindNextFileA(find.Get(), &found));
    return true;
  }

  // Copies a log and remembers it for the clean-up, unless it changed while
  // it was copied (its newest lines may then be missing from the copy).
  bool CopyLog(const std::string& source, const std::string& target) {
    WIN32_FILE_ATTRIBUTE_DATA before;
    if (!GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &before)) return false;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) return false;
    WIN32_FILE_ATTRIBUTE_DATA after;
    if (GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &after) &&
        after.nFileSizeHigh == before.nFileSizeHigh && after.nFileSizeLow == before.nFileSizeLow &&
        SameFileTime(after.ftLastWriteTime, before.ftLastWriteTime)) {
      CopiedLog copied;
      copied.path = source;
      copied.size.HighPart = before.nFileSizeHigh;
      copied.size.LowPart = before.nFileSizeLow;
      copied.written = before.ftLastWriteTime;
      _copied.push_back(copied);
    }
    return true;
  }

  const CopiedLog* FindCopied(const std::string& path) const {
    for (const CopiedLog& copied : _copied) {
      if (_stricmp(copied.path.c_str(), path.c_str()) == 0) return &copied;
    }
    return nullptr;
  }

  void _CollectPCInfo() {
    std::string text;
    const char* user = IsAdministrator() ? "管理者" : "管理者以外";
    OV_LOG(kLogInfo, "CAplLogUpload::_CollectPCInfo - 起動ユーザー情報 %s", user);
    text += std::string("起動ユーザー：") + user + "\r\n\r\n";
    text += CpuSection() + "\r\n\r\n";
    text += MemorySection() + "\r\n\r\n";
    text += OsSection() + "\r\n\r\n";
    WritePcInfo(text);
  }

  static std::string CpuSection() {
    if (!IsWindowsXP() && !IsWindowsVistaOrLater()) {
      OV_LOG(kLogInfo, "CAplLogUpload::_CollectPCInfo - XP未満");
      return "取得不可(XP未満)";
    }
    const HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    if (kernel == nullptr) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - CPU情報取得失敗 DLL取得失敗 ERR:0x%08X",
             U(GetLastError()));
      return "取得不可(DLL取得失敗)";
    }
    using NativeSystemInfo = void(WINAPI*)(SYSTEM_INFO*);
    const auto native = reinterpret_cast<NativeSystemInfo>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    if (native == nullptr) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - CPU情報取得失敗 API取得失敗 ERR:0x%08X",
             U(GetLastError()));
      return "取得不可(API取得失敗)";
    }
    SYSTEM_INFO info = {};
    native(&info);
    const std::string section = FormatString(
        "CPU情報：\r\nOEMID:%d\r\nProcessorArchitecture:%d\r\nPageSize:%d\r\n"
        "ActiveProcessorMask:%d\r\nNumberOfProcessors:%d\r\nProcessorType:%d\r\n"
        "AllocationGranularity:%d\r\nProcessorLevel:%d\r\nProcessorRevision:%d",
        static_cast<int>(info.dwOemId), static_cast<int>(info.wProcessorArchitecture),
        static_cast<int>(info.dwPageSize), static_cast<int>(info.dwActiveProcessorMask),
        static_cast<int>(info.dwNumberOfProcessors), static_cast<int>(info.dwProcessorType),
        static_cast<int>(info.dwAllocationGranularity), static_cast<int>(info.wProcessorLevel),
        static_cast<int>(info.wProcessorRevision));
    OV_LOG(kLogInfo, "CAplLogUpload::_CollectPCInfo - %s", section.c_str());
    return section;
  }

  static std::string MemorySection() {
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    if (!GlobalMemoryStatusEx(&memory)) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - メモリ情報取得失敗 ERR:0x%08X",
             U(GetLastError()));
      return std::string("メモリ情報：") + "取得不可";
    }
    const std::string section = FormatString("メモリ情報：総サイズ%lldbyte 有効サイズ%lld",
                                             static_cast<long long>(memory.ullTotalPhys),
                                             static_cast<long long>(memory.ullAvailPhys));
    OV_LOG(kLogInfo, "CAplLogUpload::_CollectPCInfo - メモリ情報取得 %s", section.c_str());
    return section;
  }

  static std::string OsSection() {
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - OS情報取得失敗 ERR:0x%08X",
             U(GetLastError()));
      return std::string("OS情報：") + "取得不可";
    }
    const std::string section = FormatString(
        "OS情報：OS %d.%d, BuildNumber %d, PratformId %d, SP %s(%d.%d), Suite %X, Product %X",
        static_cast<int>(version.dwMajorVersion), static_cast<int>(version.dwMinorVersion),
        static_cast<int>(version.dwBuildNumber), static_cast<int>(version.dwPlatformId),
        version.szCSDVersion, static_cast<int>(version.wServicePackMajor),
        static_cast<int>(version.wServicePackMinor), static_cast<unsigned>(version.wSuiteMask),
        static_cast<unsigned>(version.wProductType));
    OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - OS情報 %s", section.c_str());
    return section;
  }

  void WritePcInfo(const std::string& text) const {
    CreateFolderTree(_in.collect_folder);
    const std::string path = _in.collect_folder + "PcInfo.txt";
    CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - PC情報ファイル作成失敗 ERR:0x%08X",
             U(GetLastError()));
      return;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      OV_LOG(kLogError, "CAplLogUpload::_CollectPCInfo - PC情報ファイル書込み失敗 ERR:0x%08X",
             U(GetLastError()));
    }
  }

  bool _CreateSendFile() {
    if (!PathIsDirectory(_in.collect_folder)) {
      OV_LOG(kLogError, "CAplLogUpload::_CreateSendFile - 送信ファイル作成時の収集フォルダなし %s",
             _in.collect_folder.c_str());
      return Fail(kBadArgument, 0);
    }
    CZipIF zip;
    if (!zip.ZipFolder(_in.collect_folder, _in.send_file)) {
      OV_LOG(kLogError, "CAplLogUpload::_CreateSendFile - 送信ファイル圧縮失敗 %s ERR:0x%08X",
             _in.send_file.c_str(), U(zip.LastError()));
      return Fail(kZipFailed, zip.LastError());
    }
    return true;
  }

  bool _ClearLogFiles(const std::string& folder) {
    if (folder.empty()) {
      OV_LOG(kLogError, "CAplLogUpload::_ClearLogFiles - パス指定不正");
      return Fail(kBadArgument, 0);
    }
    const std::string base = PathAddBackslash(folder);
    WIN32_FIND_DATAA found;
    CFindHandle find(FindFirstFileA((base + "*").c_str(), &found));
    if (!find) {
      const DWORD error = GetLastError();
      OV_LOG(kLogError, "CAplLogUpload::_ClearLogFiles - FindFirstFile 失敗 PATH:%s ERR:0x%08X",
             base.c_str(), U(error));
      return Fail(kSearchFailed, error);
    }
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const LogFileKind kind = ClassifyLogFileName(found.cFileName);
      if (kind == kNotALog) continue;
      const std::string path = base + found.cFileName;
      const CopiedLog* copied = FindCopied(path);
      if (copied == nullptr) continue;  // not in the zip: it stays for the next upload
      if (!DeleteSentLog(*copied) && kind == kDatedLog) break;
    } while (FindNextFileA(find.Get(), &found));
    return true;
  }

  // Deletes a sent log while no one can write to it, and only when it is
  // still what was sent. False only for a failed delete.
  bool DeleteSentLog(const CopiedLog& copied) {
    CFileHandle file(CreateFileA(copied.path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION now = {};
    if (!file || !GetFileInformationByHandle(file.Get(), &now)) {
      const DWORD error = GetLastError();
      if (error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND) {
        OV_LOG(kLogInfo, "CAplLogUpload::_ClearLogFiles - 使用中のため削除せず PATH:%s",
               copied.path.c_str());
        return true;
      }
      return DeleteFailed(copied.path, error);
    }
    if (now.nFileSizeHigh != copied.size.HighPart || now.nFileSizeLow != copied.size.LowPart ||
        !SameFileTime(now.ftLastWriteTime, copied.written)) {
      OV_LOG(kLogInfo, "CAplLogUpload::_ClearLogFiles - 送信後に更新されたため削除せず PATH:%s",
             copied.path.c_str());
      return true;
    }
    // Our handle keeps writers out until the file is gone.
    if (!DeleteFileA(copied.path.c_str())) return DeleteFailed(copied.path, GetLastError());
    return true;
  }

  bool DeleteFailed(const std::string& path, DWORD error) {
    OV_LOG(kLogError, "CAplLogUpload::DeleteFile - DeleteFile失敗 PATH:%s ERR:0x%08X", path.c_str(),
           U(error));
    return Fail(kDeleteFailed, error);
  }

  // The zip and the copies go whatever the outcome; only what lies inside
  // the temporary folder is ever deleted.
  void RemoveSendFiles() const {
    const std::string temporary = GetTemporaryFolder();
    if (IsInsideFolder(_in.send_file, temporary)) {
      if (PathFileExists(_in.send_file)) DeleteFileA(_in.send_file.c_str());
    } else {
      OV_LOG(kLogError, "CAplLogUpload::_UploadThread - 一時フォルダ外のため削除せず %s",
             _in.send_file.c_str());
    }
    if (IsInsideFolder(_in.collect_folder, temporary)) {
      if (PathIsDirectory(_in.collect_folder)) DeleteFolderTree(_in.collect_folder, true);
    } else {
      OV_LOG(kLogError, "CAplLogUpload::_UploadThread - 一時フォルダ外のため削除せず %s",
             _in.collect_folder.c_str());
    }
  }

  const Input _in;
  std::atomic<uint32_t>* _result_out;  // not owned: the owner outlives the job's thread
  std::atomic<uint32_t>* _detail_out;
  uint32_t _result = 0;
  uint32_t _detail = 0;
  bool _cancelled = false;
  std::vector<CopiedLog> _copied;
};

CAplLogUpload::CAplLogUpload(const char* cancel_event_name)
    : _cancel_event(CreateEventA(nullptr, FALSE, FALSE, cancel_event_name)),
      _stop_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (!_cancel_event || !_stop_event) {
    OV_LOG(kLogError, "CAplLogUpload - イベント作成失敗 ERR:0x%08X", U(GetLastError()));
  }
}

CAplLogUpload::~CAplLogUpload() {
  if (_thread) {
    SetEvent(_stop_event.Get());
    WaitForSingleObject(_thread.Get(), INFINITE);
  }
}

void CAplLogUpload::Refuse(uint32_t result, uint32_t detail) {
  _result.store(result);
  _detail.store(detail);
}

bool CAplLogUpload::SetDiruInfo(const char* device_no, uint32_t ccid, const char* user_agent) {
  if (ccid == 0) {
    OV_LOG(kLogError, "CAplLogUpload::SetDiruInfo - CCID指定なし");
    Refuse(kBadArgument, 0);
    return false;
  }
  if (device_no == nullptr) {
    OV_LOG(kLogError, "CAplLogUpload::SetDiruInfo - DeviceNo指定なし");
    Refuse(kBadArgument, 0);
    return false;
  }
  if (user_agent == nullptr) {
    OV_LOG(kLogError, "CAplLogUpload::SetDiruInfo - UserAgent指定なし");
    Refuse(kBadArgument, 0);
    return false;
  }
  // The device number comes from the card and becomes part of a folder name.
  if (!IsSafeDeviceNumber(device_no)) {
    OV_LOG(kLogError, "CAplLogUpload::SetDiruInfo - DeviceNo不正");
    Refuse(kBadArgument, 0);
    return false;
  }
  _ccid = ccid;
  _device_no = device_no;
  _user_agent = user_agent;
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string name =
      FormatString("%s_%s_%02d%02d%02d%02d%02d%02d", "EV", device_no, now.wYear, now.wMonth,
                   now.wDay, now.wHour, now.wMinute, now.wSecond);
  _collect_folder = GetTemporaryFolder() + name + "\\";
  _send_file = GetTemporaryFolder() + name + ".zip";
  return true;
}

bool CAplLogUpload::Start(HWND window, UINT message, int job) {
  Refuse(0, 0);
  if (!IsWindow(window)) {
    OV_LOG(kLogError, "CAplLogUpload::Start - 指定HWND不正 %08X",
           static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    Refuse(kBadArgument, 0);
    return false;
  }
  if (job != kJobPermission && job != kJobUpload) {
    OV_LOG(kLogError, "CAplLogUpload::Start - 指定処理種別不正 %X", static_cast<unsigned>(job));
    Refuse(kBadArgument, 0);
    return false;
  }
  // Without the unit there is no request to make, and the copies would land
  // beside the program.
  if (_ccid == 0 || _collect_folder.empty() || _send_file.empty()) {
    OV_LOG(kLogError, "CAplLogUpload::Start - 端末情報未設定 %X", static_cast<unsigned>(job));
    Refuse(kBadArgument, 0);
    return false;
  }
  if (_thread) {
    const DWORD wait = WaitForSingleObject(_thread.Get(), kStartWaitMs);
    if (wait != WAIT_OBJECT_0) {
      const DWORD error = wait == WAIT_TIMEOUT ? ERROR_BUSY : GetLastError();
      OV_LOG(kLogError, "CAplLogUpload::Start - 開始要求時の処理中エラー直前スレッド生存 %X",
             static_cast<unsigned>(_job_kind));
      // Killing the thread could leave the heap or a log mutex held: it is
      // told to stop and ends on its own, posting its own end.
      SetEvent(_stop_event.Get());
      Refuse(kThreadFailed, error);
      return false;
    }
    _thread.Reset();
  }
  _job_kind = job;
  _notify_window = window;
  _notify_message = message;
  ResetEvent(_cancel_event.Get());
  ResetEvent(_stop_event.Get());

  CJob::Input input;
  input.kind = job;
  input.window = window;
  input.message = message;
  input.ccid = _ccid;
  input.device_no = _device_no;
  input.user_agent = _user_agent;
  input.send_file = _send_file;
  input.collect_folder = _collect_folder;
  input.cancel_event = _cancel_event.Get();
  input.stop_event = _stop_event.Get();
  _job = std::make_unique<CJob>(std::move(input), &_result, &_detail);

  const uintptr_t thread =
      _beginthreadex(nullptr, 0, &CAplLogUpload::ThreadMain, _job.get(), 0, nullptr);
  if (thread == 0) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "CAplLogUpload::Start - スレッド開始失敗(種別:%d) ERR:0x%08X", job, U(error));
    Refuse(kThreadFailed, error);
    return false;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  return true;
}

unsigned __stdcall CAplLogUpload::ThreadMain(void* context) {
  static_cast<CJob*>(context)->Run();
  return 0;
}

// CAplLogUpload: asks the log-upload service whether this unit's logs are
// wanted (job 0), or collects the programs' logs with a description of the
// PC, zips them and posts the zip (job 1); each job runs on a worker thread
// of the object and ends with one message posted to the caller's window
// (wParam the result code, lParam the detail).
//
// Threads: SetDiruInfo, Start and the destructor belong to the owner's
// thread. A job works on a copy of what SetDiruInfo stored, so the owner may
// change it while a job runs. The named, auto-reset event "AplLogUploadCancel"
// lets any party stop a running transfer; the owner stops a job through the
// object's own stop signal instead (a refused Start, the destructor), which
// stays set until the job has seen it. The destructor waits for the job.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Handle.h"
#include "OvWindows.h"

namespace logupload {
// Jobs.
constexpr int kJobPermission = 0;
constexpr int kJobUpload = 1;

// Results posted as wParam.
constexpr uint32_t kDone = 0;  // upload done, or upload wanted
constexpr uint32_t kNotWanted = 1;
constexpr uint32_t kCancelled = 0xFF00;
constexpr uint32_t kTransferError = 0x100000;  // or-ed with the client's error
constexpr uint32_t kServerError = 0x200000;    // or-ed with the analyzer's code
constexpr uint32_t kParameterFailed = 0x40FFA0;
constexpr uint32_t kBadArgument = 0x40FFA1;
constexpr uint32_t kThreadFailed = 0x40FFFF;
constexpr uint32_t kHttpSetupFailed = 0x40FF04;
constexpr uint32_t kSearchFailed = 0x600001;
constexpr uint32_t kDeleteFailed = 0x600005;
constexpr uint32_t kZipFailed = 0x600009;

constexpr const char* kCancelEventName = "AplLogUploadCancel";

// How the collection treats a file of the log folder by its name.
enum LogFileKind {
  kNotALog = 0,
  kProgramLog = 1,  // holds a program's log name; collected up to kMaxProgramLogSize
  kDatedLog = 2,    // "yyyymmdd.log"; collected whatever its size
};
constexpr uint64_t kMaxProgramLogSize = 0x400400;
LogFileKind ClassifyLogFileName(const char* name);

// A device number names a folder: none with path or drive separators, "..",
// characters that names cannot hold, or control characters.
bool IsSafeDeviceNumber(const char* device_no);

// The folders whose logs are collected: the log folder, when it exists.
std::vector<std::string> CollectLogFolders();
}  // namespace logupload

class CAplLogUpload final {
 public:
  // cancel_event_name: the shared name of the cancel event; another name
  // keeps test processes that run side by side apart.
  explicit CAplLogUpload(const char* cancel_event_name = logupload::kCancelEventName);
  // Stops a running job and waits for its end.
  ~CAplLogUpload();
  CAplLogUpload(const CAplLogUpload&) = delete;
  CAplLogUpload& operator=(const CAplLogUpload&) = delete;

  // The unit whose logs these are; sets the collection folder and the send
  // file from the local time. False (result 0x40FFA1) for a missing value or
  // a device number that cannot name a folder.
  bool SetDiruInfo(const char* device_no, uint32_t ccid, const char* user_agent);

  // Starts a job; false (with the result set) when it was refused. A job
  // still running after 1500 ms is told to stop and the start is refused.
  bool Start(HWND window, UINT message, int job);

  // The last refusal's or the last finished job's values.
  uint32_t GetResult() const { return _result.load(); }
  uint32_t GetDetail() const { return _detail.load(); }
  int GetJob() const { return _job_kind; }
  const std::string& GetSendFilePath() const { return _send_file; }
  const std::string& GetCollectFolderPath() const { return _collect_folder; }

 private:
  class CJob;

  void Refuse(uint32_t result, uint32_t detail);
  static unsigned __stdcall ThreadMain(void* context);

  int _job_kind = -1;
  HWND _notify_window = nullptr;  // not owned
  UINT _notify_message = 0;
  CHandle _cancel_event;  // named, auto-reset
  CHandle _stop_event;    // the owner's, manual-reset
  CHandle _thread;
  std::atomic<uint32_t> _result{0};
  std::atomic<uint32_t> _detail{0};
  uint32_t _ccid = 0;
  std::string _device_no;
  std::string _user_agent;
  std::string _send_file;
  std::string _collect_folder;
  std::unique_ptr<CJob> _job;  // the running or last job; outlives its thread
};

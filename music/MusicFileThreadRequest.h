// The jobs the manual window hands to its workers, and the functions that
// create and queue them. A request belongs to one thread at a time: the
// window's while it is made, the worker's from the queue on, the window's
// again once it is posted. Every request lives in a process-wide registry,
// so that the window accepts as a request only an OVEVMusicManual lParam
// that a worker really posted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "MusicFileInfo.h"
#include "OvWindows.h"

class CMusicFileThread;

// Result kinds: the wParam of the posted OVEVMusicManual.
enum MusicResultKind : DWORD {
  kMusicResultFileList = 1,
  kMusicResultCopyFolder = 2,
  kMusicResultCopyFiles = 4,
  kMusicResultDeleteFolder = 6,
  kMusicResultDeleteFiles = 7,
};

enum MusicListTarget : DWORD { kMusicTargetPC = 1, kMusicTargetSD = 2 };

// The most files a listing made by the window returns.
constexpr DWORD kMusicListLimit = 1000;
// A listing posts its files in batches of this many.
constexpr size_t kMusicListBatch = 20;

class CMusicFileThreadRequest {
 public:
  virtual ~CMusicFileThreadRequest();
  CMusicFileThreadRequest(const CMusicFileThreadRequest&) = delete;
  CMusicFileThreadRequest& operator=(const CMusicFileThreadRequest&) = delete;

  // Runs on the worker. True: the worker posts the request and goes on;
  // false: the worker deletes it and ends (an aborted listing).
  virtual bool Execute(CMusicFileThread* worker) = 0;

  // The request a worker posted with this wParam and lParam, handed back to
  // the caller; null for anything else (a forged or stale lParam, a request
  // still queued, a wParam of another kind).
  static std::unique_ptr<CMusicFileThreadRequest> Adopt(WPARAM wparam, LPARAM lparam);
  // Marks the request as posted (or not), for Adopt.
  void SetPosted(bool posted);

  bool result = true;
  // The music library's error word (kMusicError*, 4 for a listing cut at its
  // limit); platform errors go to system_error.
  DWORD error_code = 0;
  DWORD system_error = 0;
  const DWORD kind;

 protected:
  explicit CMusicFileThreadRequest(DWORD result_kind);
};

class CMusicFileThreadRequestGetFileList final : public CMusicFileThreadRequest {
 public:
  CMusicFileThreadRequestGetFileList(DWORD target, const std::wstring& folder, DWORD maximum);
  bool Execute(CMusicFileThread* worker) override;

  const DWORD target;
  const std::wstring folder;
  const DWORD maximum;
  bool first_batch = false;
  bool last_batch = false;
  libmusic::CMusicFileInfoList files;
};

class CMusicFileThreadRequestCopyFolder final : public CMusicFileThreadRequest {
 public:
  CMusicFileThreadRequestCopyFolder(const std::wstring& source, const std::wstring& destination);
  bool Execute(CMusicFileThread* worker) override;

  const std::wstring source;
  const std::wstring destination;
};

class CMusicFileThreadRequestCopyFiles final : public CMusicFileThreadRequest {
 public:
  CMusicFileThreadRequestCopyFiles(const std::wstring& source, const std::wstring& destination,
                                   const std::vector<std::wstring>& names);
  bool Execute(CMusicFileThread* worker) override;

  const std::wstring source;
  const std::wstring destination;
  std::vector<std::wstring> names;
};

class CMusicFileThreadRequestDeleteFolder final : public CMusicFileThreadRequest {
 public:
  explicit CMusicFileThreadRequestDeleteFolder(const std::wstring& folder);
  bool Execute(CMusicFileThread* worker) override;

  const std::wstring folder;
};

class CMusicFileThreadRequestDeleteFiles final : public CMusicFileThreadRequest {
 public:
  CMusicFileThreadRequestDeleteFiles(const std::wstring& folder,
                                     const std::vector<std::wstring>& names);
  bool Execute(CMusicFileThread* worker) override;

  const std::wstring folder;
  const std::vector<std::wstring> names;
};

// Each creates its request and queues it on the worker (started first);
// true when it was queued. A listing first aborts the worker's running
// listing and its queue.
bool CreateGetFileListRequest(const std::wstring& folder, CMusicFileThread* worker, DWORD target);
bool CreateCopyFolderRequest(const std::wstring& source, const std::wstring& destination,
                             CMusicFileThread* worker);
bool CreateCopyFilesRequest(const std::wstring& source, const std::wstring& destination,
                            const std::vector<std::wstring>& names, CMusicFileThread* worker);
bool CreateDeleteFolderRequest(const std::wstring& folder, CMusicFileThread* worker);
bool CreateDeleteFilesRequest(const std::wstring& folder, const std::vector<std::wstring>& names,
                              CMusicFileThread* worker);

// Posts the files as one batch of a listing (the list is left empty).
void PostFileListBatch(CMusicFileThread* worker, DWORD target, const std::wstring& folder,
                       bool first_batch, libmusic::CMusicFileInfoList* files);

// Whether the folder lies strictly below the card's music folder of its
// drive ("E:\AV\MUSIC\Rock"): only such folders are written or removed.
bool IsBelowMusicFolder(const std::wstring& folder);

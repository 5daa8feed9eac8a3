// The workers' requests; see MusicFileThreadRequest.h.
#include "MusicFileThreadRequest.h"

#include <map>
#include <new>
#include <set>

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileLibManual.h"
#include "MusicFileThread.h"
#include "MusicFileUtil.h"
#include "StringUtil.h"
#include "Threads.h"
#include "WideUtil.h"

namespace {

constexpr DWORD kListAbortMs = 1000;

// Every live request, and whether a worker has posted it.
struct Registry {
  lib::wfc::CCriticalSection lock;
  std::map<const CMusicFileThreadRequest*, bool> posted;  // guarded by lock
};

Registry& Requests() {
  static Registry registry;
  return registry;
}

std::string Narrow(const std::wstring& text) { return ToMultiByte(text); }

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path[path.size() - 1] == L'\\') path.erase(path.size() - 1);
  return path;
}

bool DriveRootExists(const std::wstring& path) {
  if (path.size() < 2) return false;
  const DWORD attributes = GetFileAttributesW(path.substr(0, 2).append(L"\\").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The card is gone: the window still gets its answer, so it leaves its busy
// state.
void SetCardMissing(CMusicFileThreadRequest* request) {
  OV_LOG(kLogInfo, "フォルダ移動時のSD無し");
  request->result = false;
  request->error_code = 0;
  request->system_error = ERROR_NOT_READY;
}

bool IsLibraryWord(DWORD word) {
  switch (word) {
    case 0:
    case 4:
    case libmusic::kMusicErrorTooManyFiles:
    case libmusic::kMusicErrorTooManyFolders:
    case libmusic::kMusicErrorFilesFailed:
    case libmusic::kMusicErrorOutOfMemory:
    case libmusic::kMusicErrorCardFull:
    case libmusic::kMusicErrorBadArgument:
    case libmusic::kMusicErrorAborted:
      return true;
    default:
      return false;
  }
}

// The library's words stay in the error word; a platform error it left
// there (a missing drive, a failed search) moves to the system error.
void TakeLibraryResult(const libmusic::CMusicFileLib& lib, CMusicFileThreadRequest* request) {
  const DWORD word = lib.GetErrorCode();
  request->error_code = IsLibraryWord(word) ? word : 0;
  request->system_error = IsLibraryWord(word) ? lib.GetSystemError() : word;
}

uint64_t FileSize(const std::wstring& path, bool* exists) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  *exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!*exists) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// After a whole folder copy: what the card folder holds besides the copied
// files is the old copy's and goes.
bool RemoveOthers(const std::wstring& folder, const std::vector<std::wstring>& names) {
  std::set<std::wstring> kept;
  for (const std::wstring& name : names) kept.insert(ToLowerW(name));
  const std::wstring base = folder + L"\\";
  std::vector<std::pair<std::wstring, DWORD>> others;
  {
    WIN32_FIND_DATAW found;
    CFindHandle find(FindFirstFileW((base + L"*").c_str(), &found));
    if (!find) return false;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L".." || kept.count(ToLowerW(name))) continue;
      others.emplace_back(base + name, found.dwFileAttributes);
    } while (FindNextFileW(find.Get(), &found));
  }
  bool ok = true;
  for (const auto& other : others) {
    const DWORD attributes = other.second;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A link is left alone, as the tree deletion leaves it.
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ok = DeleteFolderTreeW(other.first.c_str(), true) && ok;
      }
      continue;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      SetFileAttributesW(other.first.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    ok = DeleteFileW(other.first.c_str()) && ok;
  }
  return ok;
}

template <typename Request, typename... Args>
bool Queue(CMusicFileThread* worker, Args&&... args) {
  if (!worker || !worker->Start()) return false;
  std::unique_ptr<Request> request(new (std::nothrow) Request(std::forward<Args>(args)...));
  if (!request) {
    OV_LOG(kLogError, "リクエスト生成失敗。[0x%08X]", static_cast<unsigned>(GetLastError()));
    return false;
  }
  worker->Enqueue(std::move(request));
  return true;
}

}  // namespace

bool IsBelowMusicFolder(const std::wstring& folder) {
  const std::wstring path = WithoutTrailingBackslash(CanonicalizePathW(folder));
  if (path.size() < 3 || path[1] != L':') return false;
  const std::wstring root = libmusic::GetMusicFolderPathW(path[0]) + L"\\";
  return path.size() > root.size() && ToLowerW(path.substr(0, root.size())) == ToLowerW(root);
}

CMusicFileThreadRequest::CMusicFileThreadRequest(DWORD result_kind) : kind(result_kind) {
  Registry& registry = Requests();
  lib::wfc::CLock lock(&registry.lock);
  registry.posted[this] = false;
}

CMusicFileThreadRequest::~CMusicFileThreadRequest() {
  Registry& registry = Requests();
  lib::wfc::CLock lock(&registry.lock);
  registry.posted.erase(this);
}

void CMusicFileThreadRequest::SetPosted(bool posted) {
  Registry& registry = Requests();
  lib::wfc::CLock lock(&registry.lock);
  registry.posted[this] = posted;
}

std::unique_ptr<CMusicFileThreadRequest> CMusicFileThreadRequest::Adopt(WPARAM wparam,
                                                                        LPARAM lparam) {
  auto* request = reinterpret_cast<CMusicFileThreadRequest*>(lparam);
  Registry& registry = Requests();
  lib::wfc::CLock lock(&registry.lock);
  const auto it = registry.posted.find(request);
  // Only the address is compared until the request is known to be live.
  if (it == registry.posted.end() || !it->second || request->kind != wparam) return nullptr;
  it->second = false;
  return std::unique_ptr<CMusicFileThreadRequest>(request);
}

CMusicFileThreadRequestGetFileList::CMusicFileThreadRequestGetFileList(DWORD list_target,
                                                                       const std::wstring& path,
                                                                       DWORD limit)
    : CMusicFileThreadRequest(kMusicResultFileList),
      target(list_target),
      folder(path),
      maximum(limit) {}

bool CMusicFileThreadRequestGetFileList::Execute(CMusicFileThread* worker) {
  libmusic::CMusicFileInfoList none;
  PostFileListBatch(worker, target, folder, true, &none);
  CMusicFileLibManual lib(L"", L"", worker);
  const bool listed = lib.GetFileList(folder.c_str(), &files, target, maximum);
  if (!listed) OV_LOG(kLogError, "ファイル一覧取得失敗[%s]", Narrow(folder).c_str());
  result = listed;
  first_batch = false;
  last_batch = true;
  error_code = lib.GetErrorCode();
  system_error = lib.GetSystemError();
  if (error_code == libmusic::kMusicErrorAborted) return false;
  OV_LOG(kLogInfo, "GetFileList応答送信[%d]", static_cast<int>(target));
  return true;
}

CMusicFileThreadRequestCopyFolder::CMusicFileThreadRequestCopyFolder(const std::wstring& from,
                                                                     const std::wstring& to)
    : CMusicFileThreadRequest(kMusicResultCopyFolder),
      source(WithoutTrailingBackslash(from)),
      destination(WithoutTrailingBackslash(to)) {}

bool CMusicFileThreadRequestCopyFolder::Execute(CMusicFileThread* worker) {
  worker->PostProgress(0);
  const std::string failed = FormatString("フォルダコピー失敗。[%s]->[%s]", Narrow(source).c_str(),
                                          Narrow(destination).c_str());
  // A drive root has no name to give its copy, and only a folder below the
  // music folder may be replaced.
  if (PathFindFileNameW(source.c_str()) == source.c_str() || source.size() <= 3 ||
      !IsBelowMusicFolder(destination)) {
    OV_LOG(kLogError, "%s", failed.c_str());
    result = false;
    error_code = libmusic::kMusicErrorBadArgument;
    return true;
  }
  if (!DriveRootExists(destination)) {
    SetCardMissing(this);
    return true;
  }
  // The old copy stays until the new one is complete: a full card, an abort
  // or an unreadable source must not lose it.
  CMusicFileLibManual search(source, destination, worker);
  libmusic::CMusicFileInfoList found;
  const bool searched =
      search.FindMusicFiles(&found, source.c_str(), nullptr, false) && search.GetErrorCode() == 0;
  std::vector<std::wstring> names;
  uint64_t total = 0;
  for (const auto& info : found.Items()) {
    names.push_back(info->file_name);
    total += info->size;
  }
  OV_LOG(kLogInfo, "フォルダコピーを開始します。ファイル数[%d]", static_cast<int>(names.size()));
  if (!searched) {
    OV_LOG(kLogError, "%s", failed.c_str());
    result = false;
    TakeLibraryResult(search, this);
    if (error_code == 0 && system_error == 0) system_error = ERROR_PATH_NOT_FOUND;
  } else if (!PathCreateDirectory(destination)) {
    OV_LOG(kLogError, "%s", failed.c_str());
    result = false;
    system_error = GetLastError();
  } else {
    CMusicFileLibManual lib(source, destination, worker, total);
    result = lib.TransferFile(names);
    TakeLibraryResult(lib, this);
    if (result && !RemoveOthers(destination, names)) {
      result = false;
      error_code = libmusic::kMusicErrorFilesFailed;
      system_error = GetLastError();
    }
    if (!result) OV_LOG(kLogError, "%s", failed.c_str());
  }
  OV_LOG(kLogInfo, "フォルダコピーを終了します。");
  return true;
}

CMusicFileThreadRequestCopyFiles::CMusicFileThreadRequestCopyFiles(
    const std::wstring& from, const std::wstring& to, const std::vector<std::wstring>& list)
    : CMusicFileThreadRequest(kMusicResultCopyFiles),
      source(WithoutTrailingBackslash(from)),
      destination(WithoutTrailingBackslash(to)),
      names(list) {}

bool CMusicFileThreadRequestCopyFiles::Execute(CMusicFileThread* worker) {
  worker->PostProgress(0);
  if (!DriveRootExists(destination)) {
    SetCardMissing(this);
    return true;
  }
  std::vector<std::wstring> present;
  uint64_t total = 0;
  for (const std::wstring& name : names) {
    const std::wstring path = source + L"\\" + name;
    bool exists = false;
    const uint64_t size = FileSize(path, &exists);
    if (!exists) {
      OV_LOG(kLogError, "ファイルが存在しません。[%s]", Narrow(path).c_str());
      continue;
    }
    present.push_back(name);
    total += size;
  }
  names.swap(present);
  OV_LOG(kLogInfo, "ファイル転送を開始します。ファイル数[%d]", static_cast<int>(names.size()));
  CMusicFileLibManual lib(source, destination, worker, total);
  result = lib.TransferFile(names);
  if (!result) {
    OV_LOG(kLogError, "ファイル転送失敗。[%s]->[%s]", Narrow(source).c_str(),
           Narrow(destination).c_str());
  }
  TakeLibraryResult(lib, this);
  OV_LOG(kLogInfo, "ファイル転送を終了します。");
  return true;
}

CMusicFileThreadRequestDeleteFolder::CMusicFileThreadRequestDeleteFolder(const std::wstring& path)
    : CMusicFileThreadRequest(kMusicResultDeleteFolder), folder(WithoutTrailingBackslash(path)) {}

bool CMusicFileThreadRequestDeleteFolder::Execute(CMusicFileThread* worker) {
  worker->PostProgress(0);
  OV_LOG(kLogInfo, "フォルダ削除を開始します。[%s]", Narrow(folder).c_str());
  if (!DriveRootExists(folder)) {
    SetCardMissing(this);
    return true;
  }
  if (!IsBelowMusicFolder(folder)) {
    // The music folder itself, or anything above it, is never removed.
    OV_LOG(kLogError, "フォルダ削除失敗。[%s]", Narrow(folder).c_str());
    result = false;
    error_code = libmusic::kMusicErrorBadArgument;
    return true;
  }
  if (DeleteFolderTreeW(folder.c_str(), true)) {
    result = true;
    error_code = 0;
  } else {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "フォルダ削除失敗。[%s]", Narrow(folder).c_str());
    result = false;
    error_code = libmusic::kMusicErrorFilesFailed;
    system_error = error ? error : static_cast<DWORD>(ERROR_GEN_FAILURE);
  }
  OV_LOG(kLogInfo, "フォルダ移動を終了します。");
  return true;
}

CMusicFileThreadRequestDeleteFiles::CMusicFileThreadRequestDeleteFiles(
    const std::wstring& path, const std::vector<std::wstring>& list)
    : CMusicFileThreadRequest(kMusicResultDeleteFiles),
      folder(WithoutTrailingBackslash(path)),
      names(list) {}

bool CMusicFileThreadRequestDeleteFiles::Execute(CMusicFileThread* worker) {
  worker->PostProgress(0);
  OV_LOG(kLogInfo, "ファイル削除を開始します。ファイル数[%d]", static_cast<int>(names.size()));
  if (!DriveRootExists(folder)) {
    SetCardMissing(this);
    return true;
  }
  CMusicFileLibManual lib(L"", folder, worker);
  result = lib.DeleteMusicFile(names, false);
  if (!result) OV_LOG(kLogError, "ファイル削除失敗。[%s]", Narrow(folder).c_str());
  TakeLibraryResult(lib, this);
  OV_LOG(kLogInfo, "ファイル削除を終了します。");
  return true;
}

bool CreateGetFileListRequest(const std::wstring& folder, CMusicFileThread* worker, DWORD target) {
  if (!worker) return false;
  // A new listing replaces the one under way and whatever waits behind it.
  worker->Abort(kListAbortMs);
  if (!Queue<CMusicFileThreadRequestGetFileList>(worker, target, folder, kMusicListLimit)) {
    return false;
  }
  OV_LOG(kLogInfo, "ファイル一覧取得要求[%s]", Narrow(folder).c_str());
  return true;
}

bool CreateCopyFolderRequest(const std::wstring& source, const std::wstring& destination,
                             CMusicFileThread* worker) {
  if (!Queue<CMusicFileThreadRequestCopyFolder>(worker, source, destination)) return false;
  OV_LOG(kLogInfo, "フォルダコピー要求[%s -> %s]", Narrow(source).c_str(),
         Narrow(destination).c_str());
  return true;
}

bool CreateCopyFilesRequest(const std::wstring& source, const std::wstring& destination,
                            const std::vector<std::wstring>& names, CMusicFileThread* worker) {
  if (!Queue<CMusicFileThreadRequestCopyFiles>(worker, source, destination, names)) return false;
  OV_LOG(kLogInfo, "ファイルコピー要求[%s -> %s]", Narrow(source).c_str(),
         Narrow(destination).c_str());
  return true;
}

bool CreateDeleteFolderRequest(const std::wstring& folder, CMusicFileThread* worker) {
  if (!Queue<CMusicFileThreadRequestDeleteFolder>(worker, folder)) return false;
  OV_LOG(kLogInfo, "フォルダ削除要求[%s]", Narrow(folder).c_str());
  return true;
}

bool CreateDeleteFilesRequest(const std::wstring& folder, const std::vector<std::wstring>& names,
                              CMusicFileThread* worker) {
  if (!Queue<CMusicFileThreadRequestDeleteFiles>(worker, folder, names)) return false;
  OV_LOG(kLogInfo, "ファイル削除要求[%s]", Narrow(folder).c_str());
  return true;
}

void PostFileListBatch(CMusicFileThread* worker, DWORD target, const std::wstring& folder,
                       bool first_batch, libmusic::CMusicFileInfoList* files) {
  std::unique_ptr<CMusicFileThreadRequestGetFileList> batch(
      new (std::nothrow) CMusicFileThreadRequestGetFileList(target, folder, 0));
  if (!batch) {
    OV_LOG(kLogError, "リクエスト生成失敗。[0x%08X]", static_cast<unsigned>(GetLastError()));
    return;
  }
  if (files) {
    for (auto& info : files->Items()) batch->files.Add(std::move(info));
    files->Clear();
  }
  batch->first_batch = first_batch;
  if (worker) worker->PostResult(std::move(batch));
}

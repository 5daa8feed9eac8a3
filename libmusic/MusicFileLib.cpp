// The music-file library's working class; see MusicFileLib.h.
#include "MusicFileLib.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileUtil.h"
#include "StringUtil.h"
#include "WinFileSystemLib.h"

#include <cwctype>
#include <new>

namespace libmusic {

namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsFolder(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The drive root ("E:\") of a path: where a missing card shows first.
bool DriveRootExists(const std::wstring& path) { return Exists(path.substr(0, 3)); }

std::wstring JoinRelative(const std::wstring& relative, const wchar_t* name) {
  return relative.empty() ? std::wstring(name) : relative + L'\\' + name;
}

std::wstring FolderPath(const std::wstring& root, const std::wstring& relative) {
  return relative.empty() ? root : root + L'\\' + relative;
}

std::string ForLog(const std::wstring& path) { return ToMultiByte(path); }

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

// A path of a list must stay below its root: no drive, no leading
// backslash, no empty or ".." component.
bool IsSafeRelative(const std::wstring& relative) {
  if (relative.empty() || relative.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = relative.find_first_of(L"\\/", start);
    const std::wstring part = relative.substr(start, end - start);
    if (part.empty() || part == L"..") return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

// The entries of one folder, "." and ".." included, as the platform lists
// them.
class CFolderEntries final {
 public:
  explicit CFolderEntries(const std::wstring& folder)
      : _find(FindFirstFileW((folder + L"\\*").c_str(), &_entry)),
        _error(_find ? 0 : GetLastError()) {}

  bool Started() const { return _find.IsValid(); }
  DWORD StartError() const { return _error; }
  const WIN32_FIND_DATAW& Entry() const { return _entry; }
  bool Next() { return FindNextFileW(_find.Get(), &_entry) != FALSE; }

 private:
  WIN32_FIND_DATAW _entry = {};
  CFindHandle _find;
  DWORD _error;
};

// Walks the entries of a listing that started, "." and ".." left out:
// folders go to on_folder (false ends the walk), files to on_file. False
// when abort answered true or a folder failed.
template <typename Abort, typename OnFolder, typename OnFile>
bool VisitEntries(CFolderEntries& entries, const std::wstring& relative, Abort abort,
                  OnFolder on_folder, OnFile on_file) {
  do {
    if (abort()) return false;
    const WIN32_FIND_DATAW& entry = entries.Entry();
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring path = JoinRelative(relative, entry.cFileName);
    if (IsFolder(entry)) {
      if (!on_folder(path)) return false;
    } else {
      on_file(path, entry);
    }
  } while (entries.Next());
  return true;
}

bool IsFolderEmpty(const std::wstring& folder) {
  CFolderEntries entries(folder);
  if (!entries.Started()) return false;
  do {
    if (!IsDotEntry(entries.Entry().cFileName)) return false;
  } while (entries.Next());
  return true;
}

// Creates the folder and its missing parents; answers how many of the
// created ones lie below root (root itself not counted).
int CreateFolders(const std::wstring& folder, const std::wstring& root) {
  std::vector<std::wstring> missing;
  for (std::wstring path = folder; !path.empty() && !IsDirectory(path);
       path = MusicPathParent(path)) {
    missing.push_back(path);
  }
  int below_root = 0;
  const std::wstring prefix = root + L'\\';
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!CreateDirectoryW(it->c_str(), nullptr)) break;
    if (it->size() > prefix.size() && EqualsNoCase(it->substr(0, prefix.size()), prefix)) {
      ++below_root;
    }
  }
  return below_root;
}

}  // namespace

CMusicFileLib::CMusicFileLib(const std::wstring& pc_folder, const std::wstring& sd_folder)
    : _pc_folder(pc_folder), _sd_folder(sd_folder) {}

bool CMusicFileLib::TransferFile(const std::wstring& source, const std::wstring& destination) {
  if (CopyFileW(source.c_str(), destination.c_str(), TRUE)) {
    FlushCard();
    return true;
  }
  SetSystemError(GetLastError());
  return false;
}

void CMusicFileLib::OnTransferProgress(int /*done*/, int /*total*/) {}

void CMusicFileLib::OnDeleteProgress(int /*done*/, int /*total*/) {}

bool CMusicFileLib::CheckAbort() {
  if (!IsAbort()) return false;
  SetErrorCode(kMusicErrorAborted);
  return true;
}

bool CMusicFileLib::RefuseNull(const void* root, const void* list, const char* function) {
  if (root && list) return false;
  SetErrorCode(kMusicErrorBadArgument);
  OV_LOG(kLogError, "CMusicFileLib::%s - ERR[%08X]", function,
         static_cast<unsigned>(kMusicErrorBadArgument));
  return true;
}

std::unique_ptr<CMusicFileInfo> CMusicFileLib::ReadListed(const std::wstring& root,
                                                          const std::wstring& path,
                                                          const WIN32_FIND_DATAW& entry) {
  if (GetMusicFileType(entry.cFileName) == kMusicTypeNone) return nullptr;
  std::unique_ptr<CMusicFileInfo> info = GetMusicFileInfo(root + L'\\' + path, entry);
  if (!info || !info->playable) return nullptr;
  info->file_name = path;
  return info;
}

bool CMusicFileLib::FindMusicFiles(CMusicFileInfoList* list, const wchar_t* root,
                                   const wchar_t* relative, bool recurse) {
  if (RefuseNull(root, list, "FindMusicFiles")) return false;
  return FindFilesIn(list, root, relative ? relative : L"", recurse);
}

bool CMusicFileLib::FindFilesIn(CMusicFileInfoList* list, const std::wstring& root,
                                const std::wstring& relative, bool recurse) {
  if (CheckAbort()) return false;
  const std::wstring folder = FolderPath(root, relative);
  if (!DriveRootExists(folder)) {
    OV_LOG(kLogInfo, "ファイル検索時のSD無し");
    SetErrorCode(ERROR_PATH_NOT_FOUND);
    return false;
  }
  CFolderEntries entries(folder);
  if (!entries.Started()) {
    SetErrorCode(entries.StartError());
    OV_LOG(kLogError, "CMusicFileLib::FindMusicFiles - ERR[%08X]",
           static_cast<unsigned>(entries.StartError()));
    return true;
  }
  return VisitEntries(
      entries, relative, [this] { return CheckAbort(); },
      [&](const std::wstring& path) { return !recurse || FindFilesIn(list, root, path, recurse); },
      [&](const std::wstring& path, const WIN32_FIND_DATAW& entry) {
        list->Add(ReadListed(root, path, entry));
      });
}

bool CMusicFileLib::FindMusicFileFolder(CMusicFolderInfoList* list, const wchar_t* root,
                                        const wchar_t* relative) {
  if (RefuseNull(root, list, "FindMusicFileFolder")) return false;
  return FindFoldersIn(list, root, relative ? relative : L"");
}

bool CMusicFileLib::FindFoldersIn(CMusicFolderInfoList* list, const std::wstring& root,
                                  const std::wstring& relative) {
  if (CheckAbort()) return false;
  const std::wstring folder_path = FolderPath(root, relative);
  if (!DriveRootExists(folder_path)) {
    OV_LOG(kLogInfo, "ファイル検索時のSD無し");
    SetErrorCode(ERROR_PATH_NOT_FOUND);
    return false;
  }
  std::unique_ptr<CMusicFolderInfo> folder(new (std::nothrow) CMusicFolderInfo());
  if (!folder) {
    SetErrorCode(kMusicErrorOutOfMemory);
    OV_LOG(kLogError, "CMusicFileLib::FindMusicFileFolder - ERR[%08X]",
           static_cast<unsigned>(kMusicErrorOutOfMemory));
    return false;
  }
  folder->path = relative;
  CFolderEntries entries(folder_path);
  if (!entries.Started()) {
    SetErrorCode(entries.StartError());
    OV_LOG(kLogError, "CMusicFileLib::FindMusicFileFolder - ERR[%08X] path[%s]",
           static_cast<unsigned>(entries.StartError()), ForLog(folder_path).c_str());
    return true;
  }
  const bool walked = VisitEntries(
      entries, relative, [this] { return CheckAbort(); },
      [&](const std::wstring& path) { return FindFoldersIn(list, root, path); },
      [&](const std::wstring& path, const WIN32_FIND_DATAW& entry) {
        std::unique_ptr<CMusicFileInfo> info = ReadListed(root, path, entry);
        if (!info) return;
        folder->total_size += info->size;
        const std::uint64_t time =
            (static_cast<std::uint64_t>(info->last_write_time.dwHighDateTime) << 32) |
            info->last_write_time.dwLowDateTime;
        if (time > folder->newest_time) folder->newest_time = time;
        folder->files.Add(std::move(info));
      });
  if (!walked) return false;
  if (!folder->files.Empty()) list->Add(std::move(folder));
  return true;
}

int CMusicFileLib::FindMusicFilesEx(const wchar_t* root, const wchar_t* relative) {
  if (RefuseNull(root, root, "FindMusicFilesEx")) return 0;
  return CountIn(root, relative ? relative : L"", false);
}

int CMusicFileLib::FindMusicFileFolderEx(const wchar_t* root, const wchar_t* relative) {
  if (RefuseNull(root, root, "FindMusicFileFolderEx")) return 0;
  return CountIn(root, relative ? relative : L"", true);
}

int CMusicFileLib::CountIn(const std::wstring& root, const std::wstring& relative, bool folders) {
  if (CheckAbort()) return 0;
  const std::wstring folder = FolderPath(root, relative);
  CFolderEntries entries(folder);
  if (!entries.Started()) {
    // Nothing could be seen, so nothing is counted: a missing folder holds
    // nothing.
    SetErrorCode(entries.StartError());
    if (folders) {
      OV_LOG(kLogError, "CMusicFileLib::FindMusicFileFolderEx - ERR[%08X]",
             static_cast<unsigned>(entries.StartError()));
    } else {
      OV_LOG(kLogError, "CMusicFileLib::FindMusicFilesEx - ERR[%08X] PATH:%s",
             static_cast<unsigned>(entries.StartError()), ForLog(folder).c_str());
    }
    return 0;
  }
  int count = 0;
  const bool walked = VisitEntries(
      entries, relative, [this] { return CheckAbort(); },
      [&](const std::wstring& path) {
        count += (folders ? 1 : 0) + CountIn(root, path, folders);
        return true;
      },
      [&](const std::wstring&, const WIN32_FIND_DATAW& entry) {
        if (!folders && GetMusicFileType(entry.cFileName) != kMusicTypeNone) ++count;
      });
  return walked ? count : 0;
}

bool CMusicFileLib::CheckFolderCount(const wchar_t* music_root) {
  if (FindMusicFileFolderEx(music_root, nullptr) < kMaxCardMusicFolders) return true;
  SetErrorCode(kMusicErrorTooManyFolders);
  return false;
}

bool CMusicFileLib::CheckFileCount(const wchar_t* music_root) {
  if (FindMusicFilesEx(music_root, nullptr) < kMaxCardMusicFiles) return true;
  SetErrorCode(kMusicErrorTooManyFiles);
  return false;
}

bool CMusicFileLib::FinishList(bool any_failed) {
  if (!any_failed) return true;
  SetErrorCode(kMusicErrorFilesFailed);
  return false;
}

void CMusicFileLib::FlushCard() {
  if (_sd_folder.empty()) return;
  if (!_card_volume) {
    const wchar_t name[] = {L'\\', L'\\', L'.', L'\\', _sd_folder[0], L':', 0};
    _card_volume.Reset(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    if (!_card_volume) return;
  }
  // Locking the volume makes the system write out what it holds for it.
  DWORD bytes = 0;
  const HANDLE volume = _card_volume.Get();
  DeviceIoControl(volume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr);
  if (DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr)) {
    DeviceIoControl(volume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr);
  }
}

namespace {

// Closes the card's volume when a list ends, however it ends.
class CCardVolumeRelease final {
 public:
  explicit CCardVolumeRelease(CFileHandle& volume) : _volume(volume) {}
  ~CCardVolumeRelease() { _volume.Reset(); }
  CCardVolumeRelease(const CCardVolumeRelease&) = delete;
  CCardVolumeRelease& operator=(const CCardVolumeRelease&) = delete;

 private:
  CFileHandle& _volume;
};

}  // namespace

bool CMusicFileLib::TransferFile(const std::vector<std::wstring>& list) {
  const int total = static_cast<int>(list.size());
  int done = 0;
  bool any_failed = false;
  CardCounts counts;
  const CCardVolumeRelease release(_card_volume);
  for (const std::wstring& relative : list) {
    if (CheckAbort()) return false;
    if (!DriveRootExists(_sd_folder)) {
      OV_LOG(kLogInfo, "ファイル転送中のSD無し");
      SetErrorCode(ERROR_PATH_NOT_FOUND);
      return false;
    }
    const Step step = TransferOne(relative, &counts);
    if (step == Step::kStop) return false;
    if (step == Step::kSkipped) any_failed = true;
    OnTransferProgress(++done, total);
  }
  // The last file's final name, before the list counts as done.
  FlushCard();
  return FinishList(any_failed);
}

CMusicFileLib::Step CMusicFileLib::TransferOne(const std::wstring& relative, CardCounts* counts) {
  const std::wstring source = _pc_folder + L'\\' + relative;
  if (!IsSafeRelative(relative)) {
    SetSystemError(ERROR_INVALID_NAME);
    OV_LOG(kLogError, "CreateFile() - ERR[%08X] [%s]", static_cast<unsigned>(ERROR_INVALID_NAME),
           ForLog(source).c_str());
    return Step::kSkipped;
  }
  const std::wstring destination = MakeTransferPath(relative, _sd_folder.c_str());
  LARGE_INTEGER size = {};
  // The size from the file's attributes; opening it costs as much as
  // copying a small file. One that cannot be asked is opened, with the
  // retries and the log lines that an open gives.
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &attributes)) {
    size.LowPart = attributes.nFileSizeLow;
    size.HighPart = static_cast<LONG>(attributes.nFileSizeHigh);
  } else {
    CWinFileSystemLib file_system(GetAbortEvent());
    const CFileHandle file = file_system.CreateFile_Recover(
        source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!file) {
      SetSystemError(file_system.LastError());
      OV_LOG(kLogError, "CreateFile() - ERR[%08X] [%s]", static_cast<unsigned>(_system_error),
             ForLog(source).c_str());
      return Step::kSkipped;
    }
    if (!GetFileSizeEx(file.Get(), &size)) {
      SetSystemError(GetLastError());
      OV_LOG(kLogError, "GetFileSizeEx() - ERR[%08X] [%s]", static_cast<unsigned>(_system_error),
             ForLog(source).c_str());
      return Step::kSkipped;
    }
  }
  const Step room = CheckCardRoom(destination, static_cast<std::uint64_t>(size.QuadPart), counts);
  if (room != Step::kDone) return room;
  if (!TransferFile(source, destination)) {
    if (_error_code == kMusicErrorAborted) return Step::kStop;
    OV_LOG(kLogError, "TransferFile error [%08X] [%s]", static_cast<unsigned>(_system_error),
           ForLog(destination).c_str());
    return Step::kSkipped;
  }
  // Counted whether or not it replaced a file of the same name: asking the
  // card first costs a failed lookup per file, and the count is made exact
  // again where it decides anything (CheckCardRoom).
  if (GetMusicFileType(destination) != kMusicTypeNone) {
    ++counts->files;
    counts->files_at_most = true;
  }
  // More than the copy can have taken: its clusters, a new folder's and a
  // longer directory, on any card's cluster size.
  const std::uint64_t taken =
      (static_cast<std::uint64_t>(size.QuadPart) + 2 * kMebibyte - 1) / kMebibyte * kMebibyte;
  counts->free_at_least = counts->free_at_least > taken ? counts->free_at_least - taken : 0;
  return Step::kDone;
}

CMusicFileLib::Step CMusicFileLib::CheckCardRoom(const std::wstring& destination,
                                                 std::uint64_t size, CardCounts* counts) {
  const std::uint64_t needed = size + kCardSpareBytes;
  if (!counts->free_known || counts->free_at_least < needed) {
    counts->free_at_least = GetDriveFreeSpace(_sd_folder.c_str());
    counts->free_known = true;
  }
  if (counts->free_at_least < needed) {
    SetErrorCode(kMusicErrorCardFull);
    return Step::kStop;
  }
  const std::wstring music_root = GetMusicFolderPathW(_sd_folder[0]);
  if (!counts->known) {
    // Counted once per list and then kept up to date: counting the whole
    // card before every file would cost a full walk of it per file.
    counts->folders = FindMusicFileFolderEx(music_root.c_str(), nullptr);
    counts->files = FindMusicFilesEx(music_root.c_str(), nullptr);
    if (CheckAbort()) return Step::kStop;
    counts->known = true;
  }
  const std::wstring folder = MusicPathParent(destination);
  const bool folder_exists = IsDirectory(folder);
  if (!folder_exists) {
    if (counts->folders >= kMaxCardMusicFolders) {
      SetErrorCode(kMusicErrorTooManyFolders);
      return Step::kStop;
    }
  }
  if (counts->files >= kMaxCardMusicFiles && counts->files_at_most) {
    // The kept count may include files that a copy replaced: count again.
    counts->files = FindMusicFilesEx(music_root.c_str(), nullptr);
    counts->files_at_most = false;
    if (CheckAbort()) return Step::kStop;
  }
  if (counts->files >= kMaxCardMusicFiles) {
    SetErrorCode(kMusicErrorTooManyFiles);
    return Step::kStop;
  }
  if (!folder_exists) counts->folders += CreateFolders(folder, music_root);
  return Step::kDone;
}

bool CMusicFileLib::DeleteMusicFile(const std::vector<std::wstring>& list,
                                    bool remove_empty_folders) {
  const int total = static_cast<int>(list.size());
  int done = 0;
  bool any_failed = false;
  const CCardVolumeRelease release(_card_volume);
  for (const std::wstring& relative : list) {
    if (CheckAbort()) return false;
    if (!DriveRootExists(_sd_folder)) {
      OV_LOG(kLogInfo, "フォルダ移動時のSD無し");
      SetErrorCode(ERROR_PATH_NOT_FOUND);
      return false;
    }
    if (DeleteOne(relative, remove_empty_folders) == Step::kSkipped) any_failed = true;
    OnDeleteProgress(++done, total);
  }
  FlushCard();
  return FinishList(any_failed);
}

CMusicFileLib::Step CMusicFileLib::DeleteOne(const std::wstring& relative,
                                             bool remove_empty_folders) {
  const std::wstring path = _sd_folder + L'\\' + relative;
  DWORD error = 0;
  if (!IsSafeRelative(relative)) {
    error = ERROR_INVALID_NAME;
  } else {
    // Copies keep their source's attributes: a read-only file is ours too.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    CWinFileSystemLib file_system(GetAbortEvent());
    if (!file_system.DeleteFile_Recover(path.c_str())) error = file_system.LastError();
  }
  if (error) {
    SetSystemError(error);
    OV_LOG(kLogError, "DeleteMusicFile error [%08X] [%s]", static_cast<unsigned>(error),
           ForLog(path).c_str());
    return Step::kSkipped;
  }
  if (remove_empty_folders) {
    // The music folder itself stays, empty or not.
    const std::wstring folder = MusicPathParent(path);
    if (!EqualsNoCase(folder, _sd_folder) && IsFolderEmpty(folder)) {
      RemoveDirectoryW(folder.c_str());
    }
  }
  return Step::kDone;
}

}  // namespace libmusic

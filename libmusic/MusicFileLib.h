// The music-file library's working class: it searches folders for music
// files and reads each one's information, counts music files and folders,
// deletes music files from the card's music folder and copies lists of PC
// files into it, one folder level deep, within the card's free space and its
// limits of 300 folders and 5000 files.
//
// Users derive from it: the hooks decide how one file is copied and how
// abort and progress are handled. Failures answer false (or a null, or a
// count) and leave an error word in the object (kMusicError*, or the
// platform error of a failed folder listing), beside the platform error of
// the last failed file operation.
//
// Threads: one object serves one thread and holds no handles between calls.
// IsAbort is the only way another thread stops the work; it is asked before
// every file and every folder entry.
#pragma once

#include "Handle.h"
#include "MusicFileInfo.h"
#include "MusicFolderInfo.h"
#include "OvWindows.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace libmusic {

// Error words of the library; other values are platform errors.
enum : DWORD {
  kMusicErrorNone = 0,
  kMusicErrorTooManyFiles = 5,
  kMusicErrorTooManyFolders = 6,
  // Some files of a list could not be copied or deleted; the others were.
  kMusicErrorFilesFailed = 7,
  kMusicErrorOutOfMemory = 8,
  kMusicErrorCardFull = 39,
  kMusicErrorBadArgument = 87,
  kMusicErrorAborted = 1235,
};

// The card's limits: a copy needs fewer than these before it starts.
constexpr int kMaxCardMusicFolders = 300;
constexpr int kMaxCardMusicFiles = 5000;
// Free space a copy leaves on the card beyond the file itself.
constexpr std::uint64_t kCardSpareBytes = 0x100000;

class CMusicFileLib {
 public:
  // pc_folder: the root of the PC's music; sd_folder: the card's music
  // folder ("E:\AV\MUSIC").
  CMusicFileLib(const std::wstring& pc_folder, const std::wstring& sd_folder);
  virtual ~CMusicFileLib() = default;
  CMusicFileLib(const CMusicFileLib&) = delete;
  CMusicFileLib& operator=(const CMusicFileLib&) = delete;

  // Hooks. True when the work must stop (the override sets the error word).
  virtual bool IsAbort() { return false; }
  // An event the file operations' retry pauses watch; not owned.
  virtual HANDLE GetAbortEvent() { return nullptr; }
  // Copies one file; true on success, else the system error is set. The
  // base copies without progress and fails when the destination exists.
  virtual bool TransferFile(const std::wstring& source, const std::wstring& destination);
  // After each file of a list transfer or deletion.
  virtual void OnTransferProgress(int done, int total);
  virtual void OnDeleteProgress(int done, int total);

  // Appends the playable music files below root\relative (relative may be
  // null), each named by its path relative to root; sub-folders only with
  // recurse. A folder that cannot be listed is no failure (the error word
  // keeps its error); abort, a missing drive and a null root are.
  bool FindMusicFiles(CMusicFileInfoList* list, const wchar_t* root, const wchar_t* relative,
                      bool recurse);
  // Appends one record per folder below root\relative (recursively) that
  // holds playable files, each folder after its sub-folders.
  bool FindMusicFileFolder(CMusicFolderInfoList* list, const wchar_t* root,
                           const wchar_t* relative);
  // Music files by extension (no tags read), recursively.
  int FindMusicFilesEx(const wchar_t* root, const wchar_t* relative);
  // Folders, recursively.
  int FindMusicFileFolderEx(const wchar_t* root, const wchar_t* relative);
  // Whether a new folder or a new file may still go below the music root.
  bool CheckFolderCount(const wchar_t* music_root);
  bool CheckFileCount(const wchar_t* music_root);

  // Deletes each path (relative to the card's music folder), and with
  // remove_empty_folders each sub-folder that this empties. Files that
  // cannot be deleted are skipped and reported at the end (false,
  // kMusicErrorFilesFailed); abort and a missing card end the list.
  bool DeleteMusicFile(const std::vector<std::wstring>& list, bool remove_empty_folders);
  // Copies each path (relative to the PC folder) to its place on the card
  // (MakeTransferPath). Files that cannot be read or copied are skipped and
  // reported at the end (false, kMusicErrorFilesFailed); abort, a missing
  // card, a full card and the card's limits end the list.
  bool TransferFile(const std::vector<std::wstring>& list);

  DWORD GetErrorCode() const { return _error_code; }
  void SetErrorCode(DWORD code) { _error_code = code; }
  DWORD GetSystemError() const { return _system_error; }
  void SetSystemError(DWORD error) { _system_error = error; }
  const std::wstring& PcMusicFolder() const { return _pc_folder; }
  const std::wstring& SdMusicFolder() const { return _sd_folder; }

 protected:
  // Has the system write out what it holds for the card. A copy under a
  // temporary name calls it before the file gets its final name, so that a
  // card pulled at any moment holds no incomplete file under a music name.
  void FlushCard();

 private:
  // The card's music files and folders, counted once per list transfer and
  // then kept up to date as files are copied. A copy that replaced a file of
  // the same name is counted too (files_at_most): the files are counted
  // again before that count can stop the list.
  // So is the card's free space: asked once, then lowered by more than each
  // copy can take, and asked again only when that no longer leaves room.
  struct CardCounts {
    bool known = false;
    int folders = 0;
    int files = 0;
    bool files_at_most = false;
    bool free_known = false;
    std::uint64_t free_at_least = 0;
  };
  enum class Step { kDone, kSkipped, kStop };

  bool CheckAbort();
  // Sets the bad-argument error and logs it for a null argument.
  bool RefuseNull(const void* root, const void* list, const char* function);
  // The record of a found file, named by its relative path; null unless it
  // is playable music.
  std::unique_ptr<CMusicFileInfo> ReadListed(const std::wstring& root, const std::wstring& path,
                                             const WIN32_FIND_DATAW& entry);
  bool FindFilesIn(CMusicFileInfoList* list, const std::wstring& root, const std::wstring& relative,
                   bool recurse);
  bool FindFoldersIn(CMusicFolderInfoList* list, const std::wstring& root,
                     const std::wstring& relative);
  // Music files, or with folders set, folders.
  int CountIn(const std::wstring& root, const std::wstring& relative, bool folders);
  Step TransferOne(const std::wstring& relative, CardCounts* counts);
  Step CheckCardRoom(const std::wstring& destination, std::uint64_t size, CardCounts* counts);
  Step DeleteOne(const std::wstring& relative, bool remove_empty_folders);
  // Ends a list: false with kMusicErrorFilesFailed when a file failed.
  bool FinishList(bool any_failed);

  // The card's volume, open from the first flush of a list to its end:
  // opening it costs as much as copying a small file.
  CFileHandle _card_volume;
  DWORD _error_code = kMusicErrorNone;
  DWORD _system_error = 0;
  const std::wstring _pc_folder;
  const std::wstring _sd_folder;
};

}  // namespace libmusic

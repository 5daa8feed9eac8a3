// The planned content of the card's music folder; see CardMusicPlan.h.
#include "CardMusicPlan.h"

#include "Handle.h"
#include "MusicFileLib.h"
#include "MusicFileUtil.h"
#include "OvWindows.h"

namespace {

std::wstring Fold(const std::wstring& path) {
  std::wstring folded = path;
  if (!folded.empty()) CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
  return folded;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsMusic(const std::wstring& path) {
  return libmusic::GetMusicFileType(path) != libmusic::kMusicTypeNone;
}

}  // namespace

bool CCardMusicPlan::Survey(const std::wstring& sd_folder, const std::function<bool()>& abort) {
  return SurveyFolder(sd_folder, std::wstring(), abort);
}

bool CCardMusicPlan::SurveyFolder(const std::wstring& path, const std::wstring& relative,
                                  const std::function<bool()>& abort) {
  WIN32_FIND_DATAW entry = {};
  CFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &entry));
  if (!find) return true;
  int entries = 0;
  do {
    if (abort()) return false;
    if (IsDotEntry(entry.cFileName)) continue;
    ++entries;
    const std::wstring child =
        relative.empty() ? std::wstring(entry.cFileName) : relative + L'\\' + entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ++_folders;
      _folder_map[Fold(child)];
      if (!SurveyFolder(path + L'\\' + entry.cFileName, child, abort)) return false;
    } else if (IsMusic(entry.cFileName)) {
      ++_music_files;
    }
  } while (FindNextFileW(find.Get(), &entry));
  if (!relative.empty()) _folder_map[Fold(relative)].entries = entries;
  return true;
}

CCardMusicPlan::Folder* CCardMusicPlan::FolderOf(const std::wstring& card_path) {
  const std::wstring key = Fold(libmusic::MusicPathParent(card_path));
  if (key.empty()) return nullptr;
  const auto found = _folder_map.find(key);
  if (found != _folder_map.end()) return &found->second;
  // Not on the card: a folder a copy would create.
  Folder& made = _folder_map[key];
  made.present = false;
  return &made;
}

const CCardMusicPlan::Folder* CCardMusicPlan::FolderOf(const std::wstring& card_path) const {
  const auto found = _folder_map.find(Fold(libmusic::MusicPathParent(card_path)));
  return found == _folder_map.end() ? nullptr : &found->second;
}

void CCardMusicPlan::Delete(const std::wstring& card_path) {
  if (IsMusic(card_path)) --_music_files;
  Folder* folder = FolderOf(card_path);
  if (!folder) return;
  --folder->entries;
  if (folder->entries > 0 || !folder->present) return;
  // The library removes the emptied folder but never its parent.
  folder->present = false;
  --_folders;
  if (Folder* parent = FolderOf(libmusic::MusicPathParent(card_path))) --parent->entries;
}

void CCardMusicPlan::Keep(const std::wstring& card_path) {
  if (IsMusic(card_path)) ++_music_files;
  Folder* folder = FolderOf(card_path);
  if (!folder) return;
  if (!folder->present) {
    folder->present = true;
    ++_folders;
    if (Folder* parent = FolderOf(libmusic::MusicPathParent(card_path))) ++parent->entries;
  }
  ++folder->entries;
}

void CCardMusicPlan::Take(const std::wstring& card_path) { _taken.insert(Fold(card_path)); }

bool CCardMusicPlan::IsTaken(const std::wstring& card_path) const {
  return _taken.count(Fold(card_path)) != 0;
}

CCardMusicPlan::Fit CCardMusicPlan::Check(const std::wstring& card_path) const {
  if (!libmusic::MusicPathParent(card_path).empty()) {
    const Folder* folder = FolderOf(card_path);
    const bool new_folder = !folder || !folder->present;
    if (new_folder && _folders >= libmusic::kMaxCardMusicFolders) return Fit::kTooManyFolders;
  }
  if (IsMusic(card_path) && _music_files >= libmusic::kMaxCardMusicFiles) {
    return Fit::kTooManyFiles;
  }
  return Fit::kFits;
}

void CCardMusicPlan::Add(const std::wstring& card_path) {
  Take(card_path);
  Keep(card_path);
}

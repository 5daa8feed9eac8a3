// The card's music folder as it will be once a selection's deletions and
// copies are made: its folders and music files against the card's limits,
// and the card paths already taken. The music charge builds one per run so
// that what it selects can really go onto the card, and looks paths up in
// a hash set instead of comparing every PC file with every card file.
//
// Card paths are relative to the card's music folder and compare without
// regard to case, as the card's file system does. Deletions follow the
// library's rule: a folder that a deletion empties goes, its parent stays.
// One object serves one thread.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

class CCardMusicPlan final {
 public:
  enum class Fit { kFits, kTooManyFolders, kTooManyFiles };

  CCardMusicPlan() = default;
  CCardMusicPlan(const CCardMusicPlan&) = delete;
  CCardMusicPlan& operator=(const CCardMusicPlan&) = delete;

  // Counts every folder and music file below the card's music folder (no
  // tags read; a missing folder holds nothing). abort is asked before each
  // entry; false when it answered true.
  bool Survey(const std::wstring& sd_folder, const std::function<bool()>& abort);

  // A card file (one the survey saw) is to be deleted, or kept after all.
  void Delete(const std::wstring& card_path);
  void Keep(const std::wstring& card_path);
  // Marks a card path as taken: a new file must not go there.
  void Take(const std::wstring& card_path);
  bool IsTaken(const std::wstring& card_path) const;

  // Whether a new file may go to card_path within the card's limits; Add
  // then counts it (and takes its path).
  Fit Check(const std::wstring& card_path) const;
  void Add(const std::wstring& card_path);

  int Folders() const { return _folders; }
  int MusicFiles() const { return _music_files; }

 private:
  struct Folder {
    int entries = 0;
    bool present = true;
  };

  bool SurveyFolder(const std::wstring& path, const std::wstring& relative,
                    const std::function<bool()>& abort);
  // The folder record of a card path's folder; null for the music folder
  // itself, which neither counts nor goes.
  Folder* FolderOf(const std::wstring& card_path);
  const Folder* FolderOf(const std::wstring& card_path) const;
  void ChangeEntries(const std::wstring& folder_key, int delta);

  std::unordered_map<std::wstring, Folder> _folder_map;  // by folded path
  std::unordered_set<std::wstring> _taken;               // folded paths
  int _folders = 0;
  int _music_files = 0;
};

// CSettingWindow (the launcher's, not the music manager's window of that
// name): which charges run, the download folder and the automatic deletion
// of downloads the unit already holds, and three actions: delete the
// downloads, clear the SD card's unit data, reset the settings. The window
// is created once and hidden; the launcher shows it with the card's drive
// letter (0: none) and it follows the card change (OVEVSDChange). Nothing is
// saved until OK, and only a folder that passed the checks is saved. It
// belongs to the launcher's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KeptCardWindow.h"
#include "SkinDefinition.h"

class COstrovelleConfig;

namespace ui {

class CSkinWindowItemEditBox;

// What the window asks of the world beyond the settings file and the boxes;
// tests replace them. Each one unset takes the real way.
struct SettingWindowHooks {
  // The folder picker: true with *chosen set when the user picked one.
  std::function<bool(HWND owner, const std::string& initial, std::string* chosen)> pick_folder;
  // The free bytes of a drive's root ("C:\"); false (the error in *error)
  // when the system cannot say.
  std::function<bool(const std::string& root, uint64_t* free_bytes, DWORD* error)> free_space;
  // The folders a download folder must stay out of: the program-files and
  // Windows folders as the shell names them.
  std::function<std::vector<std::string>()> system_folders;
  // Waits for the music manager's windows to go after they were asked to
  // end; false when one is still there.
  std::function<bool()> wait_music_manager_gone;
  // Clears the unit data of the card of `drive`: 0 on success.
  std::function<DWORD(char drive)> clear_card;
};

namespace setting {

// The free space below which the window asks before saving a folder.
constexpr uint64_t kMinimumFreeBytes = 0x200000000ull;  // 8 GiB

// Message codes the window shows.
enum : uint32_t {
  kAskClearCard = 0xFF00CC01,
  kCardCleared = 0xFF00CC02,
  kCardClearFailed = 0xFF00CC03,
  kAskCreateFolder = 0xFF00CC04,
  kFolderNotAcceptable = 0xFF00CC05,
  kFolderEmpty = 0xFF00CC06,
  kAskLowSpace = 0xFF00CC07,
  kAskReset = 0xFF00CC08,
  kAskDeleteDownloads = 0xFF00CC09,
  kDownloadsDeleted = 0xFF00CC0A,
  kDownloadsDeleteFailed = 0xFF00CC0B,
  kNoDownloadFolder = 0xFF00CC0C,
  kCardBusy = 0xFF00CC0D,
  kDownloadsBusy = 0xFF00CC0E,
};

// Blanks (spaces and tabs) gone from both ends.
std::string TrimBlanks(const std::string& text);
// The folder check on trimmed text: 0 when the folder may be used, else the
// code to show (empty, or not acceptable: a file, a read-only, hidden,
// system or temporary folder, or one inside a system folder, compared
// without regard to case).
uint32_t CheckFolder(const std::string& folder, const std::vector<std::string>& system_folders);

}  // namespace setting

class CSettingWindow final : public CKeptCardWindow {
 public:
  static const SkinItemDescriptor kBase, kApplicationIcon, kTitleStatic, kCloseButton,
      kChargeSelectFrame, kChargeSelectFrameText, kMapChargeExeCheckBox, kMapChargeExeTextStatic,
      kTidewheelExeCheckBox, kTidewheelExeTextStatic, kStratovineExeCheckBox,
      kStratovineExeTextStatic, kDownloadFolderFrame, kDownloadFolderFrameText,
      kDownloadFolderTitleTextStatic, kDownloadFolderTextStatic, kDownloadFolderEdit,
      kDownloadFolderButton, kAutoDeleteCheckBox, kAutoDeleteTextStatic, kDownloadDeleteTextStatic1,
      kDownloadDeleteButton, kSDClearFrame, kSDClearFrameText, kSDClearTextStatic1, kSDClearButton,
      kOKButton, kCancelButton, kReInitializeButton, kFrameOverlay;

  explicit CSettingWindow(SettingWindowHooks hooks = {});
  ~CSettingWindow() override;

  // Loads the skin, creates the window hidden (owned by the launcher) and
  // fills it from the settings file. Throws CSkinWindowException or bad_alloc.
  void Create(HWND owner);
  // Refills the controls from the file, takes the card's drive letter (0:
  // none) and shows the window.
  void Show(char drive);

  // The state of the controls, for the tests.
  bool IsChecked(const SkinItemDescriptor& item);
  void SetChecked(const SkinItemDescriptor& item, bool on);
  bool IsItemEnabled(const SkinItemDescriptor& item);
  std::string FolderText();
  void SetFolderText(const std::string& text);

 protected:
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  void CreateItems(const SkinDefinition& definition) override;
  void OnCardChange(char drive) override { SetDrive(drive); }

 private:
  CSkinWindowItemEditBox* Edit();
  void Fill(const COstrovelleConfig& config);
  void SetDrive(char drive);
  int Ask(uint32_t code);
  // The folder check with its box; the trimmed folder in *folder. False
  // when a box stopped it.
  bool CheckFolderText(std::string* folder);
  // Whether the core holds any charge (its answer to OVEVRequestReconfirm).
  bool CoreHasReservations();
  void Apply();
  void PickFolder();
  void DeleteDownloads();
  void ClearCard();
  void Reset();

  SettingWindowHooks _hooks;
};

}  // namespace ui

// The music-charge settings window: whether and how the core charges music
// automatically (the [Music] keys and the music settings file). It reads the
// files when it opens and writes them on OK, after checking the values and,
// where the charge type changes, asking the core about a running music
// charge or starting one. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "EndSessionWaitingWindow.h"
#include "FrameOverlayWindow.h"
#include "MusicWindow.h"
#include "OvWindows.h"
#include "ResizableSkinWindow.h"
#include "SkinDefinition.h"

class COstrovelleConfig;

namespace ui {

class CSkinWindowItemEditBox;
class CSkinWindowItemSlider;

using CMusicFrame = CFrameOverlayWindowBase<CEndSessionWaitingWindow<CResizableSkinWindow>>;

// What the window asks of the world beyond the files and boxes; tests replace
// them. Each one unset takes the real platform's way.
struct SettingWindowHooks {
  // The folder picker: true with *chosen set when the user picked one.
  std::function<bool(HWND owner, const std::wstring& initial, std::wstring* chosen)> pick_folder;
  // Starts the core for the given jobs; true when it started.
  std::function<bool(HWND notify, char drive, uint32_t jobs)> start_core;
  // The system folder the music folder must stay out of.
  std::function<std::wstring()> system_folder;
};

// How long the window waits for the core's answer about reserved charges.
constexpr UINT kCoreAnswerTimeoutMs = 5000;

// The stored settings' checks, kept apart so that they read as a table.
bool IsFullPath(const std::wstring& path);
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);
// Where the percentage label goes: its left edge for slider position p.
int RateLabelLeft(int slider_left, int slider_width, int label_width, int p);

class CSettingWindow final : public CMusicFrame, public CWindowBase, public IMusicWindow {
 public:
  static const SkinItemDescriptor kBase, kApplicationIcon, kTitleStatic, kCloseButton, kOKButton,
      kCancelButton, kSetDefaultButton, kFrameOverlay, kChargeTypeFrame, kChargeTypeFrameText,
      kChargeTypeNoChargeRadio, kChargeTypeManualRadio, kChargeTypeAutoRadio,
      kChargeTypeNoChargeTextStatic, kChargeTypeManualTextStatic, kChargeTypeAutoTextStatic,
      kMusicFolderFrame, kMusicFolderFrameText, kMusicFolderTextStatic, kMusicFolderEdit,
      kReferenceButton, kAutoChargeTypeFrame, kAutoChargeTypeFrameText,
      kAutoChargeTypeTimeStampRadio, kAutoChargeTypeRandomRadio, kAutoChargeTypeTimeStampTextStatic,
      kAutoChargeTypeRandomTextStatic, kAutoChargeTypeRateTextStatic,
      kAutoChargeTypeMinRateTextStatic, kAutoChargeTypeMaxRateTextStatic,
      kAutoChargeTypeRateValueTextStatic, kAutoChargeTypeScaleSlider, kChargeIntervalFrame,
      kChargeIntervalFrameText, kChargeIntervalPerWeekRadio, kChargeIntervalPerDayRadio,
      kChargeIntervalAlwaysRadio, kChargeIntervalPerWeekTextStatic, kChargeIntervalPerDayTextStatic,
      kChargeIntervalAlwaysTextStatic, kChargeLimitFrame, kChargeLimitFrameText,
      kChargeLimitCheckBox, kChargeLimitCheckBoxTextStatic, kChargeLimitBySizeRadio,
      kChargeLimitByFileCountRadio, kChargeLimitBySizeTextStatic, kChargeLimitByFileCountTextStatic,
      kChargeLimitSizeEdit, kChargeLimitFileCountEdit, kChargeLimitSizeTextStatic,
      kChargeLimitFileCountTextStatic;

  static const int kChargeTypeGroup[3];
  static const int kAutoChargeTypeGroup[2];
  static const int kIntervalGroup[3];
  static const int kLimitGroup[2];

  explicit CSettingWindow(SettingWindowHooks hooks = {});
  ~CSettingWindow() override;

  // IMusicWindow
  void SetTarget(char drive, HWND notify) override;
  bool CreateMusicWindow() override;
  HWND WindowHandle() const override { return Handle(); }

  // Creates the window from the skin and fills it from the files; hidden.
  // Throws CSkinWindowException or bad_alloc.
  void Create();
  UINT GetWindowMessage() const override { return WM_APP + 1; }

  // The controls' values, for the window's code and for tests.
  void ShowSettings(const COstrovelleConfig& config);
  void ReadSettings(COstrovelleConfig* config);
  bool IsChecked(int id);
  bool IsItemEnabled(int id);
  void SetChecked(int id, bool on);
  CSkinWindowItemEditBox* Edit(int id);
  CSkinWindowItemSlider* Slider();
  std::string ItemText(int id);
  RECT ItemRect(int id);
  // The OK sequence; true when the window was told to close.
  bool OnOK();
  // The items' reports: the icon's close and the slider's moves.
  bool Notify(int id, int code, int value) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnDestroy() override;
  void OnEndSession(bool ending, LPARAM lparam) override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnAcceptOrCancel(int id, bool accept) override;

 private:
  int Ask(uint32_t code);
  void SetItemEnabled(int id, bool on);
  void SetItemText(int id, const std::string& text);
  void ApplyChargeType(bool e);
  void ApplyAutoChoice(bool e);
  void ApplyInterval(bool e);
  void ApplyLimit(bool e);
  void UpdateRateLabel();
  void PickFolder();
  void ResetToDefaults();
  // Asks the core whether a music charge runs; false when the user keeps it.
  bool StopCoreMusicCharge();
  bool Save(COstrovelleConfig& config);

  SettingWindowHooks _hooks;
  char _drive = 0;
  HWND _notify = nullptr;  // not owned
  HWND _owner = nullptr;   // not owned; never set by the start-up
  const UINT _request_end;
};

}  // namespace ui

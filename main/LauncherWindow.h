// CLauncherWindow: the main program's launcher ("Ostrovelle"). It finds the
// unit's card and follows its arrival and removal, shows the card's state,
// ends the core and the music manager when it opens, closes or the card
// changes, passes the card change on to the windows that follow the card,
// ejects the card and asks before it ends a charge under way.
//
// Card arrival and removal come as the shell's change notification or as
// the system's WM_DEVICECHANGE volume notice (either one only starts a
// detection step a second later, which rescans every drive). The drives are
// read through a replaceable CLauncherCardScan and the card is ejected
// through the replaceable volume device (VolumeEject.h).
//
// The fold-out menu is reached through ILauncherMenu (CLauncherMenu, the
// menu window, unless a test gives another); what its entries do is
// CLauncherMenuCommands, whose windows can be replaced (SetMenuOpeners).
//
// Everything runs on the thread that created the window; it blocks that
// thread for at most about a second while it waits for the core to end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ChargeChain.h"
#include "LauncherCardScan.h"
#include "LauncherNotices.h"
#include "LauncherMenuCommands.h"
#include "MainFrame.h"
#include "MainWindow.h"
#include "ShellHelpers.h"
#include "SkinDefinition.h"

// The fold-out menu as the launcher drives it.
class ILauncherMenu {
 public:
  virtual ~ILauncherMenu() = default;
  // Makes the menu for the launcher, which gets clicks and hovers as the
  // two messages. Throws CSkinWindowException.
  virtual void Build(HWND launcher, UINT click_message, UINT hover_message) = 0;
  virtual bool IsOpen() const = 0;
  virtual void Open() = 0;
  virtual void Close() = 0;
  // The menu's window, null while it does not exist; it is told of every
  // card change.
  virtual HWND MenuWindow() const = 0;
  // Hangs the menu at a screen point (the launcher's menu button).
  virtual void MoveTo(POINT anchor) = 0;
  // Enabled once the version check allows it.
  virtual void Enable(bool) {}
};

namespace ui {

class CLauncherWindow final : public mainwin::CMainFrame, public CWindowBase, public IMainWindow {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitle;
  static const SkinItemDescriptor kMinimizeButton;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kMenuButton;
  static const SkinItemDescriptor kMenuButtonClose;
  static const SkinItemDescriptor kStatusMessageImage;
  static const SkinItemDescriptor kProbeProgressImage;
  static const SkinItemDescriptor kMapProgressImage;
  static const SkinItemDescriptor kTidewheelProgressImage;
  static const SkinItemDescriptor kWeatherProgressImage;
  static const SkinItemDescriptor kMusicProgressImage;
  static const SkinItemDescriptor kSDEjectableIcon;
  static const SkinItemDescriptor kSDAlivalIcon;
  static const SkinItemDescriptor kSDUnAlivalIcon;
  static const SkinItemDescriptor kSDCardStatic;
  static const SkinItemDescriptor kSDSearchAnime;
  static const SkinItemDescriptor kSDChargingAnime;
  static const SkinItemDescriptor kSDEjectButton;
  static const SkinItemDescriptor kSDEjectTextStatic;
  static const SkinItemDescriptor kSDAbortButton;
  static const SkinItemDescriptor kSDAbortTextStatic;
  static const SkinItemDescriptor kSDAbortInfoTextStatic;
  static const SkinItemDescriptor kFrameOverlay;

  // Private messages.
  static constexpr UINT kMenuCommandMessage = 0x736;  // main index, sub index
  static constexpr UINT kShellNotifyMessage = 0x738;  // the shell's notification
  static constexpr UINT kMenuHoverMessage = 0x737;    // menu index, item
  static constexpr UINT kShowCodeMessage = 0x73A;     // message code, 0
  static constexpr UINT kStatusMessage = 0x739;       // status type, 0
  static constexpr UINT kUrlResultMessage = CLauncherMenuCommands::kUrlResultMessage;
  // The one-shot detection step after a card arrived or went.
  static constexpr UINT_PTR kDetectTimer = 0x1236;
  static constexpr int kDetectRetryLimit = 180;
  // A card with less room than this cannot take a map update.
  static constexpr uint64_t kSmallCardBytes = 7200000000ull;

  CLauncherWindow();
  ~CLauncherWindow() override;

  // IMainWindow.
  void SetUnitModel(uint8_t model) override {
    _model = model;
    _notices.SetUnitModel(model);
  }
  bool CreateMainWindow() override;
  HWND WindowHandle() const override { return Handle(); }
  bool WantsRestart() const override { return _restart; }

  // Replaces the drive scan (null: the system's). Before CreateMainWindow.
  void SetCardScan(std::unique_ptr<CLauncherCardScan> scan);
  // Replaces the menu (null: the fold-out menu). Before CreateMainWindow.
  void SetMenu(std::unique_ptr<ILauncherMenu> menu) { _menu = std::move(menu); }
  ILauncherMenu* Menu() const { return _menu.get(); }
  // Replaces the windows the menu entries open (empty members keep theirs).
  void SetMenuOpeners(const LauncherMenuOpeners& openers) { _commands.SetOpeners(openers); }
  bool IsUrlThreadRunning() const { return _commands.IsUrlThreadRunning(); }
  // The status type the status line shows last (0x739).
  int ShownStatusType() const { return _chain->ShownType(); }
  // Whether the launcher ends its thread's message loop when destroyed (the
  // program's one window does).
  void SetQuitOnDestroy(bool quit) { _quit_on_destroy = quit; }

  char CurrentDrive() const { return _drive; }
  bool IsDetectionPending() const { return _detect_pending; }
  // Whether the card search animation runs (while a detection is pending).
  bool IsSearchShown();
  // The charging animation over the card icon while the core reports a
  // charge (the chain starts and stops it); the card icon comes back after.
  void ShowCharging(bool charging);
  bool IsChargingShown();
  int DetectRetries() const { return _detect_retries; }
  bool IsSDPanelOpen() const { return _sd_panel_open; }
  bool IsEnding() const { return _ending; }
  std::string StatusText();
  // The map charge's questions and the information-charge question.
  CLauncherNotices& Notices() { return _notices; }
  int AfterTrafficMode() const { return _chain->AfterTrafficMode(); }
  // The kinds the core holds reserved or running; 0 without a core.
  uint32_t BusyKinds();
  // The charge chain, the kinds' states and the map progress.
  CChargeChain& Chain() { return *_chain; }
  // The card line shown while no status type is on the line.
  std::string CardStatusText() const;
  // Ejects the current card now and closes the SD panel.
  void EjectNow();

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnClose() override;
  bool OnQueryEndSession(LPARAM lparam) override;
  void OnEndSession(bool ending, LPARAM lparam) override;
  void OnLButtonUp(UINT keys, int x, int y) override;
  void OnMove(int x, int y) override;
  void OnRButtonUp(UINT keys, int x, int y) override;
  void OnLButtonDblClk(UINT keys, int x, int y) override;
  bool Notify(int id, int code, int value) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  void OnDestroy() override;

 private:
  void _CreateItems(const SkinDefinition& definition);
  void _FirstScan();
  void _RegisterShellNotify();
  void _OnShellNotify(WPARAM wparam, LPARAM lparam);
  void _OnDeviceChange(WPARAM event, LPARAM record);
  void _StartDetection();
  void _ShowSearch(bool searching);
  void _OnTimerShellNotify();
  void _OnSDChange(WPARAM drive, LPARAM start);
  void _OnMenuCommand(int main_index, int sub_index);
  void _BuildMenu();
  void _PlaceMenu();
  void _CloseMenu();
  bool _HitsItem(const SkinItemDescriptor& item, int x, int y);
  int _HintTypeOf(int id) const;
  CLauncherMenuCommands::Context _MenuContext();
  void _ShowCode(uint32_t code);
  void _EndCoreAndMusic(bool wait);
  void _PassSDChangeOn();
  void _RequestEject();
  void _ExitCheck();
  void _RequestAbort();
  void _ToggleSDPanel();
  void _ShowCardIcons();
  void _SetStatus();
  void _SetVisible(const SkinItemDescriptor& item, bool visible);
  void _SetAllStates(DWORD frame);
  bool _OtherWindowsVisible();
  void _ClearCachedStrings();
  void _DeleteTemporaryFiles();

  const UINT _msg_sd_change;
  const UINT _msg_request_end;
  const UINT _msg_reconfirm;
  const UINT _msg_map_download;
  const UINT _msg_progress_start;
  const UINT _msg_progress_end;
  const UINT _msg_request_start_charge;
  const UINT _msg_notify_error;

  std::unique_ptr<CLauncherCardScan> _scan;
  std::unique_ptr<ILauncherMenu> _menu;
  CLauncherNotices _notices;
  CLauncherMenuCommands _commands;
  CWrapSHChangeNotifyRegister _shell;
  ULONG _shell_id = 0;

  char _drive = 0;  // the current card, 0 for none
  uint8_t _model = 0;
  std::string _ccid;  // cached for the web pages; cleared on a change
  std::string _user_agent;
  bool _sd_panel_open = false;
  bool _detect_pending = false;
  int _detect_retries = 0;
  bool _card_check_running = false;  // the map charge checks the card
  bool _ending = false;
  bool _restart = false;
  bool _quit_on_destroy = true;
  std::unique_ptr<CChargeChain> _chain;
};

}  // namespace ui

// CLauncherMenuCommands: what the launcher's menu entries do, and which hint
// the status line shows while the pointer is over them.
//
//   0.0 settings window for the card       0.1 refresh (start the charges)
//   1.0 music manager, settings mode       1.1 music manager, manual mode
//   2.0 download page of the newest program (asked on a thread of its own)
//   2.1 customer-registration page         3.0 version window (modal)
//   3.1 card-information window            3.2 online help
//
// The windows are reached through replaceable openers (LauncherMenuOpeners),
// so tests record them; by default the settings and card-information
// windows are made on first use, kept hidden between uses and destroyed by
// Stop; the card-information window opens the probe-upload history. Web pages go through the
// foundation's browser function, which opens only http and https addresses. The object belongs to
// the launcher's thread; Stop (or the destructor) ends a running download-page question and waits
// for its thread.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "DownloadUrlThread.h"
#include "OvWindows.h"

namespace ui {

class CSDInfoWindow;
class CSettingWindow;

struct LauncherMenuOpeners {
  // The settings window for the card, given the user's unit model.
  std::function<void(HWND owner, char drive, uint8_t model)> settings;
  // The card-information window for the card.
  std::function<void(HWND owner, char drive)> card_information;
  // The version window, modal.
  std::function<void(HWND owner)> version;
};

class CLauncherMenuCommands final {
 public:
  // The download-page question's result: (0, result).
  static constexpr UINT kUrlResultMessage = 0x73B;
  // The web pages: connection id and function code.
  static constexpr int kTopPage = 0;
  static constexpr int kTopPageCode = 400;
  static constexpr int kHelpPage = 1;
  static constexpr int kHelpPageCode = 600;
  static constexpr int kRegistrationPage = 3;
  static constexpr int kRegistrationPageCode = 100;

  // What the launcher holds when a command runs.
  struct Context {
    HWND launcher;
    char drive;     // the current card, 0 for none
    uint8_t model;  // the user's unit model
    UINT start_charge_message;
  };

  CLauncherMenuCommands();
  ~CLauncherMenuCommands();
  CLauncherMenuCommands(const CLauncherMenuCommands&) = delete;
  CLauncherMenuCommands& operator=(const CLauncherMenuCommands&) = delete;

  // Replaces the openers; an empty member keeps the one in place.
  void SetOpeners(const LauncherMenuOpeners& openers);

  // Runs entry (main, sub); unknown entries are only logged.
  void Run(const Context& context, int main_index, int sub_index);
  // The download-page question ended with `result`: opens the page it
  // found, or the product's top page when it failed or found none.
  void OnUrlResult(const Context& context, uint32_t result);
  bool IsUrlThreadRunning() const { return _url_thread.IsRunning(); }
  // Ends a running download-page question and destroys the windows the
  // default openers made.
  void Stop();

  // The status type of the hint for a hover report (menu index, item):
  // 0xFFFF or -1 with an item names a main button, 0..3 a sub-menu; an item
  // of -1 (the pointer left) gives 0.
  static int HintType(WPARAM menu_index, LPARAM item);
  // Opens a web page of a connection id for the card (or the last user).
  static bool OpenWebPage(int connection, int function_code, char drive);

 private:
  void _OpenSettings(HWND owner, char drive);
  void _OpenCardInformation(HWND owner, char drive);

  LauncherMenuOpeners _openers;
  CDownloadUrlThread _url_thread;
  std::unique_ptr<CSettingWindow> _setting_window;
  std::unique_ptr<CSDInfoWindow> _sdinfo_window;
};

}  // namespace ui

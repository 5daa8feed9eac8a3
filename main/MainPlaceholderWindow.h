// A plain framework window that stands in for the launcher or the
// registration window until the skinned one takes its place: the
// framework's default class and the title by which other programs find the
// window, ending the message loop when destroyed. The launcher stand-in
// keeps the first card of the unit as its card, follows OVEVSDChange and
// answers OVEVMapDownload as the launcher does. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "MainWindow.h"
#include "Window.h"

extern const char kLauncherTitle[];      // "Ostrovelle"
extern const char kRegistrationTitle[];  // "Ostrovelle UserEntry"

class CMainPlaceholderWindow final : public lib::wfc::CWindow, public IMainWindow {
 public:
  explicit CMainPlaceholderWindow(const char* title);
  ~CMainPlaceholderWindow() override;

  void SetUnitModel(uint8_t model) override { _model = model; }
  bool CreateMainWindow() override;
  HWND WindowHandle() const override { return Handle(); }
  bool WantsRestart() const override { return false; }

  char Drive() const { return _drive; }
  uint8_t UnitModel() const { return _model; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnPaint() override;
  void OnDestroy() override;

 private:
  bool IsLauncher() const;

  const std::string _title;
  const UINT _map_download;
  const UINT _sd_change;
  char _drive = 0;
  uint8_t _model = 0;
};

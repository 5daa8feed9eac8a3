// CInitializationWindow ("Ostrovelle UserEntry", "初期設定"): the first
// start's registration. The user opens the registration web page or enters
// nickname and password; a user-check thread (RegistrationCheck.h) asks the
// service and stores the user. On success CInitCompleteWindow confirms it,
// the window closes and the program starts again into the launcher.
//
// Threads: the window belongs to the program's main thread; the one
// user-check thread reports only by posting 0x8004. Closing the window (by
// the user or at log-off) sets the named event "EventInitializationCancel"
// and waits for the thread, so the check never outlives the window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Handle.h"
#include "MainFrame.h"
#include "MainWindow.h"
#include "RegistrationCheck.h"
#include "SkinDefinition.h"

namespace ui {

class CSkinWindowItemEditBox;

class CInitializationWindow final : public mainwin::CMainFrame,
                                    public CWindowBase,
                                    public IMainWindow {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kRightTriangleImage;
  static const SkinItemDescriptor kOKButton;
  static const SkinItemDescriptor kCancelButton;
  static const SkinItemDescriptor kRegistConfirmButton;
  static const SkinItemDescriptor kRegistUserCaptionTextStatic;
  static const SkinItemDescriptor kRegistUserTextStatic;
  static const SkinItemDescriptor kConfirmCaptionTextStatic;
  static const SkinItemDescriptor kConfirmTextStatic;
  static const SkinItemDescriptor kNickNameTextStatic;
  static const SkinItemDescriptor kPasswordTextStatic;
  static const SkinItemDescriptor kNickNameEdit;
  static const SkinItemDescriptor kPasswordEdit;
  static const SkinItemDescriptor kFrameOverlay;

  // cancel_event_name: tests give their own.
  explicit CInitializationWindow(const char* cancel_event_name = regist::kCancelEventName);
  ~CInitializationWindow() override;

  // Loads the skin, creates the window (hidden), focuses the nickname and
  // looks up the unit's cards. Throws CSkinWindowException or bad_alloc.
  void Create(HWND owner);

  // IMainWindow: the start-up's registration window, whose end also ends
  // the program's message loop.
  void SetUnitModel(uint8_t) override {}
  bool CreateMainWindow() override;
  HWND WindowHandle() const override { return Handle(); }
  bool WantsRestart() const override { return _registered; }

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }

  bool RegistrationPending() const { return _pending; }
  bool CheckRunning() const { return static_cast<bool>(_thread); }
  bool OkEnabled();
  CSkinWindowItemEditBox* NicknameEdit() const { return _nickname_edit; }
  CSkinWindowItemEditBox* PasswordEdit() const { return _password_edit; }
  // The result of the last finished check.
  uint32_t LastResult() const { return _last_result; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnClose() override;
  void OnDestroy() override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;
  bool OnQueryEndSession(LPARAM lparam) override;
  void OnEndSession(bool ending, LPARAM lparam) override;

 private:
  void CreateItems(const SkinDefinition& definition);
  void UpdateOkButton();
  void PressOk();
  void OpenRegistrationPage();
  void CloseByButton();
  void StartCheck();
  void StopCheck();
  void OnCheckDone(uint32_t result);
  void ShowCodeBox(uint32_t code);

  HWND _owner = nullptr;  // not owned
  bool _pending = true;
  bool _registered = false;
  bool _ends_loop = false;
  bool _ending = false;
  bool _shown = false;
  CHandle _cancel_event;  // named, auto-reset
  CHandle _stop_event;    // the window's own, manual-reset
  CHandle _thread;
  std::unique_ptr<regist::CUserCheck> _check;        // outlives its thread
  CSkinWindowItemEditBox* _nickname_edit = nullptr;  // owned by the window
  CSkinWindowItemEditBox* _password_edit = nullptr;  // owned by the window
  regist::UnitCard _card;
  std::string _nickname;
  uint32_t _last_result = 0;
};

}  // namespace ui

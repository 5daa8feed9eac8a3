// CInfoChargeWindow: the question before the program ends or the card is
// ejected, whether the traffic information is to be fetched first
// ("Ostrovelle Info"). It slides out of the launcher's top edge like the
// other notices and runs modally; Ask gives the answer. With the launcher's
// automatic update switched off ([Setting] LauncherAutoUpdate 0) it closes
// at once with no.
//
// The window belongs to the thread that asks.
#pragma once

#include "Drawer.h"
#include "MainFrame.h"
#include "SkinDefinition.h"

namespace ui {

class CSkinWindowItemOverlay;

class CInfoChargeWindow final : public mainwin::CMainFrame, public CWindowBase {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kOKButton;
  static const SkinItemDescriptor kCancelButton;
  static const SkinItemDescriptor kDispMsgCheckBox;
  static const SkinItemDescriptor kDispMsgTextStatic;
  static const SkinItemDescriptor kUpdateConfirmTextStatic;
  static const SkinItemDescriptor kScreenOverlay;
  static const SkinItemDescriptor kFrameOverlay;

  CInfoChargeWindow();
  ~CInfoChargeWindow() override;

  // Creates the window above `owner`, runs until it closes and destroys
  // it; true for yes. A skin that cannot be loaded is logged and answers
  // no.
  static bool Ask(HWND owner);

  // The halves of Ask. Create throws CSkinWindowException or bad_alloc; it
  // shows the question unless the settings answer it (the window then
  // closes by itself).
  void Create(HWND owner);
  void RunModal();
  // Whether the settings let the question show; logs as the launcher's
  // settings check.
  static bool CheckIniFile();

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  bool AnswerYes() const { return _yes; }
  bool Done() const { return _done; }
  bool CheckBoxOn() const { return _check_box; }
  const mainwin::CDrawer& Drawer() const { return _drawer; }
  CSkinWindowItemOverlay* ScreenOverlay() const { return _screen_overlay; }
  std::string QuestionText();

 protected:
  void OnClose() override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;
  void OnDestroy() override;

 private:
  void CreateItems(const SkinDefinition& definition);
  void End(bool yes);

  HWND _owner = nullptr;  // not owned
  bool _yes = false;
  bool _check_box = false;
  volatile bool _done = false;
  mainwin::CDrawer _drawer;
  CSkinWindowItemOverlay* _screen_overlay = nullptr;  // owned by the window
};

}  // namespace ui

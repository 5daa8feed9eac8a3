// CVersionWindow: a small modal window with the program's version ("Ver."
// and the product version of the program file). Enter, Escape, a release of
// the left button anywhere in it and its close button end it. It belongs to
// the thread that runs DoModal.
#pragma once

#include "MainFrame.h"
#include "SkinDefinition.h"

namespace ui {

class CVersionWindow final : public mainwin::CMainFrame, public CWindowBase {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kBaseFrame;
  static const SkinItemDescriptor kVersionImage;
  static const SkinItemDescriptor kVersionText;
  static const SkinItemDescriptor kCorporateImage;
  static const SkinItemDescriptor kFrameOverlay;

  CVersionWindow();
  ~CVersionWindow() override;

  // Creates the window over its owner, shows it and runs until it ends.
  // Throws CSkinWindowException or bad_alloc.
  void DoModal(HWND owner);
  // The first half of DoModal: the window, filled and shown, without the loop.
  void Create(HWND owner);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  // The text VersionText shows.
  std::string VersionText();

 protected:
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnLButtonUp(UINT keys, int x, int y) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  void OnDestroy() override;

 private:
  void End();

  HWND _owner = nullptr;  // not owned
  volatile bool _done = false;
};

}  // namespace ui

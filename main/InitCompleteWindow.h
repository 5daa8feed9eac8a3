// CInitCompleteWindow ("Ostrovelle InitComplete"): confirms the first
// registration and offers the automatic music transfer at start-up, which
// its OK writes to [Music] ChargeType (2 on, 1 off). Modal over the
// registration window; belongs to the thread that runs DoModal.
#pragma once

#include "MainFrame.h"
#include "SkinDefinition.h"

namespace ui {

class CInitCompleteWindow final : public mainwin::CMainFrame, public CWindowBase {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kOKButton;
  static const SkinItemDescriptor kCompleteTextStatic;
  static const SkinItemDescriptor kMusicChargeTextStatic;
  static const SkinItemDescriptor kMusicChargeCheckBox;
  static const SkinItemDescriptor kFrameOverlay;

  CInitCompleteWindow();
  ~CInitCompleteWindow() override;

  // Creates, shows and activates the window over its owner and runs until
  // it ends; true when it was closed by its close button. Throws
  // CSkinWindowException or bad_alloc.
  bool DoModal(HWND owner);
  // The first half of DoModal: the window, shown, without the loop.
  void Create(HWND owner);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  bool Cancelled() const { return _cancelled; }
  bool MusicChargeChecked();

 protected:
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool OnQueryEndSession(LPARAM lparam) override;
  void OnEndSession(bool ending, LPARAM lparam) override;
  void OnDestroy() override;

 private:
  void Confirm();
  void End();

  HWND _owner = nullptr;  // not owned
  bool _cancelled = false;
  volatile bool _done = false;
};

}  // namespace ui

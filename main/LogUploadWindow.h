// CLogUploadWindow: asks the user's consent to send the programs' logs. It
// is created hidden and first asks the log-upload service whether this
// unit's logs are wanted at all; only then it slides out above its parent,
// the launcher. Yes uploads the logs and shows the outcome; whatever
// happens, the window tells its parent the outcome when it closes (0xB98:
// outcome, detail).
//
// Threads: the window and its upload object belong to the launcher's
// thread; the upload's workers report only by posted messages. Closing
// stops a running job and waits for it before the object goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AplLogUpload.h"
#include "Drawer.h"
#include "MainFrame.h"
#include "SkinDefinition.h"

namespace ui {

class CSkinWindowItemOverlay;

class CLogUploadWindow final : public mainwin::CMainFrame, public CWindowBase {
 public:
  // The outcome's category: every job end is reported with it.
  static constexpr uint32_t kOutcomeCategory = 0x90000000;
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kYesButton;
  static const SkinItemDescriptor kCancelButton;
  static const SkinItemDescriptor kUpdateConfirmTextStatic;
  static const SkinItemDescriptor kScreenOverlay;
  static const SkinItemDescriptor kFrameOverlay;
  static const char kConsentText[];

  // cancel_event_name: the upload's cancel event; tests give their own.
  explicit CLogUploadWindow(const char* cancel_event_name = logupload::kCancelEventName);
  ~CLogUploadWindow() override;

  // The unit whose logs are sent; called before Create. False, with a log
  // line and nothing changed, for a missing value.
  bool SetLogUploadInfo(uint32_t ccid, const char* user_agent, const char* device_no);
  // Loads the skin, creates the window hidden (owned by the parent) and
  // starts the permission check. Throws CSkinWindowException or bad_alloc.
  void Create(HWND parent);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }

  uint32_t Outcome() const { return _outcome; }
  uint32_t Detail() const { return _detail; }
  const mainwin::CDrawer& Drawer() const { return _drawer; }
  CSkinWindowItemOverlay* ScreenOverlay() const { return _screen_overlay; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnDestroy() override;
  void OnClose() override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;

 private:
  void CreateItems(const SkinDefinition& definition);
  // Makes the upload object when there is none and hands it the unit;
  // false (outcome set) when the unit is incomplete.
  bool PrepareUpload();
  void OnPermissionChecked(uint32_t result, uint32_t detail);
  void Upload();
  void OnUploaded(uint32_t result, uint32_t detail);
  void EndWith(uint32_t result, uint32_t detail);

  HWND _parent = nullptr;  // not owned
  std::string _cancel_event_name;
  std::string _device_no;
  std::string _user_agent;
  uint32_t _ccid = 0;
  std::unique_ptr<CAplLogUpload> _upload;
  mainwin::CDrawer _drawer;
  CSkinWindowItemOverlay* _screen_overlay = nullptr;  // owned by the window
  uint32_t _outcome = 0;
  uint32_t _detail = 0;
};

}  // namespace ui

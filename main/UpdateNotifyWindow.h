// CUpdateNotifyWindow: asks the latest-version service whether a newer
// version of the program exists and, when one does, slides out above the
// launcher with the way to its download page. It is created hidden; the
// launcher hears when the inquiry has ended (0xB78) and when the window
// closes (0xB77), each with the result (1 newer, 2 up to date or no inquiry
// due, 0xFF00 cancelled, else a failure code).
//
// Threads: the window belongs to the launcher's thread; one inquiry thread
// asks the service and reports only by posting 0x8002 (0, result). The
// named event "EventInquiryCancel" stops the inquiry; the window sets it
// and waits for the thread when it is destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Drawer.h"
#include "Handle.h"
#include "MainFrame.h"
#include "SkinDefinition.h"

class COstrovelleConfig;

namespace ui {

class CSkinWindowItemOverlay;

namespace update {
constexpr uint32_t kNewer = 1;
constexpr uint32_t kUpToDate = 2;  // also when no inquiry is due
constexpr uint32_t kCancelled = 0xFF00;
constexpr uint32_t kParameterFailed = 0xFF05;
constexpr uint32_t kHttpSetupFailed = 0x10FF04;
constexpr uint32_t kNoUserAgent = 0x40FF07;
constexpr uint32_t kWaitFailed = 0x40FFFF;
constexpr uint32_t kTransferError = 0x100000;  // plus the client's error
constexpr uint32_t kServerError = 0x200000;    // or-ed with the analyzer's code
constexpr const char* kCancelEventName = "EventInquiryCancel";
// The heights of the drawer with and without the check box row.
constexpr int kHeightWithCheckBox = 172;
constexpr int kHeightWithoutCheckBox = 150;

// Whether the settings call for an inquiry at the local time `now`:
// `LauncherAutoUpdate` on and, when `NotifiesLater` is set, three days past
// `FinalConfirmationDate`. Settings that cannot be read call for one.
bool IsInquiryDue(const SYSTEMTIME& now);
// The three-day rule alone: true while `now` lies less than three days
// after a confirmation date that has a year.
bool IsWithinThreeDays(const SYSTEMTIME& confirmed, const SYSTEMTIME& now);
}  // namespace update

class CUpdateNotifyWindow final : public mainwin::CMainFrame, public CWindowBase {
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

  // drive: the card whose unit's user agent the inquiry sends; 0 for the
  // last user of the user list. cancel_event_name: tests give their own.
  CUpdateNotifyWindow(HWND owner, char drive,
                      const char* cancel_event_name = update::kCancelEventName);
  ~CUpdateNotifyWindow() override;

  // Loads the skin, creates the window hidden and starts the inquiry when
  // one is due; else the window closes with result 2. Throws
  // CSkinWindowException or bad_alloc.
  void Create(HWND owner);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }

  uint32_t Result() const { return _result; }
  const std::string& LatestVersion() const { return _version; }
  const std::string& Url() const { return _url; }
  bool DoNotShowAgain() const { return _do_not_show; }
  bool InquiryRunning() const { return static_cast<bool>(_thread); }
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
  class CInquiry;

  void CreateItems(const SkinDefinition& definition);
  void SetTexts();
  bool StartInquiry();
  void JoinInquiry();
  void OnInquiryDone(uint32_t result);
  void Update();
  void ToggleDoNotShow();
  void Close();
  void OpenFallbackPage() const;

  HWND _owner = nullptr;  // not owned
  char _drive = 0;
  CHandle _cancel_event;  // named, auto-reset
  CHandle _stop_event;    // the window's own, manual-reset
  CHandle _thread;
  std::unique_ptr<CInquiry> _inquiry;  // outlives its thread
  std::string _version;
  std::string _url;
  std::string _user_agent;
  bool _do_not_show = false;
  uint32_t _result = 0;
  mainwin::CDrawer _drawer;
  CSkinWindowItemOverlay* _screen_overlay = nullptr;  // owned by the window
};

}  // namespace ui

// CMapChargeWindow: the map update's questions as a drawer above the
// launcher ("Ostrovelle Map"). The core asks (a reservation reminder, a
// download that may start, unsent probe data, a check of the card's data),
// the launcher sets up one screen and shows it, and the window tells the
// launcher the answer by posting 0xA66 (answer type, check box << 16 | yes)
// when it closes. The window is made once and hidden between questions.
//
// The screens' texts, the answer types and the named events of each answer
// are pure functions here (namespace mapnotice), tested apart.
//
// The window belongs to the launcher's thread.
#pragma once

#include <cstdint>
#include <string>

#include "Drawer.h"
#include "MainFrame.h"
#include "SkinDefinition.h"

namespace mapnotice {

// The launcher's private message that carries an answer.
constexpr UINT kAnswerMessage = 0xA66;

// The request types of OVEVMapLicense (the launcher's own 5 included).
constexpr uint32_t kRequestReminder = 2;
constexpr uint32_t kRequestDownload = 3;
constexpr uint32_t kRequestRefresh = 5;
constexpr uint32_t kRequestCardTooSmall = 239;

// The window's screens.
constexpr int kScreenNone = -1;
constexpr int kScreenReminder = 2;
constexpr int kScreenDownload = 4;
constexpr int kScreenRefresh = 5;
constexpr int kScreenVerify = 7;
constexpr int kScreenProbe = 8;

// The answer types (wParam of 0xA66).
constexpr uint32_t kAnswerReminder = 2;
constexpr uint32_t kAnswerDownload = 3;
constexpr uint32_t kAnswerRefresh = 5;
constexpr uint32_t kAnswerVerify = 16;
constexpr uint32_t kAnswerProbe = 17;
constexpr uint32_t kAnswerCardTooSmall = 239;
constexpr uint32_t kAnswerUndefined = 0xFFFFFFFF;

// The drawer's heights with and without the bottom row.
constexpr int kTallHeight = 172;
constexpr int kShortHeight = 150;

// The screen of an OVEVMapLicense request shown in the window; kScreenNone
// for the card-too-small box and unknown types.
int ScreenOfRequest(uint32_t type);
// The answer type a screen gives; kAnswerUndefined for unknown screens.
uint32_t AnswerTypeOfScreen(int screen);
// The screen's text with the request's data (the reminder's BCD date
// 0x00YYMMDD, the download's estimated seconds); empty for unknown screens.
std::string ScreenText(int screen, uint32_t data);
// "20YY年MM月DD日" of a BCD date 0x00YYMMDD.
std::string ReminderDate(uint32_t bcd);
// Hours and minutes "%d:%02d" of a number of seconds.
std::string EstimateText(uint32_t seconds);
// lParam of 0xA66 and its two halves.
constexpr LPARAM AnswerParam(bool yes, bool check_box) {
  return static_cast<LPARAM>((check_box ? 1u << 16 : 0u) | (yes ? 1u : 0u));
}
constexpr bool AnswerIsYes(LPARAM answer) { return (answer & 0xFFFF) == 1; }
constexpr bool AnswerCheckBox(LPARAM answer) { return ((answer >> 16) & 0xFFFF) != 0; }
// The named event an answer sets; empty for answers that set none (5) and
// unknown types.
std::string AnswerEventName(uint32_t answer_type, bool yes);
// Opens the named event for modify-state access and sets it; false (the
// core is not waiting) when it cannot be opened.
bool SetAnswerEvent(const std::string& name);

}  // namespace mapnotice

namespace ui {

class CSkinWindowItemOverlay;

class CMapChargeWindow final : public mainwin::CMainFrame, public CWindowBase {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kYesButton;
  static const SkinItemDescriptor kCancelButton;
  static const SkinItemDescriptor kYesBottomButton;
  static const SkinItemDescriptor kCancelBottomButton;
  static const SkinItemDescriptor kOKShortButton;
  static const SkinItemDescriptor kReReserveButton;
  static const SkinItemDescriptor kDispMsgCheckBox;
  static const SkinItemDescriptor kDispMsgTextStatic;
  static const SkinItemDescriptor kInformationTextStatic;
  static const SkinItemDescriptor kInformationTextSmallStatic;
  static const SkinItemDescriptor kScreenOverlay;
  static const SkinItemDescriptor kFrameOverlay;

  explicit CMapChargeWindow(HWND owner);
  ~CMapChargeWindow() override;

  // Loads the skin and creates the window hidden. Throws
  // CSkinWindowException or bad_alloc.
  void Create();
  void SetUnitModel(uint8_t model) { _model = model; }

  // Fills the window for a screen; false when it is not to be shown: a
  // reminder the settings silence (answered no at once) or an unknown
  // screen.
  bool SetUpScreen(int screen, uint32_t data);
  // Slides the set-up screen out of the owner's top edge.
  void Show();
  // Hides the window without an answer (the question went away).
  void Hide();
  // Whether the settings allow the screen; logs as the launcher's check.
  static bool CheckIniFile(int screen);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  int Screen() const { return _screen; }
  bool IsShowing() const { return _showing; }
  bool AnswerYes() const { return _yes; }
  bool CheckBoxOn() const { return _check_box; }
  int TargetHeight() const { return _height; }
  std::string InformationText();
  std::string NoteText();
  const mainwin::CDrawer& Drawer() const { return _drawer; }
  CSkinWindowItemOverlay* ScreenOverlay() const { return _screen_overlay; }

 protected:
  void OnClose() override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;
  void OnDestroy() override;

 private:
  void CreateItems(const SkinDefinition& definition);
  void Answer(bool yes);
  void CloseWithAnswer();
  void SetVisible(const SkinItemDescriptor& item, bool visible);
  void SetText(const SkinItemDescriptor& item, const std::string& text);

  HWND _owner = nullptr;  // not owned
  uint8_t _model = 0;
  int _screen = mapnotice::kScreenNone;
  bool _yes = false;
  bool _check_box = false;
  bool _showing = false;
  int _height = mapnotice::kShortHeight;
  mainwin::CDrawer _drawer;
  CSkinWindowItemOverlay* _screen_overlay = nullptr;  // owned by the window
};

}  // namespace ui

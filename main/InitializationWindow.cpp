#include "InitializationWindow.h"

#include <process.h>

#include <exception>
#include <utility>

#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "ErrorMessage.h"
#include "InitCompleteWindow.h"
#include "Log.h"
#include "MainWindowKeys.h"
#include "MessageBox.h"
#include "OstrovelleLite/UserAgent.h"
#include "Placement.h"
#include "SkinException.h"
#include "SkinWindowItemEditBox.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"

namespace ui {

namespace {

constexpr UINT_PTR kOkTimer = 0x5A01;
constexpr UINT kOkTimerMs = 100;
const char kTitle[] = "初期設定";
const char kRegistUserCaption[] = "＜初めて登録される方はこちらから＞";
const char kRegistUserText[] =
    "Tidewheelへの参加、マップチャージ(地図更新)を行うためにお客様登録を行う必要があります。\r\n"
    "右の「お客様登録/確認」ボタンからお客様登録を行ってください。\r\n"
    "（webブラウザが起動します）";
const char kConfirmCaption[] = "＜お客様登録を終了された方はこちらから＞";
const char kConfirmText[] =
    "お客様の登録確認を行います。\r\n"
    "ニックネームとパスワードを入力して「OK」を押してください。";

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

// The text of a check's result. A failure the message table has no words for
// (a reply the analyzer refused with its own code) reads as the general one,
// under its own code, rather than passing in silence.
std::string ResultText(uint32_t code, uint32_t* style) {
  std::string text = GetErrorMessage(code, style, 0);
  if (!text.empty()) return text;
  const uint32_t general = regist::kCategory | regist::kWaitFailed;
  text = GetErrorMessage(general, style, 0);
  ReplaceAll(text, FormatString("%08X", U(general)), FormatString("%08X", U(code)));
  return text;
}

}  // namespace

const SkinItemDescriptor CInitializationWindow::kBase = {"Base", 2000};
const SkinItemDescriptor CInitializationWindow::kApplicationIcon = {"ApplicationIcon", 2001};
const SkinItemDescriptor CInitializationWindow::kTitleStatic = {"TitleStatic", 2002};
const SkinItemDescriptor CInitializationWindow::kCloseButton = {"CloseButton", 2003};
const SkinItemDescriptor CInitializationWindow::kRightTriangleImage = {"RightTriangleImage", 2004};
const SkinItemDescriptor CInitializationWindow::kOKButton = {"OKButton", 2005};
const SkinItemDescriptor CInitializationWindow::kCancelButton = {"CancelButton", 2006};
const SkinItemDescriptor CInitializationWindow::kRegistConfirmButton = {"RegistConfirmButton",
                                                                        2007};
const SkinItemDescriptor CInitializationWindow::kRegistUserCaptionTextStatic = {
    "RegistUserCaptionTextStatic", 2008};
const SkinItemDescriptor CInitializationWindow::kRegistUserTextStatic = {"RegistUserTextStatic",
                                                                         2009};
const SkinItemDescriptor CInitializationWindow::kConfirmCaptionTextStatic = {
    "ConfirmCaptionTextStatic", 2010};
const SkinItemDescriptor CInitializationWindow::kConfirmTextStatic = {"ConfirmTextStatic", 2011};
const SkinItemDescriptor CInitializationWindow::kNickNameTextStatic = {"NickNameTextStatic", 2012};
const SkinItemDescriptor CInitializationWindow::kPasswordTextStatic = {"PasswordTextStatic", 2013};
const SkinItemDescriptor CInitializationWindow::kNickNameEdit = {"NickNameEdit", 2014};
const SkinItemDescriptor CInitializationWindow::kPasswordEdit = {"PasswordEdit", 2015};
const SkinItemDescriptor CInitializationWindow::kFrameOverlay = {"FrameOverlay", 2016};

CInitializationWindow::CInitializationWindow(const char* cancel_event_name)
    : CFrameOverlayWindowBase(&kFrameOverlay),
      _cancel_event(CreateEventA(nullptr, FALSE, FALSE, cancel_event_name)),
      _stop_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  SetResizingEnabled(false);
  if (!_cancel_event || !_stop_event) {
    OV_LOG(kLogError, "CInitializationWindow - イベント作成失敗 ERR:0x%08X", U(GetLastError()));
  }
}

CInitializationWindow::~CInitializationWindow() {
  if (Handle()) DestroyWindow();
  StopCheck();
}

void CInitializationWindow::CreateItems(const SkinDefinition& definition) {
  CreateButtonItem(definition, kApplicationIcon, this);
  CreateStaticItem(definition, kTitleStatic, this);
  CreateButtonItem(definition, kCloseButton, this);
  CreateStaticImageItem(definition, kRightTriangleImage, this);
  CreateButtonItem(definition, kOKButton, this);
  CreateButtonItem(definition, kCancelButton, this);
  CreateButtonItem(definition, kRegistConfirmButton, this);
  const std::pair<const SkinItemDescriptor*, const char*> texts[] = {
      {&kRegistUserCaptionTextStatic, kRegistUserCaption},
      {&kRegistUserTextStatic, kRegistUserText},
      {&kConfirmCaptionTextStatic, kConfirmCaption},
      {&kConfirmTextStatic, kConfirmText},
      {&kNickNameTextStatic, "ニックネーム"},
      {&kPasswordTextStatic, "パスワード"},
  };
  for (const auto& [item, text] : texts) {
    auto* label = static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, *item, this));
    const bool block = item == &kRegistUserTextStatic || item == &kConfirmTextStatic;
    label->SetFormat(block ? DT_WORDBREAK : DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    label->SetText(text);
  }
  static_cast<CSkinWindowItemStatic*>(FindItem(kTitleStatic.id))->SetText(kTitle);
  _nickname_edit = static_cast<CSkinWindowItemEditBox*>(
      CreateEditBox(kNickNameEdit.id, definition.GetSection(kNickNameEdit)));
  _nickname_edit->SetPasteFilter();
  _password_edit = static_cast<CSkinWindowItemEditBox*>(
      CreateEditBox(kPasswordEdit.id, definition.GetSection(kPasswordEdit)));
  _password_edit->SetPassword();
  CreateFrameOverlay(definition);
  FindItem(kOKButton.id)->SetEnabled(false);
}

void CInitializationWindow::Create(HWND owner) {
  _owner = owner;
  SkinDefinition definition;
  LoadDefinition(definition, "InitializationWindow.txt", kBase, false);
  CreateItems(definition);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, "Ostrovelle UserEntry", mainwin::kWindowStyle, 0, 0, size.cx, size.cy,
                  owner);
  lib::wfc::CenterWindow(Handle(), owner);
  SetTimer(kOkTimer, kOkTimerMs);
  ::SetFocus(_nickname_edit->Handle());
  regist::FindUnitCard(&_card);
}

bool CInitializationWindow::CreateMainWindow() {
  try {
    Create(nullptr);
  } catch (const CSkinWindowException&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  _ends_loop = true;
  return Handle() != nullptr;
}

bool CInitializationWindow::OkEnabled() {
  const CSkinWindowItem* ok = FindItem(kOKButton.id);
  return ok && ok->Enabled();
}

void CInitializationWindow::UpdateOkButton() {
  const bool ready =
      !_nickname_edit->GetText().empty() && !_password_edit->GetText().empty() && !_thread;
  CSkinWindowItem* ok = FindItem(kOKButton.id);
  if (ok->Enabled() != ready) ok->SetEnabled(ready);
}

void CInitializationWindow::ShowCodeBox(uint32_t code) {
  uint32_t style = MB_ICONWARNING;
  const std::string text = GetErrorMessage(code, &style, 0);
  if (text.empty()) {
    OV_LOG(kLogError, "メッセージ未定義!! ERR:0x%08X", U(code));
    return;
  }
  lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

void CInitializationWindow::PressOk() {
  if (_thread) return;
  _nickname = _nickname_edit->GetText();
  std::string password = _password_edit->GetText();
  if (_nickname.empty()) {
    ShowCodeBox(regist::kNoNickname);
    ::SetFocus(_nickname_edit->Handle());
    return;
  }
  if (password.empty()) {
    ShowCodeBox(regist::kNoPassword);
    ::SetFocus(_password_edit->Handle());
    return;
  }
  FindItem(kOKButton.id)->SetEnabled(false);
  _check = std::make_unique<regist::CUserCheck>(Handle(), _nickname, std::move(password),
                                                _cancel_event.Get(), _stop_event.Get());
  StartCheck();
}

void CInitializationWindow::StartCheck() {
  ResetEvent(_stop_event.Get());
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, &regist::CUserCheck::ThreadMain, _check.get(), 0, nullptr);
  if (thread == 0) {
    OV_LOG(kLogError, "初期設定スレッド開始失敗 ERR:0x%08X", U(GetLastError()));
    _check.reset();
    FindItem(kOKButton.id)->SetEnabled(true);
    ShowCodeBox(regist::kCategory | regist::kWaitFailed);
    return;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
}

void CInitializationWindow::StopCheck() {
  if (!_thread) return;
  // Only this window's check is told to stop: the named event is shared
  // with any party that cancels the registration.
  SetEvent(_cancel_event.Get());
  SetEvent(_stop_event.Get());
  WaitForSingleObject(_thread.Get(), INFINITE);
  _thread.Reset();
  _check.reset();
  ResetEvent(_cancel_event.Get());
}

void CInitializationWindow::OnCheckDone(uint32_t result) {
  if (!_thread) return;
  FindItem(kOKButton.id)->SetEnabled(true);
  uint32_t style = MB_ICONWARNING;
  std::string text;
  // A cancelled check is the user's own doing: nothing to tell.
  if (result != regist::kOk && result != regist::kCancelled) {
    text = ResultText(result | regist::kCategory, &style);
  }
  WaitForSingleObject(_thread.Get(), INFINITE);
  _thread.Reset();
  _check.reset();
  _last_result = result;
  if (!text.empty()) lib::wfc::MessageBox(Handle(), text.c_str(), style);
  if (result != regist::kOk) return;

  _pending = false;
  _registered = true;
  ShowWindow(SW_HIDE);
  try {
    CInitCompleteWindow complete;
    complete.DoModal(Handle());
  } catch (const std::exception& e) {
    // The user is registered either way: the program goes on to the launcher.
    OV_LOG(kLogError, "初期設定完了画面表示失敗 %s", e.what());
  }
  PostMessageA(WM_CLOSE);
}

void CInitializationWindow::OpenRegistrationPage() {
  if (_card.drive == 0) regist::FindUnitCard(&_card);
  if (_card.drive == 0) {
    ShowCodeBox(regist::kCategory | regist::kCardUnreadable);
    return;
  }
  const std::string user_agent = GetUserAgent(_card.drive).GetUserAgentA();
  if (user_agent.empty()) {
    OV_LOG(kLogError, "UserAgent取得失敗 SD:%C", _card.drive);
    return;
  }
  ConnectionParameterData parameters;
  parameters.SetUserAgentParameters(user_agent.c_str(), _nickname.c_str(),
                                    regist::kRegistrationPageFunction);
  CConnectionFile connections;
  const std::string page =
      connections.BuildRequestUrl(regist::kRegistrationPageConnection, &parameters);
  if (page.empty() || !OpenDefaultBrowser(page.c_str())) {
    OV_LOG(kLogError, "お客様登録ページ表示失敗");
  }
}

void CInitializationWindow::CloseByButton() {
  if (!_registered) _pending = true;
  PostMessageA(WM_CLOSE);
}

LRESULT CInitializationWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == regist::kCheckDone) {
    OnCheckDone(static_cast<uint32_t>(lparam));
    return 0;
  }
  const LRESULT result = mainwin::CMainFrame::WindowProc(message, wparam, lparam);
  // A hidden window cannot take the focus: the nickname gets it when the
  // window first shows.
  if (message == WM_SHOWWINDOW && wparam && !_shown) {
    _shown = true;
    if (_nickname_edit && _nickname_edit->Handle()) ::SetFocus(_nickname_edit->Handle());
  }
  return result;
}

void CInitializationWindow::OnCommand(UINT id, UINT code, HWND control) {
  struct Command {
    const SkinItemDescriptor* item;
    void (CInitializationWindow::*handler)();
  };
  static const Command kCommands[] = {
      {&kOKButton, &CInitializationWindow::PressOk},
      {&kCancelButton, &CInitializationWindow::CloseByButton},
      {&kCloseButton, &CInitializationWindow::CloseByButton},
      {&kRegistConfirmButton, &CInitializationWindow::OpenRegistrationPage},
  };
  for (const Command& command : kCommands) {
    if (command.item->id == id) {
      (this->*command.handler)();
      return;
    }
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

bool CInitializationWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    PostMessageA(WM_CLOSE);
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

void CInitializationWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept && !_thread) PressOk();
}

bool CInitializationWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CInitializationWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CInitializationWindow::OnTimer(UINT_PTR id) {
  if (id == kOkTimer) {
    UpdateOkButton();
    return;
  }
  mainwin::CMainFrame::OnTimer(id);
}

void CInitializationWindow::OnClose() {
  // The session's end asks nothing: a box then would hold the log-off.
  if (_pending && !_ending) {
    uint32_t style = MB_YESNO | MB_ICONQUESTION;
    const std::string text = GetErrorMessage(regist::kQuitQuestion, &style, 0);
    if (text.empty()) {
      OV_LOG(kLogError, "メッセージ未定義!! ERR:0x%08X", U(regist::kQuitQuestion));
    } else if (lib::wfc::MessageBox(Handle(), text.c_str(), style) != IDYES) {
      return;
    }
  }
  mainwin::CMainFrame::OnClose();
}

bool CInitializationWindow::OnQueryEndSession(LPARAM lparam) {
  OV_LOG(kLogInfo, "WM_QUERYENDSESSION 受信 Option:0x%08X", static_cast<unsigned>(lparam));
  _ending = true;
  PostMessageA(WM_CLOSE);
  return mainwin::CMainFrame::OnQueryEndSession(lparam);
}

void CInitializationWindow::OnEndSession(bool ending, LPARAM lparam) {
  if (ending) {
    _ending = true;
    PostMessageA(WM_CLOSE);
  }
  mainwin::CMainFrame::OnEndSession(ending, lparam);
}

void CInitializationWindow::OnDestroy() {
  KillTimer(kOkTimer);
  // The check must not outlive the window it reports to.
  StopCheck();
  if (_ends_loop) PostQuitMessage(0);
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

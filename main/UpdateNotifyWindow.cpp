#include "UpdateNotifyWindow.h"

#include <process.h>

#include <exception>

#include "AnalyzeRegistData.h"
#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "HttpExchange.h"
#include "Log.h"
#include "QuestionItems.h"
#include "MainWindowKeys.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"
#include "Version.h"
#include "WinHttpWrapper.h"

namespace ui {

namespace {

constexpr int kLatestVersionConnection = 5;
constexpr int kTopPageConnection = 0;
constexpr int kTopPageFunctionCode = 400;
constexpr int32_t kApplicationType = 1;
constexpr DWORD kHttpStopWaitMs = 25000;
constexpr uint32_t kTransferMask = 0xEFFFFFFF;
constexpr uint32_t kAnalyzerMask = 0x7FFFFFFF;
constexpr ULONGLONG kThreeDays = 259200ull * 10000000ull;  // in FILETIME units

const char kTitle[] = "Ostrovelleアップデート";
const char kUpdateText[] =
    "Ostrovelleの最新版がリリースされました。\r\n\r\n"
    "webページから最新版をダウンロードし、\r\n"
    "アップデートを行ってください。";
const char kDoNotShowText[] = "今後このメッセージを表示しない。";

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

bool ToFileTime(const SYSTEMTIME& time, ULONGLONG* out) {
  FILETIME file_time;
  if (!SystemTimeToFileTime(&time, &file_time)) return false;
  *out = (static_cast<ULONGLONG>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
  return true;
}

// The last user of the user list: its user agent and nickname.
void LastUser(std::string* user_agent, std::string* nickname) {
  CUserListFile users;
  if (!users.Load()) return;
  std::string device_no;
  uint32_t ccid = 0;
  int unit = 0;
  if (user_agent) users.GetLastUser(&device_no, &ccid, user_agent, &unit);
  if (nickname) users.GetLastUser(&device_no, nickname);
}

}  // namespace

namespace update {

bool IsWithinThreeDays(const SYSTEMTIME& confirmed, const SYSTEMTIME& now) {
  OV_LOG(kLogInfo, "最終確認日付チェック処理開始");
  ULONGLONG confirmed_time = 0;
  ULONGLONG now_time = 0;
  const bool within = confirmed.wYear != 0 && ToFileTime(confirmed, &confirmed_time) &&
                      ToFileTime(now, &now_time) && now_time < confirmed_time + kThreeDays;
  OV_LOG(kLogInfo, "最終確認日付チェック処理終了");
  return within;
}

bool IsInquiryDue(const SYSTEMTIME& now) {
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理開始");
  COstrovelleConfig config;
  if (!config.LoadSetting()) {
    OV_LOG(kLogError, "設定ファイル読み込み失敗(自動更新実行) ERR:0x%08X", U(GetLastError()));
    return true;
  }
  if (config.GetLauncherAutoUpdate() == 0) return false;
  if (config.GetNotifiesLater() != 0 && IsWithinThreeDays(config.GetFinalConfirmationDate(), now)) {
    OV_LOG(kLogTrace, "ランチャー設定ファイル：3日経過していない");
    return false;
  }
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理終了");
  return true;
}

}  // namespace update

// One inquiry: asks the service on its own thread and posts the result to
// the window. The window reads the reply's values after the thread ended.
class CUpdateNotifyWindow::CInquiry final {
 public:
  CInquiry(HWND window, char drive, HANDLE cancel_event, HANDLE stop_event)
      : _window(window), _drive(drive), _cancel_event(cancel_event), _stop_event(stop_event) {}
  CInquiry(const CInquiry&) = delete;
  CInquiry& operator=(const CInquiry&) = delete;

  static unsigned __stdcall ThreadMain(void* context) {
    static_cast<CInquiry*>(context)->Run();
    return 0;
  }

  std::string version;
  std::string url;
  std::string user_agent;

 private:
  void Run() {
    uint32_t result = update::kWaitFailed;
    try {
      result = Ask();
    } catch (const std::exception& e) {
      OV_LOG(kLogError, "サーバー問い合わせ処理中の例外 %s", e.what());
    } catch (...) {
      OV_LOG(kLogError, "サーバー問い合わせ処理中の例外");
    }
    ::PostMessageA(_window, mainwin::kWorkerDone, 0, result);
    OV_LOG(kLogInfo, "サーバー問い合わせ完了[RET:0x%08X]", U(result));
  }

  bool Cancelled() const {
    const HANDLE events[] = {_cancel_event, _stop_event};
    const DWORD wait = WaitForMultipleObjects(2, events, FALSE, 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_OBJECT_0 + 1;
  }

  std::string UserAgent() const {
    std::string text;
    if (_drive != 0) {
      text = GetUserAgent(_drive).GetUserAgentA();
    } else {
      LastUser(&text, nullptr);
    }
    return text;
  }

  uint32_t Ask() {
    OV_LOG(kLogInfo, "サーバー問い合わせ処理開始");
    if (Cancelled()) return update::kCancelled;
    CConnectionFile connections;
    ConnectionParameterData parameters;
    std::string body;
    parameters.SetAplParameters(kApplicationType);
    connections.SetParameters(parameters);
    if (!connections.BuildFormData(kLatestVersionConnection, &body) || body.empty()) {
      OV_LOG(kLogError, "サーバー問い合わせ初期化時のPOSTデータ生成失敗[ERR:0x%08X]",
             U(GetLastError()));
      return update::kParameterFailed;
    }
    const std::string address = connections.GetUrl(kLatestVersionConnection);
    CWinHttpWrapper http;
    if (address.empty() || !http.SetRequest(address.c_str(), 0, nullptr, true)) {
      OV_LOG(kLogError, "サーバー問い合わせ初期化時の失敗[ERR:0x%08X]", U(GetLastError()));
      return update::kHttpSetupFailed;
    }
    user_agent = UserAgent();
    if (user_agent.empty()) {
      OV_LOG(kLogError, "UserAgent取得失敗 SD:%C", _drive ? _drive : ' ');
      return update::kNoUserAgent;
    }
    if (!http.OpenRequest(kHttpPost, ToWide(user_agent), nullptr)) {
      OV_LOG(kLogError, "サーバー問い合わせ接続時の失敗[ERR:0x%08X]", U(GetLastError()));
      return update::kHttpSetupFailed;
    }
    OV_LOG(kLogTrace, "サーバー問い合わせ 接続完了");
    const HANDLE transfer = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                        "application/x-www-form-urlencoded", nullptr, nullptr);
    DWORD wait_error = 0;
    const TransferEnd end =
        WaitOrStop(http, transfer, {_cancel_event, _stop_event}, kHttpStopWaitMs, &wait_error);
    OV_LOG(kLogInfo, "サーバー問い合わせ通信完了");
    if (end == TransferEnd::kAborted) {
      OV_LOG(kLogInfo, "サーバー問い合わせダウンロード時のユーザキャンセル");
      return update::kCancelled;
    }
    if (end == TransferEnd::kFailed) {
      OV_LOG(kLogError, "サーバー問い合わせダウンロード時の失敗[ERR:0x%08X]", U(wait_error));
      return update::kWaitFailed;
    }
    const DWORD transferred = http.GetResult();
    if (transferred != 0) {
      OV_LOG(kLogError, "サーバー問い合わせダウンロード時の失敗[nResponse:0x%08X]", U(transferred));
      return update::kTransferError + (transferred & kTransferMask);
    }
    const std::vector<char>& reply = http.GetReply();
    const uint32_t analyzed = AnalyzeLatestVersion(reply.data(), reply.size(), &url, &version);
    if (analyzed != reply::kOk) {
      OV_LOG(kLogError, "サーバー問い合わせダウンロード時の失敗[AnalyzeERR:0x%08X]", U(analyzed));
      return (analyzed & 0x80000000u) ? update::kServerError | (analyzed & kAnalyzerMask)
                                      : update::kServerError;
    }
    OV_LOG(kLogInfo, "サーバー問い合わせ処理終了");
    const VersionRecord own = ParseVersion(ConnectionParameterData::GetAplVersion(nullptr));
    if (CompareVersion(ParseVersion(version), own)) return update::kNewer;
    OV_LOG(kLogInfo, "PC上のアプリは最新");
    return update::kUpToDate;
  }

  HWND _window;  // not owned
  char _drive;
  HANDLE _cancel_event;  // not owned
  HANDLE _stop_event;    // not owned
};

const SkinItemDescriptor CUpdateNotifyWindow::kBase = {"Base", 2000};
const SkinItemDescriptor CUpdateNotifyWindow::kApplicationIcon = {"ApplicationIcon", 2001};
const SkinItemDescriptor CUpdateNotifyWindow::kTitleStatic = {"TitleStatic", 2002};
const SkinItemDescriptor CUpdateNotifyWindow::kCloseButton = {"CloseButton", 2003};
const SkinItemDescriptor CUpdateNotifyWindow::kOKButton = {"OKButton", 2004};
const SkinItemDescriptor CUpdateNotifyWindow::kCancelButton = {"CancelButton", 2005};
const SkinItemDescriptor CUpdateNotifyWindow::kDispMsgCheckBox = {"DispMsgCheckBox", 2006};
const SkinItemDescriptor CUpdateNotifyWindow::kDispMsgTextStatic = {"DispMsgTextStatic", 2007};
const SkinItemDescriptor CUpdateNotifyWindow::kUpdateConfirmTextStatic = {"UpdateConfirmTextStatic",
                                                                          2008};
const SkinItemDescriptor CUpdateNotifyWindow::kScreenOverlay = {"ScreenOverlay", 2009};
const SkinItemDescriptor CUpdateNotifyWindow::kFrameOverlay = {"FrameOverlay", 2010};

CUpdateNotifyWindow::CUpdateNotifyWindow(HWND owner, char drive, const char* cancel_event_name)
    : CFrameOverlayWindowBase(&kFrameOverlay),
      _owner(owner),
      _drive(drive),
      _cancel_event(CreateEventA(nullptr, FALSE, FALSE, cancel_event_name)),
      _stop_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  OV_LOG(kLogInfo, "バージョン比較処理開始");
  if (!_cancel_event || !_stop_event) {
    OV_LOG(kLogError, "CUpdateNotifyWindow - イベント作成失敗 ERR:0x%08X", U(GetLastError()));
  }
}

CUpdateNotifyWindow::~CUpdateNotifyWindow() {
  if (Handle()) DestroyWindow();
  JoinInquiry();
}

void CUpdateNotifyWindow::CreateItems(const SkinDefinition& definition) {
  _screen_overlay = mainwin::CreateQuestionItems(
      this, definition,
      {kApplicationIcon, kTitleStatic, kCloseButton, kOKButton, kCancelButton, kDispMsgCheckBox,
       kDispMsgTextStatic, kUpdateConfirmTextStatic, kScreenOverlay});
  SetTexts();

  // Neither the pointer's hand nor a click on them leads anywhere else.
  for (const SkinItemDescriptor* item : {&kCancelButton, &kDispMsgCheckBox}) {
    static_cast<CSkinWindowItemButton*>(FindItem(item->id))->SetHandCursor(false);
  }
}

void CUpdateNotifyWindow::SetTexts() {
  const std::pair<const SkinItemDescriptor*, const char*> texts[] = {
      {&kTitleStatic, kTitle},
      {&kUpdateConfirmTextStatic, kUpdateText},
      {&kDispMsgTextStatic, kDoNotShowText},
  };
  for (const auto& [item, text] : texts) {
    auto* label = static_cast<CSkinWindowItemStatic*>(FindItem(item->id));
    if (!label) continue;
    if (item == &kUpdateConfirmTextStatic) label->SetFormat(DT_WORDBREAK);
    label->SetText(text);
  }
}

void CUpdateNotifyWindow::Create(HWND owner) {
  _owner = owner;
  SkinDefinition definition;
  LoadDefinition(definition, "UpdateNotifyWindow.txt", kBase, false);
  CreateItems(definition);
  const SIZE size = GetBaseImageSize();
  CWindow::Create(0, nullptr, "Ostrovelle Update Notify", mainwin::kWindowStyle, 0, 0, size.cx,
                  size.cy, owner);
  SYSTEMTIME now;
  GetLocalTime(&now);
  if (!update::IsInquiryDue(now)) {
    // The launcher's chain reads "no inquiry due" as up to date.
    _result = update::kUpToDate;
    PostMessageA(WM_CLOSE);
    return;
  }
  if (!StartInquiry()) PostMessageA(mainwin::kWorkerDone, 0, update::kWaitFailed);
  OV_LOG(kLogInfo, "バージョン比較処理終了");
}

bool CUpdateNotifyWindow::StartInquiry() {
  ResetEvent(_stop_event.Get());
  _inquiry = std::make_unique<CInquiry>(Handle(), _drive, _cancel_event.Get(), _stop_event.Get());
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, &CInquiry::ThreadMain, _inquiry.get(), 0, nullptr);
  if (thread == 0) {
    OV_LOG(kLogError, "サーバー問い合わせスレッド開始失敗 ERR:0x%08X", U(GetLastError()));
    return false;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  return true;
}

void CUpdateNotifyWindow::JoinInquiry() {
  if (!_thread) return;
  WaitForSingleObject(_thread.Get(), INFINITE);
  _thread.Reset();
}

void CUpdateNotifyWindow::OnInquiryDone(uint32_t result) {
  JoinInquiry();
  _result = result;
  if (_inquiry) {
    _version = _inquiry->version;
    _url = _inquiry->url;
    _user_agent = _inquiry->user_agent;
  }
  if (_owner) ::PostMessageA(_owner, mainwin::kVersionChecked, result, 0);
  switch (result) {
    case update::kNewer: {
      SetTexts();
      const CSkinWindowItem* check_box = FindItem(kDispMsgCheckBox.id);
      const int height = check_box && check_box->IsVisible() ? update::kHeightWithCheckBox
                                                             : update::kHeightWithoutCheckBox;
      _drawer.Open(Handle(), _owner, height, _screen_overlay);
      return;
    }
    case update::kUpToDate:
      OV_LOG(kLogInfo, "アプリ更新なし");
      break;
    case update::kCancelled:
      OV_LOG(kLogInfo, "ユーザーによる処理中断");
      break;
    default:
      break;
  }
  PostMessageA(WM_CLOSE);
}

void CUpdateNotifyWindow::Update() {
  COstrovelleConfig config;
  if (!config.SaveNotifiesLater(0)) {
    OV_LOG(kLogError, "ランチャー設定ファイル更新失敗");
    return;
  }
  // The address comes from the server: the browser function opens only web
  // pages, and anything else sends the user to the product's own page.
  if (!OpenDefaultBrowser(_url.c_str())) OpenFallbackPage();
  if (_owner) ::PostMessageA(_owner, WM_CLOSE, 0, 0);
  PostMessageA(WM_CLOSE);
}

void CUpdateNotifyWindow::OpenFallbackPage() const {
  std::string nickname;
  LastUser(nullptr, &nickname);
  ConnectionParameterData parameters;
  parameters.SetUserAgentParameters(_user_agent.c_str(), nickname.c_str(), kTopPageFunctionCode);
  CConnectionFile connections;
  const std::string page = connections.BuildRequestUrl(kTopPageConnection, &parameters);
  if (page.empty() || !OpenDefaultBrowser(page.c_str())) {
    OV_LOG(kLogError, "ダウンロードページ表示失敗 URL:%s", _url.c_str());
  }
}

void CUpdateNotifyWindow::ToggleDoNotShow() {
  // Ticked, the notice stays away; cleared again, it comes back.
  _do_not_show = !_do_not_show;
  COstrovelleConfig config;
  if (!config.SaveLauncherAutoUpdate(_do_not_show ? 0 : 1)) {
    OV_LOG(kLogError, "ランチャー設定ファイル更新失敗");
  }
}

void CUpdateNotifyWindow::Close() { PostMessageA(WM_CLOSE); }

LRESULT CUpdateNotifyWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == mainwin::kWorkerDone) {
    OnInquiryDone(static_cast<uint32_t>(lparam));
    return 0;
  }
  return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
}

void CUpdateNotifyWindow::OnCommand(UINT id, UINT code, HWND control) {
  struct Command {
    const SkinItemDescriptor* item;
    void (CUpdateNotifyWindow::*handler)();
  };
  static const Command kCommands[] = {
      {&kCloseButton, &CUpdateNotifyWindow::Close},
      {&kOKButton, &CUpdateNotifyWindow::Update},
      {&kDispMsgCheckBox, &CUpdateNotifyWindow::ToggleDoNotShow},
      // A cancel button that did nothing would leave the user stuck.
      {&kCancelButton, &CUpdateNotifyWindow::Close},
  };
  for (const Command& command : kCommands) {
    if (command.item->id == id) {
      (this->*command.handler)();
      return;
    }
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

bool CUpdateNotifyWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    PostMessageA(WM_CLOSE);
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

void CUpdateNotifyWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept && _result == update::kNewer && IsWindowVisible(Handle())) Update();
}

bool CUpdateNotifyWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CUpdateNotifyWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CUpdateNotifyWindow::OnTimer(UINT_PTR id) {
  if (!_drawer.OnTimer(id)) mainwin::CMainFrame::OnTimer(id);
}

void CUpdateNotifyWindow::OnClose() {
  if (_owner) ::PostMessageA(_owner, mainwin::kUpdateNoticeClosed, _result, 0);
  mainwin::CMainFrame::OnClose();
}

void CUpdateNotifyWindow::OnDestroy() {
  _drawer.Stop();
  // The inquiry must not outlive the window it reports to: it is told to
  // stop (the transfer ends within the client's stop limit) and awaited.
  if (_thread) {
    SetEvent(_cancel_event.Get());
    SetEvent(_stop_event.Get());
    JoinInquiry();
  }
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

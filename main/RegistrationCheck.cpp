// The first registration's user check; see RegistrationCheck.h.
#include "RegistrationCheck.h"

#include <exception>
#include <utility>
#include <vector>

#include "AnalyzeRegistData.h"
#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "HttpExchange.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace regist {

namespace {

constexpr DWORD kHttpStopWaitMs = 25000;
constexpr uint32_t kTransferMask = 0xEFFFFFFF;
constexpr uint32_t kAnalyzerMask = 0x7FFFFFFF;

unsigned U(DWORD value) { return static_cast<unsigned>(value); }

// Overwrites a secret before its memory goes back.
void Wipe(std::string& text) {
  if (!text.empty()) SecureZeroMemory(&text[0], text.size());
  text.clear();
}

}  // namespace

bool FindUnitCard(UnitCard* card) {
  *card = UnitCard();
  std::vector<char> drives;
  if (FindDiruSDCards(drives) == 0) {
    OV_LOG(kLogInfo, "SDカード無し");
    return false;
  }
  card->drive = drives[0];
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, card->drive);
  if (unit.IsLoaded()) {
    card->device_no = unit.GetDeviceNo();
    card->ccid = unit.GetCcidHead();
    card->unit_value = unit.GetModel();
  }
  return true;
}

CUserCheck::CUserCheck(HWND window, std::string nickname, std::string password, HANDLE cancel_event,
                       HANDLE stop_event)
    : _window(window),
      _nickname(std::move(nickname)),
      _password(std::move(password)),
      _cancel_event(cancel_event),
      _stop_event(stop_event) {}

CUserCheck::~CUserCheck() { Wipe(_password); }

unsigned __stdcall CUserCheck::ThreadMain(void* context) {
  auto* check = static_cast<CUserCheck*>(context);
  if (check == nullptr || check->_window == nullptr) {
    OV_LOG(kLogError, "初期設定スレッド引数無効");
    return kNoWindow;
  }
  uint32_t result = kWaitFailed;
  try {
    result = check->Check();
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "お客様登録確認中の例外 %s", e.what());
  } catch (...) {
    OV_LOG(kLogError, "お客様登録確認中の例外");
  }
  ::PostMessageA(check->_window, kCheckDone, 0, static_cast<LPARAM>(result));
  OV_LOG(kLogInfo, "お客様登録確認完了[RET:0x%08X]", U(result));
  return 0;
}

bool CUserCheck::Cancelled() const {
  const HANDLE events[] = {_cancel_event, _stop_event};
  const DWORD wait = WaitForMultipleObjects(2, events, FALSE, 0);
  return wait == WAIT_OBJECT_0 || wait == WAIT_OBJECT_0 + 1;
}

uint32_t CUserCheck::Check() {
  if (Cancelled()) return kCancelled;
  UnitCard card;
  FindUnitCard(&card);
  if (!card.IsUsable()) {
    OV_LOG(kLogError, "SDカード読み込み失敗");
    return kCardUnreadable;
  }
  const std::string user_agent = GetUserAgent(card.drive).GetUserAgentA();
  const uint32_t asked = Ask(card, user_agent);
  if (asked != kOk) return asked;
  return AddUser(card, user_agent);
}

uint32_t CUserCheck::Ask(const UnitCard& card, const std::string& user_agent) {
  OV_LOG(kLogInfo, "ユーザー認証開始");
  std::string body;
  {
    ConnectionParameterData parameters;
    CConnectionFile connections;
    const bool made = parameters.SetUserParameters(_nickname.c_str(), _password.c_str(),
                                                   card.device_no.c_str(), card.ccid);
    connections.SetParameters(parameters);
    if (!made || !connections.BuildFormData(kAuthenticationConnection, &body) || body.empty()) {
      OV_LOG(kLogError, "ユーザー認証初期化時のPOSTデータ生成失敗[ERR:0x%08X]", U(GetLastError()));
      Wipe(body);
      return kFormFailed;
    }
  }
  CConnectionFile connections;
  const std::string address = connections.GetUrl(kAuthenticationConnection);
  CWinHttpWrapper http;
  if (address.empty() || !http.SetRequest(address.c_str(), 0, nullptr, true)) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "ユーザー認証初期化時の失敗[ERR:0x%08X]", U(error));
    Wipe(body);
    return kTransferError | error;
  }
  if (!http.OpenRequest(kHttpPost, ToWide(user_agent), nullptr)) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "ユーザー認証接続時の失敗[ERR:0x%08X]", U(error));
    Wipe(body);
    return kTransferError | error;
  }
  OV_LOG(kLogTrace, "INITNO 接続完了");
  const HANDLE transfer = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                                      "application/x-www-form-urlencoded", nullptr, nullptr);
  DWORD wait_error = 0;
  const TransferEnd end =
      WaitOrStop(http, transfer, {_cancel_event, _stop_event}, kHttpStopWaitMs, &wait_error);
  Wipe(body);
  OV_LOG(kLogInfo, "ユーザー認証通信完了");
  if (end == TransferEnd::kAborted) {
    OV_LOG(kLogInfo, "ユーザー認証ダウンロード時のユーザキャンセル");
    return kCancelled;
  }
  if (end == TransferEnd::kFailed) {
    OV_LOG(kLogError, "ユーザー認証ダウンロード時の失敗[ERR:0x%08X]", U(wait_error));
    return kWaitFailed;
  }
  const DWORD transferred = http.GetResult();
  if (transferred != 0) {
    OV_LOG(kLogError, "ユーザー認証ダウンロード時の失敗[nResponse:0x%08X]", U(transferred));
    return kTransferError | (transferred & kTransferMask);
  }
  const std::vector<char>& reply = http.GetReply();
  const uint32_t analyzed = AnalyzeUserAuthentication(reply.data(), reply.size());
  if (analyzed != reply::kOk) {
    OV_LOG(kLogError, "ユーザー認証ダウンロード時の失敗[AnalyzeERR:0x%08X]", U(analyzed));
    return kServerError | (analyzed & kAnalyzerMask);
  }
  OV_LOG(kLogInfo, "ユーザー認証完了");
  return kOk;
}

uint32_t CUserCheck::AddUser(const UnitCard& card, const std::string& user_agent) {
  CUserListFile users;
  if (!users.Load()) {
    OV_LOG(kLogError, "ユーザ情報ファイル読み込み失敗[ERR:0x%08X]", U(GetLastError()));
    return kUserListFailed;
  }
  if (!users.AddUser(card.device_no, _nickname, card.ccid, user_agent, card.unit_value)) {
    OV_LOG(kLogError, "ユーザ情報ファイル書き込み失敗[ERR:0x%08X]", U(GetLastError()));
    return kUserListFailed;
  }
  OV_LOG(kLogTrace, "UserList終了");
  return kOk;
}

}  // namespace regist

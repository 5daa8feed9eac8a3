// The launcher's menu commands; see LauncherMenuCommands.h.
#include "LauncherMenuCommands.h"

#include <utility>

#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "KeptCardWindow.h"
#include "Log.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ProbeLogWindow.h"
#include "ProgramStart.h"
#include "SDInfoWindow.h"
#include "SettingWindow.h"
#include "SkinException.h"
#include "VersionWindow.h"

namespace ui {

namespace {

constexpr int kNoHint = 0;
// The hint types of the main buttons, by main index.
constexpr int kMainHints[] = {42, 45, 48, 53};
// The hint types of the sub buttons, by main and sub index (0: none).
constexpr int kSubHints[][3] = {{44, 43, 0}, {47, 46, 0}, {51, 49, 0}, {54, 55, 56}};

void ShowVersionWindow(HWND owner) {
  CVersionWindow version;
  try {
    version.DoModal(owner);
  } catch (const CSkinWindowException& e) {
    OV_LOG(kLogError, "バージョン画面失敗 %s", e.what());
  }
}

// Shows a kept window, made on first use from `args`; one that cannot be
// made is logged and dropped, to be made again on the next use.
template <class Window, class... Args>
void OpenKeptWindow(std::unique_ptr<Window>& slot, const char* failure, HWND owner, char drive,
                    Args&&... args) {
  try {
    ShowKeptWindow(slot, owner, drive, std::forward<Args>(args)...);
  } catch (const CSkinWindowException& e) {
    OV_LOG(kLogError, "%s %s", failure, e.what());
    slot.reset();
  }
}

// The card-information window has a Zudov row when the card carries the
// Zudov data's folder.
bool CardHasZudov(char drive) {
  if (!drive) return false;
  const std::string folder = std::string(1, drive) + ":\\PC\\ZUDOV";
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

CLauncherMenuCommands::CLauncherMenuCommands() {
  _openers.settings = [this](HWND owner, char drive, uint8_t) { _OpenSettings(owner, drive); };
  _openers.card_information = [this](HWND owner, char drive) {
    _OpenCardInformation(owner, drive);
  };
  _openers.version = &ShowVersionWindow;
}

CLauncherMenuCommands::~CLauncherMenuCommands() { Stop(); }

void CLauncherMenuCommands::Stop() {
  _url_thread.Stop();
  _setting_window.reset();
  _sdinfo_window.reset();
}

void CLauncherMenuCommands::_OpenSettings(HWND owner, char drive) {
  OpenKeptWindow(_setting_window, "設定画面失敗", owner, drive);
}

void CLauncherMenuCommands::_OpenCardInformation(HWND owner, char drive) {
  const bool zudov = CardHasZudov(drive);
  // The row is fixed when the window is made: a card that differs in it
  // gets a new window.
  if (_sdinfo_window && _sdinfo_window->HasZudovRow() != zudov) _sdinfo_window.reset();
  SDInfoWindowHooks hooks;
  hooks.open_probe_log = [drive](HWND log_owner, const std::string& device_no) {
    ShowProbeLogWindow(log_owner, device_no, drive);
  };
  OpenKeptWindow(_sdinfo_window, "SDカード情報画面失敗", owner, drive, zudov, std::move(hooks));
}

void CLauncherMenuCommands::SetOpeners(const LauncherMenuOpeners& openers) {
  if (openers.settings) _openers.settings = openers.settings;
  if (openers.card_information) _openers.card_information = openers.card_information;
  if (openers.version) _openers.version = openers.version;
}

void CLauncherMenuCommands::Run(const Context& context, int main_index, int sub_index) {
  OV_LOG(kLogInfo, "メニュー %d.%d", main_index, sub_index);
  switch (main_index * 10 + sub_index) {
    case 0:
      _openers.settings(context.launcher, context.drive, context.model);
      break;
    case 1:
      ::PostMessageA(context.launcher, context.start_charge_message, 0, 0);
      break;
    case 10:
    case 11:
      if (!context.drive) {
        OV_LOG(kLogInfo, "ミュージックチャージ要求時のSDカード無し(チャージ実行無し)");
        break;
      }
      StartMusic(context.launcher, context.drive, sub_index == 0);
      break;
    case 20:
      // One question at a time: a second click while it runs is dropped.
      if (_url_thread.IsRunning()) {
        OV_LOG(kLogInfo, "PCアプリダウンロードURL取得中");
        break;
      }
      if (!_url_thread.Start(context.launcher, kUrlResultMessage, context.drive)) {
        OnUrlResult(context, kUrlWaitFailed);
      }
      break;
    case 21:
      OpenWebPage(kRegistrationPage, kRegistrationPageCode, context.drive);
      break;
    case 30:
      _openers.version(context.launcher);
      break;
    case 31:
      _openers.card_information(context.launcher, context.drive);
      break;
    case 32:
      OpenWebPage(kHelpPage, kHelpPageCode, context.drive);
      break;
    default:
      break;
  }
}

void CLauncherMenuCommands::OnUrlResult(const Context& context, uint32_t result) {
  _url_thread.Join();
  const std::string url = _url_thread.Url();
  // The address comes from the server: the browser function opens only web
  // pages, and anything else sends the user to the product's own page.
  if (result == kUrlOk && !url.empty() && OpenDefaultBrowser(url.c_str())) return;
  if (result == kUrlOk && !url.empty()) {
    OV_LOG(kLogError, "PCアプリダウンロードURL不正 URL:%s", url.c_str());
  }
  OpenWebPage(kTopPage, kTopPageCode, context.drive);
}

int CLauncherMenuCommands::HintType(WPARAM menu_index, LPARAM item) {
  const int menu = static_cast<int>(static_cast<int16_t>(LOWORD(menu_index)));
  const int j = static_cast<int>(item);
  if (j < 0) return kNoHint;
  if (menu == -1) {
    return j < static_cast<int>(std::size(kMainHints)) ? kMainHints[j] : kNoHint;
  }
  if (menu >= 0 && menu < static_cast<int>(std::size(kSubHints)) &&
      j < static_cast<int>(std::size(kSubHints[0]))) {
    return kSubHints[menu][j];
  }
  return kNoHint;
}

bool CLauncherMenuCommands::OpenWebPage(int connection, int function_code, char drive) {
  std::string user_agent;
  std::string nickname;
  CUserListFile users;
  const bool listed = users.Load();
  if (listed) users.GetLastUser(nullptr, &nickname);
  if (drive) user_agent = GetUserAgent(drive).GetUserAgentA();
  // A card whose unit file cannot be read is taken as its last user's.
  if (user_agent.empty() && listed) {
    std::string device_no;
    uint32_t ccid = 0;
    int unit = 0;
    users.GetLastUser(&device_no, &ccid, &user_agent, &unit);
  }
  ConnectionParameterData parameters;
  parameters.SetUserAgentParameters(user_agent.c_str(), nickname.c_str(), function_code);
  CConnectionFile connections;
  const std::string page = connections.BuildRequestUrl(connection, &parameters);
  if (!page.empty() && OpenDefaultBrowser(page.c_str())) return true;
  OV_LOG(kLogError, "Webページ表示失敗 ID:%d URL:%s", connection, page.c_str());
  return false;
}

}  // namespace ui

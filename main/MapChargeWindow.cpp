// The map update's question drawer; see MapChargeWindow.h.
#include "MapChargeWindow.h"

#include "CoreMessages.h"
#include "Log.h"
#include "MainWindowKeys.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"

namespace mapnotice {

namespace {

constexpr char kReminderText[] =
    "地図更新ダウンロード予約日が近づいております。\r\n"
    "ご予約いただいた内容をお知らせいたします。\r\n"
    "予約日：";
constexpr char kDownloadText[] =
    "地図ダウンロードが可能になりました。\r\n"
    "ダウンロードを開始しますか？\r\n"
    "（予想時間 ";
constexpr char kRefreshText[] = "最新の情報に更新しますか？";
constexpr char kVerifyText[] =
    "SDカードへ転送済データのチェックを行いますか？\r\n"
    "(チェックには数分かかります)";
constexpr char kProbeText[] =
    "未送信のプローブデータがあります。\r\n"
    "このまま全データ更新を行うとドライブレポートへ反映されない場合があります。\r\n"
    "全データ更新を続行しますか？";

}  // namespace

int ScreenOfRequest(uint32_t type) {
  switch (type) {
    case kRequestReminder:
      return kScreenReminder;
    case kRequestDownload:
      return kScreenDownload;
    case kRequestRefresh:
      return kScreenRefresh;
    default:
      return kScreenNone;
  }
}

uint32_t AnswerTypeOfScreen(int screen) {
  switch (screen) {
    case kScreenReminder:
      return kAnswerReminder;
    case kScreenDownload:
      return kAnswerDownload;
    case kScreenRefresh:
      return kAnswerRefresh;
    case kScreenVerify:
      return kAnswerVerify;
    case kScreenProbe:
      return kAnswerProbe;
    default:
      return kAnswerUndefined;
  }
}

std::string ReminderDate(uint32_t bcd) {
  return FormatString("20%02X年%02X月%02X日", (bcd >> 16) & 0xFF, (bcd >> 8) & 0xFF, bcd & 0xFF);
}

std::string EstimateText(uint32_t seconds) {
  return FormatString("%u:%02u", seconds / 3600, (seconds % 3600) / 60);
}

std::string ScreenText(int screen, uint32_t data) {
  switch (screen) {
    case kScreenReminder:
      return kReminderText + ReminderDate(data);
    case kScreenDownload:
      return kDownloadText + EstimateText(data) + "）";
    case kScreenRefresh:
      return kRefreshText;
    case kScreenVerify:
      return kVerifyText;
    case kScreenProbe:
      return kProbeText;
    default:
      return std::string();
  }
}

std::string AnswerEventName(uint32_t answer_type, bool yes) {
  const char* name = nullptr;
  switch (answer_type) {
    case kAnswerReminder:
    case kAnswerCardTooSmall:
      name = kMapLicenseEvent;
      break;
    case kAnswerDownload:
      name = kMapDownloadEvent;
      break;
    case kAnswerVerify:
      name = kMapVerifyEvent;
      break;
    case kAnswerProbe:
      name = kMapProbeEvent;
      break;
    default:
      return std::string();
  }
  return yes ? std::string(name) : std::string(name) + kMapAnswerNoSuffix;
}

bool SetAnswerEvent(const std::string& name) {
  // The core made the event; without a waiting map charge there is none,
  // and the answer has nobody to go to.
  const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
  if (!event) {
    OV_LOG(kLogTrace, "応答イベントなし %s ERR:0x%08X", name.c_str(),
           static_cast<unsigned>(GetLastError()));
    return false;
  }
  const bool set = SetEvent(event) != FALSE;
  CloseHandle(event);
  return set;
}

}  // namespace mapnotice

namespace ui {

const SkinItemDescriptor CMapChargeWindow::kBase = {"Base", 2200};
const SkinItemDescriptor CMapChargeWindow::kApplicationIcon = {"ApplicationIcon", 2201};
const SkinItemDescriptor CMapChargeWindow::kTitleStatic = {"TitleStatic", 2202};
const SkinItemDescriptor CMapChargeWindow::kCloseButton = {"CloseButton", 2203};
const SkinItemDescriptor CMapChargeWindow::kYesButton = {"YesButton", 2204};
const SkinItemDescriptor CMapChargeWindow::kCancelButton = {"CancelButton", 2205};
const SkinItemDescriptor CMapChargeWindow::kYesBottomButton = {"YesBottomButton", 2206};
const SkinItemDescriptor CMapChargeWindow::kCancelBottomButton = {"CancelBottomButton", 2207};
const SkinItemDescriptor CMapChargeWindow::kOKShortButton = {"OKShortButton", 2208};
const SkinItemDescriptor CMapChargeWindow::kReReserveButton = {"ReReserveButton", 2209};
const SkinItemDescriptor CMapChargeWindow::kDispMsgCheckBox = {"DispMsgCheckBox", 2210};
const SkinItemDescriptor CMapChargeWindow::kDispMsgTextStatic = {"DispMsgTextStatic", 2211};
const SkinItemDescriptor CMapChargeWindow::kInformationTextStatic = {"InformationTextStatic", 2212};
const SkinItemDescriptor CMapChargeWindow::kInformationTextSmallStatic = {
    "InformationTextSmallStatic", 2213};
const SkinItemDescriptor CMapChargeWindow::kScreenOverlay = {"ScreenOverlay", 2214};
const SkinItemDescriptor CMapChargeWindow::kFrameOverlay = {"FrameOverlay", 2215};

namespace {

constexpr char kWindowTitle[] = "Ostrovelle Map";
constexpr char kTitle[] = "マップチャージ";
constexpr char kDoNotShowText[] = "今後このメッセージを表示しない。";
constexpr char kDownloadNote[] =
    "※パソコンの動作環境やお使いいただいているソフト（ウイルス対策ソフトなど）によっては、"
    "ダウンロード完了までの時間が長くなることがあります。";

// One screen's pair of buttons and whether it shows the note and the check
// box row.
struct ScreenLook {
  int screen;
  const SkinItemDescriptor* yes;
  const SkinItemDescriptor* no;
  bool note;
  bool check_box;
};

const ScreenLook kLooks[] = {
    // The reminder alone offers to stay silent from now on: the setting
    // it writes silences only the reminder.
    {mapnotice::kScreenReminder, &CMapChargeWindow::kOKShortButton,
     &CMapChargeWindow::kReReserveButton, false, true},
    {mapnotice::kScreenDownload, &CMapChargeWindow::kYesBottomButton,
     &CMapChargeWindow::kCancelBottomButton, true, false},
    {mapnotice::kScreenRefresh, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton,
     false, false},
    {mapnotice::kScreenVerify, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton,
     false, false},
    {mapnotice::kScreenProbe, &CMapChargeWindow::kYesButton, &CMapChargeWindow::kCancelButton,
     false, false},
};

const ScreenLook* LookOf(int screen) {
  for (const ScreenLook& look : kLooks) {
    if (look.screen == screen) return &look;
  }
  return nullptr;
}

const SkinItemDescriptor* const kButtons[] = {
    &CMapChargeWindow::kYesButton,       &CMapChargeWindow::kCancelButton,
    &CMapChargeWindow::kYesBottomButton, &CMapChargeWindow::kCancelBottomButton,
    &CMapChargeWindow::kOKShortButton,   &CMapChargeWindow::kReReserveButton,
};

}  // namespace

CMapChargeWindow::CMapChargeWindow(HWND owner)
    : CFrameOverlayWindowBase(&kFrameOverlay), _owner(owner) {}

CMapChargeWindow::~CMapChargeWindow() {
  if (Handle()) DestroyWindow();
}

void CMapChargeWindow::CreateItems(const SkinDefinition& definition) {
  CreateButtonItem(definition, kApplicationIcon, this);
  CreateStaticItem(definition, kTitleStatic, this);
  CreateButtonItem(definition, kCloseButton, this);
  for (const SkinItemDescriptor* button : kButtons) CreateButtonItem(definition, *button, this);
  CreateToggleButton(kDispMsgCheckBox.id, definition.GetSection(kDispMsgCheckBox));
  CreateStaticItem(definition, kDispMsgTextStatic, this);
  CreateStaticItem(definition, kInformationTextStatic, this);
  CreateStaticItem(definition, kInformationTextSmallStatic, this);
  _screen_overlay = mainwin::CreateScreenOverlay(this, definition, kScreenOverlay);
  CreateFrameOverlay(definition);
  SetText(kTitleStatic, kTitle);
  SetText(kDispMsgTextStatic, kDoNotShowText);
  SetText(kInformationTextSmallStatic, kDownloadNote);

  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  CLayoutManager::AddItem(kScreenOverlay.id, kAnchorNear, kAnchorNear, kAnchorFar, kAnchorFar);
  static_cast<CSkinWindowItemButton*>(FindItem(kDispMsgCheckBox.id))->SetHandCursor(false);
}

void CMapChargeWindow::Create() {
  SkinDefinition definition;
  LoadDefinition(definition, "MapChargeWindow.txt", kBase, false);
  CreateItems(definition);
  const SIZE size = GetBaseImageSize();
  CWindow::Create(0, nullptr, kWindowTitle, mainwin::kWindowStyle, 0, 0, size.cx, size.cy, _owner);
}

void CMapChargeWindow::SetVisible(const SkinItemDescriptor& item, bool visible) {
  if (CSkinWindowItem* found = FindItem(item.id)) found->SetVisible(visible);
}

void CMapChargeWindow::SetText(const SkinItemDescriptor& item, const std::string& text) {
  if (auto* label = static_cast<CSkinWindowItemStatic*>(FindItem(item.id))) label->SetText(text);
}

std::string CMapChargeWindow::InformationText() {
  const auto* label =
      static_cast<const CSkinWindowItemStatic*>(FindItem(kInformationTextStatic.id));
  return label ? label->Text() : std::string();
}

std::string CMapChargeWindow::NoteText() {
  const CSkinWindowItem* note = FindItem(kInformationTextSmallStatic.id);
  if (!note || !note->IsVisible()) return std::string();
  return static_cast<const CSkinWindowItemStatic*>(note)->Text();
}

bool CMapChargeWindow::CheckIniFile(int screen) {
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理開始");
  COstrovelleConfig config;
  if (!config.LoadMap()) {
    OV_LOG(kLogError, "設定ファイル読み込み失敗(MAP) ERR:0x%08X",
           static_cast<unsigned>(GetLastError()));
    return true;
  }
  if (screen == mapnotice::kScreenReminder && config.GetMapNotifyMessage() == 0) {
    OV_LOG(kLogInfo, "CMapChargeWindow::CheckIniFile() - 今後表示しない設定 TYPE:%d", screen);
    return false;
  }
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理終了");
  return true;
}

bool CMapChargeWindow::SetUpScreen(int screen, uint32_t data) {
  OV_LOG(kLogInfo, "地図更新画面種別設定 TYPE:%d", screen);
  _screen = screen;
  if (!CheckIniFile(screen)) {
    _yes = false;
    _check_box = false;
    CloseWithAnswer();
    return false;
  }
  for (const SkinItemDescriptor* button : kButtons) SetVisible(*button, false);
  SetVisible(kInformationTextSmallStatic, false);
  SetVisible(kDispMsgCheckBox, false);
  SetVisible(kDispMsgTextStatic, false);
  const ScreenLook* look = LookOf(screen);
  if (!look) {
    OV_LOG(kLogError, "不正な種別指定 %d", screen);
    return false;
  }
  SetText(kInformationTextStatic, mapnotice::ScreenText(screen, data));
  SetVisible(*look->yes, true);
  SetVisible(*look->no, true);
  SetVisible(kInformationTextSmallStatic, look->note);
  SetVisible(kDispMsgCheckBox, look->check_box);
  SetVisible(kDispMsgTextStatic, look->check_box);
  // Each question starts unticked: an earlier tick must not silence it.
  _check_box = false;
  if (CSkinWindowItem* check_box = FindItem(kDispMsgCheckBox.id)) {
    check_box->OnNotify(kItemSetSelected, 0, 0);
  }
  const bool bottom_row = look->check_box || look->yes == &kYesBottomButton;
  _height = bottom_row ? mapnotice::kTallHeight : mapnotice::kShortHeight;
  return true;
}

void CMapChargeWindow::Show() {
  _yes = false;
  _showing = true;
  _drawer.Open(Handle(), _owner, _height, _screen_overlay);
}

void CMapChargeWindow::Hide() {
  _drawer.Stop();
  _showing = false;
  ShowWindow(SW_HIDE);
}

void CMapChargeWindow::Answer(bool yes) {
  if (!_showing) return;
  _yes = yes;
  PostMessageA(WM_CLOSE);
}

void CMapChargeWindow::CloseWithAnswer() {
  const uint32_t type = mapnotice::AnswerTypeOfScreen(_screen);
  if (_owner) {
    ::PostMessageA(_owner, mapnotice::kAnswerMessage, type,
                   mapnotice::AnswerParam(_yes, _check_box));
  }
  Hide();
}

void CMapChargeWindow::OnClose() {
  // Only a question on the screen has an answer to give; the window stays
  // for the next one.
  if (_showing) {
    CloseWithAnswer();
  } else {
    Hide();
  }
}

void CMapChargeWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kDispMsgCheckBox.id) {
    _check_box = !_check_box;
    return;
  }
  if (id == kCloseButton.id) {
    // Closing the reminder acknowledges it; closing any other question
    // declines it.
    Answer(_screen == mapnotice::kScreenReminder);
    return;
  }
  for (const ScreenLook& look : kLooks) {
    if (look.screen != _screen) continue;
    if (id == look.yes->id) {
      Answer(true);
      return;
    }
    if (id == look.no->id) {
      Answer(false);
      return;
    }
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

bool CMapChargeWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    if (_showing) PostMessageA(WM_CLOSE);
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

bool CMapChargeWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CMapChargeWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CMapChargeWindow::OnTimer(UINT_PTR id) {
  if (!_drawer.OnTimer(id)) mainwin::CMainFrame::OnTimer(id);
}

void CMapChargeWindow::OnDestroy() {
  _drawer.Stop();
  _showing = false;
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

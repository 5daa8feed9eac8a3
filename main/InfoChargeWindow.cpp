// The information-charge question; see InfoChargeWindow.h.
#include "InfoChargeWindow.h"

#include "Log.h"
#include "QuestionItems.h"
#include "MainWindowKeys.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "Placement.h"
#include "SkinException.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"

namespace ui {

const SkinItemDescriptor CInfoChargeWindow::kBase = {"Base", 2300};
const SkinItemDescriptor CInfoChargeWindow::kApplicationIcon = {"ApplicationIcon", 2301};
const SkinItemDescriptor CInfoChargeWindow::kTitleStatic = {"TitleStatic", 2302};
const SkinItemDescriptor CInfoChargeWindow::kCloseButton = {"CloseButton", 2303};
const SkinItemDescriptor CInfoChargeWindow::kOKButton = {"OKButton", 2304};
const SkinItemDescriptor CInfoChargeWindow::kCancelButton = {"CancelButton", 2305};
const SkinItemDescriptor CInfoChargeWindow::kDispMsgCheckBox = {"DispMsgCheckBox", 2306};
const SkinItemDescriptor CInfoChargeWindow::kDispMsgTextStatic = {"DispMsgTextStatic", 2307};
const SkinItemDescriptor CInfoChargeWindow::kUpdateConfirmTextStatic = {"UpdateConfirmTextStatic",
                                                                        2308};
const SkinItemDescriptor CInfoChargeWindow::kScreenOverlay = {"ScreenOverlay", 2309};
const SkinItemDescriptor CInfoChargeWindow::kFrameOverlay = {"FrameOverlay", 2310};

namespace {

constexpr char kWindowTitle[] = "Ostrovelle Info";
constexpr char kTitle[] = "Ostrovelle";
constexpr char kQuestion[] =
    "終了前にインフォチャージしますか？\r\n"
    "(「いいえ」を選ぶと取得せずに終了します)";
// The question has no check box row.
constexpr int kHeight = 150;

}  // namespace

CInfoChargeWindow::CInfoChargeWindow() : CFrameOverlayWindowBase(&kFrameOverlay) {}

CInfoChargeWindow::~CInfoChargeWindow() {
  if (Handle()) DestroyWindow();
}

bool CInfoChargeWindow::Ask(HWND owner) {
  CInfoChargeWindow window;
  try {
    window.Create(owner);
  } catch (const CSkinWindowException& e) {
    OV_LOG(kLogError, "インフォチャージ確認画面失敗 %s", e.what());
    return false;
  }
  window.RunModal();
  return window.AnswerYes();
}

bool CInfoChargeWindow::CheckIniFile() {
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理開始");
  COstrovelleConfig config;
  if (!config.LoadSetting()) {
    OV_LOG(kLogError, "設定ファイル読み込み失敗(自動更新実行) ERR:0x%08X",
           static_cast<unsigned>(GetLastError()));
  } else if (config.GetLauncherAutoUpdate() == 0) {
    OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理終了");
    return false;
  }
  OV_LOG(kLogInfo, "ランチャー設定ファイルチェック処理終了");
  return true;
}

void CInfoChargeWindow::CreateItems(const SkinDefinition& definition) {
  _screen_overlay = mainwin::CreateQuestionItems(
      this, definition,
      {kApplicationIcon, kTitleStatic, kCloseButton, kOKButton, kCancelButton, kDispMsgCheckBox,
       kDispMsgTextStatic, kUpdateConfirmTextStatic, kScreenOverlay});
  if (auto* title = static_cast<CSkinWindowItemStatic*>(FindItem(kTitleStatic.id))) {
    title->SetText(kTitle);
  }
  if (auto* text = static_cast<CSkinWindowItemStatic*>(FindItem(kUpdateConfirmTextStatic.id))) {
    text->SetText(kQuestion);
  }
  // The check box changes nothing: a row that promises to silence the
  // question would mislead, so it stays hidden.
  FindItem(kDispMsgCheckBox.id)->SetVisible(false);
  FindItem(kDispMsgTextStatic.id)->SetVisible(false);
}

void CInfoChargeWindow::Create(HWND owner) {
  _owner = owner;
  SkinDefinition definition;
  LoadDefinition(definition, "InfoChargeWindow.txt", kBase, false);
  CreateItems(definition);
  const SIZE size = GetBaseImageSize();
  CWindow::Create(0, nullptr, kWindowTitle, mainwin::kWindowStyle, 0, 0, size.cx, size.cy, owner);
  if (!Handle()) {
    _done = true;
    return;
  }
  if (!CheckIniFile()) {
    End(false);
    return;
  }
  _drawer.Open(Handle(), owner, kHeight, _screen_overlay);
}

void CInfoChargeWindow::RunModal() {
  if (Handle() && !_done) lib::wfc::RunModalLoop(Handle(), _owner, &_done);
  if (Handle()) DestroyWindow();
}

std::string CInfoChargeWindow::QuestionText() {
  const auto* text =
      static_cast<const CSkinWindowItemStatic*>(FindItem(kUpdateConfirmTextStatic.id));
  return text ? text->Text() : std::string();
}

void CInfoChargeWindow::End(bool yes) {
  if (_done) return;
  _yes = yes;
  _done = true;
  PostMessageA(WM_CLOSE);
}

void CInfoChargeWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kOKButton.id) {
    End(true);
  } else if (id == kCancelButton.id || id == kCloseButton.id) {
    End(false);
  } else if (id == kDispMsgCheckBox.id) {
    _check_box = !_check_box;
  } else {
    mainwin::CMainFrame::OnCommand(id, code, control);
  }
}

bool CInfoChargeWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    End(false);
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

void CInfoChargeWindow::OnAcceptOrCancel(int, bool accept) { End(accept); }

bool CInfoChargeWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CInfoChargeWindow::OnKeyDown(UINT key, UINT flags) {
  // Enter and Escape answer this question; they do not reach the launcher.
  if (key == VK_RETURN || key == VK_ESCAPE) {
    mainwin::CMainFrame::OnKeyDown(key, flags);
    return;
  }
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CInfoChargeWindow::OnTimer(UINT_PTR id) {
  if (!_drawer.OnTimer(id)) mainwin::CMainFrame::OnTimer(id);
}

void CInfoChargeWindow::OnClose() {
  // Closed from outside (the owner going), the answer stays no.
  _done = true;
  _drawer.Stop();
  ShowWindow(SW_HIDE);
}

void CInfoChargeWindow::OnDestroy() {
  _drawer.Stop();
  _done = true;
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

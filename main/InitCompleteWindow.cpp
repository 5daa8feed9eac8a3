#include "InitCompleteWindow.h"

#include "Log.h"
#include "MainWindowKeys.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "Placement.h"
#include "SkinWindowItemStatic.h"

namespace ui {

namespace {

constexpr int kChargeTypeOn = 2;
constexpr int kChargeTypeOff = 1;
const char kCompleteText[] = "お客様登録を確認しました。\r\nOstrovelleを起動します。";
const char kMusicChargeText[] =
    "起動時にPCの「マイミュージック」フォルダの音楽ファイルをSDカードに自動転送する。\r\n"
    "※Ostrovelle起動後にも設定を変更することができます。";

}  // namespace

const SkinItemDescriptor CInitCompleteWindow::kBase = {"Base", 2000};
const SkinItemDescriptor CInitCompleteWindow::kTitleStatic = {"TitleStatic", 2001};
const SkinItemDescriptor CInitCompleteWindow::kCloseButton = {"CloseButton", 2002};
const SkinItemDescriptor CInitCompleteWindow::kOKButton = {"OKButton", 2003};
const SkinItemDescriptor CInitCompleteWindow::kCompleteTextStatic = {"CompleteTextStatic", 2004};
const SkinItemDescriptor CInitCompleteWindow::kMusicChargeTextStatic = {"MusicChargeTextStatic",
                                                                        2005};
const SkinItemDescriptor CInitCompleteWindow::kMusicChargeCheckBox = {"MusicChargeCheckBox", 2006};
const SkinItemDescriptor CInitCompleteWindow::kFrameOverlay = {"FrameOverlay", 2007};

CInitCompleteWindow::CInitCompleteWindow() : CFrameOverlayWindowBase(&kFrameOverlay) {
  SetResizingEnabled(false);
}

CInitCompleteWindow::~CInitCompleteWindow() {
  if (Handle()) DestroyWindow();
}

void CInitCompleteWindow::Create(HWND owner) {
  _owner = owner;
  _done = false;
  _cancelled = false;
  SkinDefinition definition;
  LoadDefinition(definition, "InitCompleteWindow.txt", kBase, false);
  static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kTitleStatic, this))
      ->SetText("初期設定");
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kOKButton, this);
  auto* complete =
      static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kCompleteTextStatic, this));
  complete->SetFormat(DT_WORDBREAK);
  complete->SetText(kCompleteText);
  auto* music = static_cast<CSkinWindowItemStatic*>(
      CreateStaticItem(definition, kMusicChargeTextStatic, this));
  music->SetFormat(DT_WORDBREAK);
  music->SetText(kMusicChargeText);
  CreateToggleButton(kMusicChargeCheckBox.id, definition.GetSection(kMusicChargeCheckBox))
      ->OnNotify(kItemSetSelected, 1, 0);
  CreateFrameOverlay(definition);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, "Ostrovelle InitComplete", mainwin::kWindowStyle, 0, 0, size.cx,
                  size.cy, owner);
  lib::wfc::ShowCenteredInFront(Handle(), owner);
}

bool CInitCompleteWindow::DoModal(HWND owner) {
  Create(owner);
  lib::wfc::RunModalLoop(Handle(), owner, &_done);
  if (Handle()) DestroyWindow();
  return _cancelled;
}

bool CInitCompleteWindow::MusicChargeChecked() {
  CSkinWindowItem* check_box = FindItem(kMusicChargeCheckBox.id);
  return check_box && check_box->OnNotify(kItemGetSelected, 0, 0) != 0;
}

void CInitCompleteWindow::Confirm() {
  const bool checked = MusicChargeChecked();
  COstrovelleConfig config;
  config.LoadMusic();
  config.SetChargeType(checked ? kChargeTypeOn : kChargeTypeOff);
  if (!config.SaveMusic()) OV_LOG(kLogError, "ランチャー設定ファイル更新失敗");
  End();
}

void CInitCompleteWindow::End() {
  _done = true;
  PostMessageA(WM_CLOSE);
}

void CInitCompleteWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kOKButton.id) {
    Confirm();
    return;
  }
  if (id == kCloseButton.id) {
    _cancelled = true;
    End();
    return;
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

void CInitCompleteWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept) Confirm();
}

bool CInitCompleteWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CInitCompleteWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

bool CInitCompleteWindow::OnQueryEndSession(LPARAM lparam) {
  OV_LOG(kLogInfo, "WM_QUERYENDSESSION 受信 Option:0x%08X", static_cast<unsigned>(lparam));
  PostMessageA(WM_CLOSE);
  if (_owner) ::PostMessageA(_owner, WM_QUERYENDSESSION, lparam, lparam);
  return mainwin::CMainFrame::OnQueryEndSession(lparam);
}

void CInitCompleteWindow::OnEndSession(bool ending, LPARAM lparam) {
  if (_owner) ::PostMessageA(_owner, WM_ENDSESSION, ending ? TRUE : FALSE, lparam);
  if (ending) PostMessageA(WM_CLOSE);
  mainwin::CMainFrame::OnEndSession(ending, lparam);
}

void CInitCompleteWindow::OnDestroy() {
  _done = true;
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

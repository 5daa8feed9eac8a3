#include "VersionWindow.h"

#include "MainWindowKeys.h"
#include "Placement.h"
#include "SkinWindowItemStatic.h"
#include "Version.h"

namespace ui {

const SkinItemDescriptor CVersionWindow::kBase = {"Base", 5500};
const SkinItemDescriptor CVersionWindow::kTitleStatic = {"TitleStatic", 5501};
const SkinItemDescriptor CVersionWindow::kCloseButton = {"CloseButton", 5502};
const SkinItemDescriptor CVersionWindow::kBaseFrame = {"BaseFrame", 5503};
const SkinItemDescriptor CVersionWindow::kVersionImage = {"VersionImage", 5504};
const SkinItemDescriptor CVersionWindow::kVersionText = {"VersionText", 5505};
const SkinItemDescriptor CVersionWindow::kCorporateImage = {"CorporateImage", 5506};
const SkinItemDescriptor CVersionWindow::kFrameOverlay = {"FrameOverlay", 5507};

CVersionWindow::CVersionWindow() : CFrameOverlayWindowBase(&kFrameOverlay) {
  SetResizingEnabled(false);
}

CVersionWindow::~CVersionWindow() {
  if (Handle()) DestroyWindow();
}

void CVersionWindow::Create(HWND owner) {
  _owner = owner;
  _done = false;
  SkinDefinition definition;
  LoadDefinition(definition, "VersionWindow.txt", kBase, false);
  auto* title =
      static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kTitleStatic, this));
  title->SetText("バージョン情報");
  CreateButtonItem(definition, kCloseButton, this);
  CreateResizableStaticImageItem(definition, kBaseFrame, this);
  CreateStaticImageItem(definition, kVersionImage, this);
  auto* text =
      static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kVersionText, this));
  text->SetText(GetProductVersionText());
  CreateStaticImageItem(definition, kCorporateImage, this);
  CreateFrameOverlay(definition);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, "Ostrovelle Version", mainwin::kWindowStyle, 0, 0, size.cx, size.cy,
                  owner);
  lib::wfc::ShowCenteredInFront(Handle(), owner);
}

void CVersionWindow::DoModal(HWND owner) {
  Create(owner);
  lib::wfc::RunModalLoop(Handle(), owner, &_done);
  if (Handle()) DestroyWindow();
}

std::string CVersionWindow::VersionText() {
  const auto* text = static_cast<const CSkinWindowItemStatic*>(FindItem(kVersionText.id));
  return text ? text->Text() : std::string();
}

void CVersionWindow::End() {
  _done = true;
  PostMessageA(WM_CLOSE);
}

void CVersionWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kCloseButton.id) {
    End();
    return;
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

void CVersionWindow::OnLButtonUp(UINT keys, int x, int y) {
  mainwin::CMainFrame::OnLButtonUp(keys, x, y);
  End();
}

void CVersionWindow::OnAcceptOrCancel(int, bool) { End(); }

bool CVersionWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CVersionWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CVersionWindow::OnDestroy() {
  _done = true;
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

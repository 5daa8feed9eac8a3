// The launcher's kept windows; see KeptCardWindow.h.
#include "KeptCardWindow.h"

#include "CoreMessages.h"
#include "MainWindowKeys.h"
#include "Placement.h"

namespace ui {

CKeptCardWindow::CKeptCardWindow(const SkinItemDescriptor* frame_overlay, int icon_id)
    : CFrameOverlayWindowBase(frame_overlay), _icon_id(icon_id) {
  SetResizingEnabled(false);
}

void CKeptCardWindow::CreateFromSkin(HWND owner, const char* skin_file,
                                     const SkinItemDescriptor& base, const char* title) {
  _owner = owner;
  _sd_change = RegisterOvMessage(kMsgSDChange);
  SkinDefinition definition;
  LoadDefinition(definition, skin_file, base, false);
  CreateItems(definition);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, title, mainwin::kWindowStyle, 0, 0, size.cx, size.cy, owner);
  lib::wfc::CenterWindow(Handle(), owner);
}

void CKeptCardWindow::ShowInFront() { lib::wfc::ShowCenteredInFront(Handle(), _owner); }

void CKeptCardWindow::Hide() { ShowWindow(SW_HIDE); }

LRESULT CKeptCardWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (_sd_change != 0 && message == _sd_change) {
    if (IsSDChangeDrive(wparam)) OnCardChange(static_cast<char>(wparam));
    return 0;
  }
  return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
}

bool CKeptCardWindow::Notify(int id, int code, int value) {
  if (id == _icon_id && code == kReportDoubleClick) {
    Hide();
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

bool CKeptCardWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CKeptCardWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CKeptCardWindow::OnClose() { Hide(); }

}  // namespace ui

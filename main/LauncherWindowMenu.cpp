// The launcher's side of its fold-out menu: building and placing the menu,
// its commands, the hints of the menu and of the launcher's own items, and
// the icon's system menu (see LauncherWindow.h).
#include "ChargeKind.h"
#include "ChargeStatus.h"
#include "LauncherMenu.h"
#include "LauncherWindow.h"
#include "Log.h"
#include "SkinWindowItemStatic.h"

namespace ui {

void CLauncherWindow::_BuildMenu() {
  if (!_menu) _menu = std::make_unique<CLauncherMenu>();
  _menu->Build(Handle(), kMenuCommandMessage, kMenuHoverMessage);
  _PlaceMenu();
}

// The root hangs at the right of the menu button, level with its top.
void CLauncherWindow::_PlaceMenu() {
  const CSkinWindowItem* button = FindItem(kMenuButton.id);
  if (!_menu || !button || !Handle()) return;
  const RECT r = button->Rect();
  POINT anchor = {r.right + 4, r.top};
  ::ClientToScreen(Handle(), &anchor);
  _menu->MoveTo(anchor);
}

void CLauncherWindow::_CloseMenu() {
  if (_menu) _menu->Close();
  _SetVisible(kMenuButton, true);
  _SetVisible(kMenuButtonClose, false);
}

CLauncherMenuCommands::Context CLauncherWindow::_MenuContext() {
  return CLauncherMenuCommands::Context{Handle(), _drive, _model, _msg_request_start_charge};
}

void CLauncherWindow::_OnMenuCommand(int main_index, int sub_index) {
  _CloseMenu();
  _commands.Run(_MenuContext(), main_index, sub_index);
}

// The status type an item puts on the line while the pointer is over it;
// -1 for items without one. A kind's state image shows what that kind last
// reported (0, the line as it is, before it reported anything).
int CLauncherWindow::_HintTypeOf(int id) const {
  static const struct {
    const SkinItemDescriptor* item;
    uint32_t kind;
  } kStateImages[] = {{&kProbeProgressImage, CHARGE_KIND_PROBE},
                      {&kMapProgressImage, CHARGE_KIND_MAP},
                      {&kTidewheelProgressImage, CHARGE_KIND_TIDEWHEEL},
                      {&kWeatherProgressImage, CHARGE_KIND_WEATHER},
                      {&kMusicProgressImage, CHARGE_KIND_MUSIC}};
  if (id == kMenuButton.id) return 40;
  if (id == kMenuButtonClose.id) return 41;
  if (id == kSDEjectableIcon.id) return charge::kStatusEjectHint;
  if (id == kSDChargingAnime.id) return charge::kStatusAbortHint;
  for (const auto& state : kStateImages) {
    if (id == state.item->id) return _chain->KindType(state.kind);
  }
  return -1;
}

bool CLauncherWindow::Notify(int id, int code, int value) {
  if (code == kReportMouseMove || code == kReportMouseLeave) {
    const int hint = _HintTypeOf(id);
    // Leaving gives the line back to what runs (type 0).
    const int type = code == kReportMouseLeave ? 0 : hint;
    if (hint >= 0 && type != ShownStatusType()) {
      PostMessageA(kStatusMessage, static_cast<WPARAM>(type), 0);
    }
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

bool CLauncherWindow::_HitsItem(const SkinItemDescriptor& item, int x, int y) {
  const CSkinWindowItem* found = FindItem(item.id);
  if (!found || !found->IsVisible()) return false;
  const RECT rect = found->Rect();
  return PtInRect(&rect, POINT{x, y}) != FALSE;
}

// A right click on the icon opens the system menu; of its commands, move,
// minimise and close come back as the system's.
void CLauncherWindow::OnRButtonUp(UINT keys, int x, int y) {
  mainwin::CMainFrame::OnRButtonUp(keys, x, y);
  if (!_HitsItem(kApplicationIcon, x, y)) return;
  POINT screen = {x, y};
  ::ClientToScreen(Handle(), &screen);
  const UINT command = TrackLauncherSystemMenu(Handle(), screen) & 0xFFF0;
  if (command == SC_MOVE || command == SC_MINIMIZE || command == SC_CLOSE) {
    PostMessageA(WM_SYSCOMMAND, command, 0);
  }
}

// A double click on the icon is the close button's.
void CLauncherWindow::OnLButtonDblClk(UINT keys, int x, int y) {
  mainwin::CMainFrame::OnLButtonDblClk(keys, x, y);
  if (_HitsItem(kApplicationIcon, x, y)) OnCommand(kCloseButton.id, 1, nullptr);
}

void CLauncherWindow::OnMove(int x, int y) {
  mainwin::CMainFrame::OnMove(x, y);
  _PlaceMenu();
}

}  // namespace ui

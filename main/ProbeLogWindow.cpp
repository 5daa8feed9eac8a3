#include "ProbeLogWindow.h"

#include <exception>

#include "CoreMessages.h"
#include "Log.h"
#include "MainWindowKeys.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "Placement.h"
#include "SkinWindowItemScrollBar.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"

namespace ui {

namespace {

const char kTitle[] = "蓄積型プローブ　アップロードログ";
constexpr COLORREF kCellTextColor = RGB(40, 48, 64);

const char* OutcomeText(int outcome) {
  switch (outcome) {
    case 0:
      return " アップロード成功";
    case 1:
      return " 処理中";
    case 2:
      return " 許諾期限切れ / 未許諾";
    case 3:
      return " アップロード中断";
    case 4:
      return " アップロード失敗";
    default:
      return " アップロード失敗(未定義)";
  }
}

// The unit's user's probe log; null when the unit has no user here.
std::unique_ptr<CProbeLogFile> OpenProbeLog(const std::string& device_no) {
  if (device_no.empty()) return nullptr;
  CUserListFile users;
  std::string nickname;
  std::string data_folder;
  std::string text;
  if (!users.Load() || !users.GetUser(device_no, &nickname, &data_folder, &text)) {
    OV_LOG(kLogInfo, "プローブログのユーザーなし DeviceNo:%s", device_no.c_str());
    return nullptr;
  }
  const std::string folder = ProbeLogFolderOf(data_folder);
  if (folder.empty()) return nullptr;
  return std::make_unique<CProbeLogFile>(folder);
}

}  // namespace

bool ShowProbeLogWindow(HWND owner, const std::string& device_no, char drive) {
  try {
    CProbeLogWindow window(device_no, drive);
    window.DoModal(owner);
    return true;
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "プローブログ画面表示失敗 %s", e.what());
    return false;
  }
}

const SkinItemDescriptor CProbeLogWindow::kBase = {"Base", 5500};
const SkinItemDescriptor CProbeLogWindow::kApplicationIcon = {"ApplicationIcon", 5501};
const SkinItemDescriptor CProbeLogWindow::kTitleStatic = {"TitleStatic", 5502};
const SkinItemDescriptor CProbeLogWindow::kCloseButton = {"CloseButton", 5503};
const SkinItemDescriptor CProbeLogWindow::kOKButton = {"OKButton", 5504};
const SkinItemDescriptor CProbeLogWindow::kBaseFrame = {"BaseFrame", 5505};
const SkinItemDescriptor CProbeLogWindow::kLogListFrame = {"LogListFrame", 5506};
const SkinItemDescriptor CProbeLogWindow::kLogList = {"LogList", 5507};
const SkinItemDescriptor CProbeLogWindow::kLogListScrollBar = {"LogListScrollBar", 5508};
const SkinItemDescriptor CProbeLogWindow::kFrameOverlay = {"FrameOverlay", 5509};

CProbeLogWindow::CProbeLogWindow(const std::string& device_no, char drive)
    : CFrameOverlayWindowBase(&kFrameOverlay),
      _sd_change(lib::wfc::RegisterWindowMessageA(kMsgSDChange)),
      _drive(drive),
      _device_no(device_no),
      _log(OpenProbeLog(device_no)) {
  SetResizingEnabled(false);
}

CProbeLogWindow::~CProbeLogWindow() {
  if (Handle()) DestroyWindow();
}

void CProbeLogWindow::Create(HWND owner) {
  _owner = owner;
  _done = false;
  SkinDefinition definition;
  LoadDefinition(definition, "ProbeLogWindow.txt", kBase, false);
  CreateButtonItem(definition, kApplicationIcon, this);
  static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kTitleStatic, this))
      ->SetText(kTitle);
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kOKButton, this);
  CreateResizableStaticImageItem(definition, kBaseFrame, this);
  CreateResizableStaticImageItem(definition, kLogListFrame, this);
  _bar = CreateScrollBar(kLogListScrollBar.id, definition.GetSection(kLogListScrollBar));
  _list = CreateButtonListView(kLogList.id, definition.GetSection(kLogList), _bar, this);
  _list->ShowHeader(false);
  _list->AddColumn(ListColumn{"", 150, 0, false, false});
  _list->AddColumn(ListColumn{"", 115, 0, false, false});
  _list->AddColumn(ListColumn{"", 152, 2, false, false});
  _list->SetTable(this);
  _list->LayoutColumns();
  CreateFrameOverlay(definition);
  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, "Ostrovelle Probe", mainwin::kWindowStyle, 0, 0, size.cx, size.cy,
                  owner);
  lib::wfc::ShowCenteredInFront(Handle(), owner);
}

void CProbeLogWindow::DoModal(HWND owner) {
  Create(owner);
  lib::wfc::RunModalLoop(Handle(), owner, &_done);
  if (Handle()) DestroyWindow();
}

int CProbeLogWindow::GetRowCount(CButtonListView*) {
  return _log ? static_cast<int>(_log->Records().size()) : 0;
}

std::string CProbeLogWindow::GetCellText(CButtonListView*, int row, int column) {
  SYSTEMTIME date;
  int code = 0;
  int outcome = 0;
  if (!_log || row < 0 || !_log->GetRecord(static_cast<size_t>(row), &date, &code, &outcome)) {
    return std::string();
  }
  switch (column) {
    case 0:
      return FormatString(" %04d/%02d/%02d %02d:%02d:%02d", date.wYear, date.wMonth, date.wDay,
                          date.wHour, date.wMinute, date.wSecond);
    case 1:
      return OutcomeText(outcome);
    case 2:
      return code != 0 ? FormatString("処理コード：0x%08X", static_cast<unsigned>(code))
                       : std::string();
    default:
      return std::string();
  }
}

COLORREF CProbeLogWindow::GetCellTextColor(CButtonListView*, int, int) { return kCellTextColor; }

void CProbeLogWindow::LoadLog() {
  _log = OpenProbeLog(_device_no);
  if (_list) _list->InvalidateRow(-1);
}

void CProbeLogWindow::OnCardChange(char drive) {
  _drive = drive;
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, drive);
  _device_no = unit.IsLoaded() ? unit.GetDeviceNo() : std::string();
  LoadLog();
}

void CProbeLogWindow::End() {
  _done = true;
  PostMessageA(WM_CLOSE);
}

LRESULT CProbeLogWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == _sd_change && _sd_change != 0) {
    if (IsSDChangeDrive(wparam)) {
      OnCardChange(static_cast<char>(wparam));
    } else {
      OV_LOG(kLogError, "SD変更通知不正 0x%08X", static_cast<unsigned>(wparam));
    }
    return 0;
  }
  if (message == WM_VSCROLL && _list) {
    _list->OnNotify(WM_VSCROLL, static_cast<INT_PTR>(wparam), lparam);
    return 0;
  }
  return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
}

void CProbeLogWindow::OnMouseWheelNotch(UINT, int steps, int, int) {
  if (_list) _list->ScrollByWheel(steps);
}

void CProbeLogWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kCloseButton.id || id == kOKButton.id) {
    End();
    return;
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

bool CProbeLogWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    End();
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

void CProbeLogWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept) ClickItem(kOKButton.id);
}

bool CProbeLogWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CProbeLogWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_owner, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CProbeLogWindow::OnEndSession(bool ending, LPARAM lparam) {
  if (ending) {
    PostMessageA(WM_CLOSE);
    if (_owner) ::PostMessageA(_owner, WM_ENDSESSION, TRUE, lparam);
  }
  mainwin::CMainFrame::OnEndSession(ending, lparam);
}

void CProbeLogWindow::OnDestroy() {
  _done = true;
  if (_owner && IsWindow(_owner)) {
    SetForegroundWindow(_owner);
    SetActiveWindow(_owner);
  }
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

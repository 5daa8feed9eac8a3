#include "LogUploadWindow.h"

#include "ErrorMessage.h"
#include "Log.h"
#include "MainWindowKeys.h"
#include "MessageBox.h"
#include "Placement.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"

namespace ui {

namespace {

// The outcome of a job that could not start for want of the unit's values.
constexpr uint32_t kBadArgument = logupload::kBadArgument;

}  // namespace

const SkinItemDescriptor CLogUploadWindow::kBase = {"Base", 4000};
const SkinItemDescriptor CLogUploadWindow::kApplicationIcon = {"ApplicationIcon", 4001};
const SkinItemDescriptor CLogUploadWindow::kTitleStatic = {"TitleStatic", 4002};
const SkinItemDescriptor CLogUploadWindow::kCloseButton = {"CloseButton", 4003};
const SkinItemDescriptor CLogUploadWindow::kYesButton = {"YesButton", 4004};
const SkinItemDescriptor CLogUploadWindow::kCancelButton = {"CancelButton", 4005};
const SkinItemDescriptor CLogUploadWindow::kUpdateConfirmTextStatic = {"UpdateConfirmTextStatic",
                                                                       4006};
const SkinItemDescriptor CLogUploadWindow::kScreenOverlay = {"ScreenOverlay", 4007};
const SkinItemDescriptor CLogUploadWindow::kFrameOverlay = {"FrameOverlay", 4008};

const char CLogUploadWindow::kConsentText[] =
    "Ostrovelleのエラー情報、およびお客様のパソコン環境をBrennik株式会社へ送信します。\r\n\r\n"
    "エラー情報  ：Ostrovelleが作成したエラー情報\r\n"
    "パソコン環境：OSの種類、バージョン/CPU/メモリ容量\r\n\r\n"
    "情報をアップロードして宜しいでしょうか。";

CLogUploadWindow::CLogUploadWindow(const char* cancel_event_name)
    : CFrameOverlayWindowBase(&kFrameOverlay), _cancel_event_name(cancel_event_name) {}

CLogUploadWindow::~CLogUploadWindow() {
  if (Handle()) DestroyWindow();
}

bool CLogUploadWindow::SetLogUploadInfo(uint32_t ccid, const char* user_agent,
                                        const char* device_no) {
  if (!device_no || !device_no[0]) {
    OV_LOG(kLogError, "CLogUploadWindow::SetLogUploadInfo - DwvicwNo指定不正");
    return false;
  }
  if (!user_agent || !user_agent[0]) {
    OV_LOG(kLogError, "CLogUploadWindow::SetLogUploadInfo - UserAgent指定不正");
    return false;
  }
  if (ccid == 0) {
    OV_LOG(kLogError, "CLogUploadWindow::SetLogUploadInfo - CCID指定不正");
    return false;
  }
  _ccid = ccid;
  _user_agent = user_agent;
  _device_no = device_no;
  return true;
}

void CLogUploadWindow::CreateItems(const SkinDefinition& definition) {
  CreateButtonItem(definition, kApplicationIcon, this);
  auto* title =
      static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, kTitleStatic, this));
  title->SetText("Ostrovelle");
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kYesButton, this);
  CreateButtonItem(definition, kCancelButton, this);
  auto* text = static_cast<CSkinWindowItemStatic*>(
      CreateStaticItem(definition, kUpdateConfirmTextStatic, this));
  text->SetFormat(DT_WORDBREAK);
  text->SetText(kConsentText);
  _screen_overlay = mainwin::CreateScreenOverlay(this, definition, kScreenOverlay);
  CreateFrameOverlay(definition);

  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  for (const SkinItemDescriptor* item : {&kYesButton, &kCancelButton, &kUpdateConfirmTextStatic}) {
    CLayoutManager::AddItem(item->id, kAnchorNear, kAnchorNear, kAnchorNear, kAnchorNear);
  }
  // The overlay hides the whole drawer, however wide the launcher is.
  CLayoutManager::AddItem(kScreenOverlay.id, kAnchorNear, kAnchorNear, kAnchorFar, kAnchorFar);
}

void CLogUploadWindow::Create(HWND parent) {
  _parent = parent;
  SkinDefinition definition;
  LoadDefinition(definition, "LogUploadWindow.txt", kBase, false);
  CreateItems(definition);
  const SIZE size = GetBaseImageSize();
  CWindow::Create(0, nullptr, "Ostrovelle LogUpload", mainwin::kWindowStyle, 0, 0, size.cx, size.cy,
                  parent);
  if (!PrepareUpload()) {
    PostMessageA(WM_CLOSE);
    return;
  }
  if (!_upload->Start(Handle(), mainwin::kWorkerDone, logupload::kJobPermission)) {
    EndWith(_upload->GetResult(), _upload->GetDetail());
    PostMessageA(WM_CLOSE);
  }
}

bool CLogUploadWindow::PrepareUpload() {
  if (!_upload) _upload = std::make_unique<CAplLogUpload>(_cancel_event_name.c_str());
  // Without the unit a job would ask for nobody's logs: the window ends as
  // a refused start would.
  if (_upload->SetDiruInfo(_device_no.empty() ? nullptr : _device_no.c_str(), _ccid,
                           _user_agent.empty() ? nullptr : _user_agent.c_str())) {
    return true;
  }
  EndWith(kBadArgument, 0);
  return false;
}

void CLogUploadWindow::EndWith(uint32_t result, uint32_t detail) {
  _outcome = result | kOutcomeCategory;
  _detail = detail;
}

void CLogUploadWindow::OnPermissionChecked(uint32_t result, uint32_t detail) {
  EndWith(result, detail);
  if (result != logupload::kDone) {
    PostMessageA(WM_CLOSE);
    return;
  }
  _drawer.Open(Handle(), _parent, GetLayoutSize().cy, _screen_overlay);
}

void CLogUploadWindow::Upload() {
  for (const SkinItemDescriptor* item : {&kCancelButton, &kYesButton}) {
    if (CSkinWindowItem* button = FindItem(item->id)) button->SetEnabled(false);
  }
  // A refused start reports like a finished job, so the user learns of it
  // and the window does not wait for an end that never comes.
  if (!PrepareUpload()) {
    PostMessageA(mainwin::kUploadDone, kBadArgument, 0);
  } else if (!_upload->Start(Handle(), mainwin::kUploadDone, logupload::kJobUpload)) {
    PostMessageA(mainwin::kUploadDone, _upload->GetResult(), _upload->GetDetail());
  }
}

void CLogUploadWindow::OnUploaded(uint32_t result, uint32_t detail) {
  EndWith(result, detail);
  uint32_t style = msgstyle::kWarning;
  const std::string text = GetErrorMessage(_outcome, &style, result != 0 ? detail : 0);
  lib::wfc::MessageBox(Handle(), text.c_str(), style);
  PostMessageA(WM_CLOSE);
}

LRESULT CLogUploadWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == mainwin::kWorkerDone) {
    OnPermissionChecked(static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam));
    return 0;
  }
  if (message == mainwin::kUploadDone) {
    OnUploaded(static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam));
    return 0;
  }
  return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
}

void CLogUploadWindow::OnCommand(UINT id, UINT code, HWND control) {
  struct Command {
    const SkinItemDescriptor* item;
    void (CLogUploadWindow::*handler)();
  };
  static const Command kCommands[] = {
      {&kCloseButton, nullptr},
      {&kYesButton, &CLogUploadWindow::Upload},
      {&kCancelButton, nullptr},
  };
  for (const Command& command : kCommands) {
    if (command.item->id != id) continue;
    if (command.handler) {
      (this->*command.handler)();
    } else {
      PostMessageA(WM_CLOSE);
    }
    return;
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

bool CLogUploadWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kReportDoubleClick) {
    PostMessageA(WM_CLOSE);
    return true;
  }
  return mainwin::CMainFrame::Notify(id, code, value);
}

void CLogUploadWindow::OnAcceptOrCancel(int, bool accept) {
  CSkinWindowItem* yes = FindItem(kYesButton.id);
  if (accept && yes && yes->IsEnabled() && IsWindowVisible(Handle())) Upload();
}

bool CLogUploadWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CLogUploadWindow::OnKeyDown(UINT key, UINT flags) {
  if (mainwin::PassKeyToOwner(_parent, key, flags)) mainwin::CMainFrame::OnKeyDown(key, flags);
}

void CLogUploadWindow::OnTimer(UINT_PTR id) {
  if (!_drawer.OnTimer(id)) mainwin::CMainFrame::OnTimer(id);
}

void CLogUploadWindow::OnClose() {
  if (_parent) ::PostMessageA(_parent, mainwin::kLogUploadClosed, _outcome, _detail);
  // The object stops a running job and waits for it: the job must not
  // outlive the window it reports to.
  _upload.reset();
  mainwin::CMainFrame::OnClose();
}

void CLogUploadWindow::OnDestroy() {
  _drawer.Stop();
  _upload.reset();
  if (_parent && IsWindow(_parent)) {
    SetForegroundWindow(_parent);
    SetActiveWindow(_parent);
  }
  mainwin::CMainFrame::OnDestroy();
}

}  // namespace ui

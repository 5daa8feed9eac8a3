#include "SettingWindow.h"

#include <cstdio>
#include <cwctype>
#include <utility>

#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "Folders.h"
#include "Log.h"
#include "MessageBox.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "Placement.h"
#include "ProgramStart.h"
#include "RadioButton.h"
#include "ShellHelpers.h"
#include "SkinWindowItemEditBox.h"
#include "SkinWindowItemStatic.h"
#include "Slider.h"
#include "WideUtil.h"

namespace ui {

const SkinItemDescriptor CSettingWindow::kBase = {"Base", 4000};
const SkinItemDescriptor CSettingWindow::kApplicationIcon = {"ApplicationIcon", 4001};
const SkinItemDescriptor CSettingWindow::kTitleStatic = {"TitleStatic", 4002};
const SkinItemDescriptor CSettingWindow::kCloseButton = {"CloseButton", 4003};
const SkinItemDescriptor CSettingWindow::kOKButton = {"OKButton", 4004};
const SkinItemDescriptor CSettingWindow::kCancelButton = {"CancelButton", 4005};
const SkinItemDescriptor CSettingWindow::kSetDefaultButton = {"SetDefaultButton", 4006};
const SkinItemDescriptor CSettingWindow::kFrameOverlay = {"FrameOverlay", 4007};
const SkinItemDescriptor CSettingWindow::kChargeTypeFrame = {"ChargeTypeFrame", 4008};
const SkinItemDescriptor CSettingWindow::kChargeTypeFrameText = {"ChargeTypeFrameText", 4009};
const SkinItemDescriptor CSettingWindow::kChargeTypeNoChargeRadio = {"ChargeTypeNoChargeRadio",
                                                                     4010};
const SkinItemDescriptor CSettingWindow::kChargeTypeManualRadio = {"ChargeTypeManualRadio", 4011};
const SkinItemDescriptor CSettingWindow::kChargeTypeAutoRadio = {"ChargeTypeAutoRadio", 4012};
const SkinItemDescriptor CSettingWindow::kChargeTypeNoChargeTextStatic = {
    "ChargeTypeNoChargeTextStatic", 4013};
const SkinItemDescriptor CSettingWindow::kChargeTypeManualTextStatic = {
    "ChargeTypeManualTextStatic", 4014};
const SkinItemDescriptor CSettingWindow::kChargeTypeAutoTextStatic = {"ChargeTypeAutoTextStatic",
                                                                      4015};
const SkinItemDescriptor CSettingWindow::kMusicFolderFrame = {"MusicFolderFrame", 4016};
const SkinItemDescriptor CSettingWindow::kMusicFolderFrameText = {"MusicFolderFrameText", 4017};
const SkinItemDescriptor CSettingWindow::kMusicFolderTextStatic = {"MusicFolderTextStatic", 4018};
const SkinItemDescriptor CSettingWindow::kMusicFolderEdit = {"MusicFolderEdit", 4019};
const SkinItemDescriptor CSettingWindow::kReferenceButton = {"ReferenceButton", 4020};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeFrame = {"AutoChargeTypeFrame", 4021};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeFrameText = {"AutoChargeTypeFrameText",
                                                                     4022};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeTimeStampRadio = {
    "AutoChargeTypeTimeStampRadio", 4023};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeRandomRadio = {"AutoChargeTypeRandomRadio",
                                                                       4024};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeTimeStampTextStatic = {
    "AutoChargeTypeTimeStampTextStatic", 4025};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeRandomTextStatic = {
    "AutoChargeTypeRandomTextStatic", 4026};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeRateTextStatic = {
    "AutoChargeTypeRateTextStatic", 4027};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeMinRateTextStatic = {
    "AutoChargeTypeMinRateTextStatic", 4028};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeMaxRateTextStatic = {
    "AutoChargeTypeMaxRateTextStatic", 4029};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeRateValueTextStatic = {
    "AutoChargeTypeRateValueTextStatic", 4030};
const SkinItemDescriptor CSettingWindow::kAutoChargeTypeScaleSlider = {"AutoChargeTypeScaleSlider",
                                                                       4031};
const SkinItemDescriptor CSettingWindow::kChargeIntervalFrame = {"ChargeIntervalFrame", 4032};
const SkinItemDescriptor CSettingWindow::kChargeIntervalFrameText = {"ChargeIntervalFrameText",
                                                                     4033};
const SkinItemDescriptor CSettingWindow::kChargeIntervalPerWeekRadio = {
    "ChargeIntervalPerWeekRadio", 4034};
const SkinItemDescriptor CSettingWindow::kChargeIntervalPerDayRadio = {"ChargeIntervalPerDayRadio",
                                                                       4035};
const SkinItemDescriptor CSettingWindow::kChargeIntervalAlwaysRadio = {"ChargeIntervalAlwaysRadio",
                                                                       4036};
const SkinItemDescriptor CSettingWindow::kChargeIntervalPerWeekTextStatic = {
    "ChargeIntervalPerWeekTextStatic", 4037};
const SkinItemDescriptor CSettingWindow::kChargeIntervalPerDayTextStatic = {
    "ChargeIntervalPerDayTextStatic", 4038};
const SkinItemDescriptor CSettingWindow::kChargeIntervalAlwaysTextStatic = {
    "ChargeIntervalAlwaysTextStatic", 4039};
const SkinItemDescriptor CSettingWindow::kChargeLimitFrame = {"ChargeLimitFrame", 4040};
const SkinItemDescriptor CSettingWindow::kChargeLimitFrameText = {"ChargeLimitFrameText", 4041};
const SkinItemDescriptor CSettingWindow::kChargeLimitCheckBox = {"ChargeLimitCheckBox", 4042};
const SkinItemDescriptor CSettingWindow::kChargeLimitCheckBoxTextStatic = {
    "ChargeLimitCheckBoxTextStatic", 4043};
const SkinItemDescriptor CSettingWindow::kChargeLimitBySizeRadio = {"ChargeLimitBySizeRadio", 4044};
const SkinItemDescriptor CSettingWindow::kChargeLimitByFileCountRadio = {
    "ChargeLimitByFileCountRadio", 4045};
const SkinItemDescriptor CSettingWindow::kChargeLimitBySizeTextStatic = {
    "ChargeLimitBySizeTextStatic", 4046};
const SkinItemDescriptor CSettingWindow::kChargeLimitByFileCountTextStatic = {
    "ChargeLimitByFileCountTextStatic", 4047};
const SkinItemDescriptor CSettingWindow::kChargeLimitSizeEdit = {"ChargeLimitSizeEdit", 4048};
const SkinItemDescriptor CSettingWindow::kChargeLimitFileCountEdit = {"ChargeLimitFileCountEdit",
                                                                      4049};
const SkinItemDescriptor CSettingWindow::kChargeLimitSizeTextStatic = {"ChargeLimitSizeTextStatic",
                                                                       4050};
const SkinItemDescriptor CSettingWindow::kChargeLimitFileCountTextStatic = {
    "ChargeLimitFileCountTextStatic", 4051};

const int CSettingWindow::kChargeTypeGroup[3] = {CSettingWindow::kChargeTypeNoChargeRadio.id,
                                                 CSettingWindow::kChargeTypeManualRadio.id,
                                                 CSettingWindow::kChargeTypeAutoRadio.id};
const int CSettingWindow::kAutoChargeTypeGroup[2] = {
    CSettingWindow::kAutoChargeTypeTimeStampRadio.id,
    CSettingWindow::kAutoChargeTypeRandomRadio.id};
const int CSettingWindow::kIntervalGroup[3] = {CSettingWindow::kChargeIntervalPerWeekRadio.id,
                                               CSettingWindow::kChargeIntervalPerDayRadio.id,
                                               CSettingWindow::kChargeIntervalAlwaysRadio.id};
const int CSettingWindow::kLimitGroup[2] = {CSettingWindow::kChargeLimitBySizeRadio.id,
                                            CSettingWindow::kChargeLimitByFileCountRadio.id};

namespace {

constexpr int kSetSelected = 100000001;
constexpr int kGetSelected = 100000002;
constexpr int kIconClosed = 3;
constexpr LPARAM kMusicJob = 0x10;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr char kCoreClass[] = "OSTROVELLEEVCORE";
constexpr char kCoreTitle[] = "Ostrovelle Core";

constexpr int kSizeLow = 100, kSizeHigh = 3000;
constexpr int kCountLow = 20, kCountHigh = 5000;

std::string Percent(int p) {
  char text[32];
  std::snprintf(text, sizeof text, "%d％", p);
  return text;
}

std::string Number(int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", n);
  return text;
}

std::string Range(bool size) {
  char text[64];
  if (size) {
    std::snprintf(text, sizeof text, "MB（%d～%d）", kSizeLow, kSizeHigh);
  } else {
    std::snprintf(text, sizeof text, "個（%d～%d）", kCountLow, kCountHigh);
  }
  return text;
}

bool RealPickFolder(HWND owner, const std::wstring& initial, std::wstring* chosen) {
  lib::CBrowseForFolder picker(initial);
  if (!picker.Show(owner, L"ミュージックデータフォルダを選択", false)) return false;
  *chosen = picker.GetPathW();
  return true;
}

std::wstring RealSystemFolder() {
  wchar_t folder[520] = {};
  const UINT length = GetSystemDirectoryW(folder, 520);
  return length > 0 && length < 520 ? std::wstring(folder, length) : std::wstring();
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' &&
      (path[2] == L'\\' || path[2] == L'/')) {
    return true;
  }
  // A UNC path names its server and share.
  return path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty() || path.size() < folder.size()) return false;
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                        static_cast<int>(folder.size()), folder.c_str(),
                        static_cast<int>(folder.size())) == CSTR_EQUAL;
}

int RateLabelLeft(int slider_left, int slider_width, int label_width, int p) {
  const int step = slider_width / 11;
  return slider_left - label_width / 2 + (p / 10) * step + step / 2;
}

CSettingWindow::CSettingWindow(SettingWindowHooks hooks)
    : CMusicFrame(&kFrameOverlay),
      _hooks(std::move(hooks)),
      _request_end(RegisterOvMessage(kMsgRequestEnd)) {
  if (!_hooks.pick_folder) _hooks.pick_folder = &RealPickFolder;
  if (!_hooks.start_core) _hooks.start_core = &StartCore;
  if (!_hooks.system_folder) _hooks.system_folder = &RealSystemFolder;
  SetResizingEnabled(false);
}

CSettingWindow::~CSettingWindow() {
  if (Handle()) DestroyWindow();
}

void CSettingWindow::SetTarget(char drive, HWND notify) {
  _drive = drive;
  _notify = notify;
}

bool CSettingWindow::CreateMusicWindow() {
  try {
    Create();
    return Handle() != nullptr;
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "CSettingWindow::Create - %s", e.what());
    return false;
  }
}

void CSettingWindow::Create() {
  SkinDefinition definition;
  LoadDefinition(definition, "SettingWindow.txt", kBase, false);
  const auto text = [&](const SkinItemDescriptor& d, const std::string& value, UINT format) {
    auto* item = static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, d, this));
    item->SetFormat(format);
    item->SetText(value);
  };
  constexpr UINT kLeft = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  constexpr UINT kRight = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
  constexpr UINT kCentre = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  const auto radio = [&](const SkinItemDescriptor& d) {
    CreateRadioButton(this, d.id, definition.GetSection(d));
  };
  const auto frame = [&](const SkinItemDescriptor& d) {
    CreateResizableStaticImageItem(definition, d, this);
  };

  CreateButtonItem(definition, kApplicationIcon, this);
  text(kTitleStatic, "ミュージックチャージ設定", kLeft);
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kOKButton, this);
  CreateButtonItem(definition, kCancelButton, this);
  CreateButtonItem(definition, kSetDefaultButton, this);

  frame(kChargeTypeFrame);
  text(kChargeTypeFrameText, "転送設定", kLeft);
  radio(kChargeTypeNoChargeRadio);
  radio(kChargeTypeManualRadio);
  radio(kChargeTypeAutoRadio);
  text(kChargeTypeNoChargeTextStatic, "転送しない", kLeft);
  text(kChargeTypeManualTextStatic, "マニュアル転送", kLeft);
  text(kChargeTypeAutoTextStatic, "自動転送", kLeft);

  frame(kMusicFolderFrame);
  text(kMusicFolderFrameText, "自動転送フォルダ設定", kLeft);
  text(kMusicFolderTextStatic,
       "指定フォルダ以下の音楽ファイルを読み込みます。（サブフォルダを含む）", kLeft);
  auto* folder = static_cast<CSkinWindowItemEditBox*>(
      CreateEditBox(kMusicFolderEdit.id, definition.GetSection(kMusicFolderEdit)));
  folder->SetUnicode(true);
  CreateButtonItem(definition, kReferenceButton, this);

  frame(kAutoChargeTypeFrame);
  text(kAutoChargeTypeFrameText, "自動転送設定", kLeft);
  radio(kAutoChargeTypeTimeStampRadio);
  radio(kAutoChargeTypeRandomRadio);
  text(kAutoChargeTypeTimeStampTextStatic, "更新日時の新しいファイルから自動転送する", kLeft);
  text(kAutoChargeTypeRandomTextStatic, "ランダムに自動転送する", kLeft);
  text(kAutoChargeTypeRateTextStatic, "SDカード内の音楽ファイルを入れ替える割合", kRight);
  text(kAutoChargeTypeMinRateTextStatic, Percent(0), kCentre);
  text(kAutoChargeTypeMaxRateTextStatic, Percent(100), kCentre);
  text(kAutoChargeTypeRateValueTextStatic, "", kCentre);
  CSkinWindowItem* slider =
      CreateSlider(this, kAutoChargeTypeScaleSlider.id,
                   definition.GetSection(kAutoChargeTypeScaleSlider), kSliderLayoutHorizontal);
  slider->OnNotify(kSliderSetMinimum, 0, 0);
  slider->OnNotify(kSliderSetMaximum, 0, 100);
  slider->OnNotify(kSliderSetStep, 0, 10);

  frame(kChargeIntervalFrame);
  text(kChargeIntervalFrameText, "転送頻度", kLeft);
  radio(kChargeIntervalPerWeekRadio);
  radio(kChargeIntervalPerDayRadio);
  radio(kChargeIntervalAlwaysRadio);
  text(kChargeIntervalPerWeekTextStatic, "１週間に１回", kLeft);
  text(kChargeIntervalPerDayTextStatic, "１日に１回", kLeft);
  text(kChargeIntervalAlwaysTextStatic, "起動時に毎回", kLeft);

  frame(kChargeLimitFrame);
  text(kChargeLimitFrameText, "転送制限", kLeft);
  CreateToggleButton(kChargeLimitCheckBox.id, definition.GetSection(kChargeLimitCheckBox));
  text(kChargeLimitCheckBoxTextStatic, "自動で転送するデータ量を制限する", kLeft);
  radio(kChargeLimitBySizeRadio);
  radio(kChargeLimitByFileCountRadio);
  text(kChargeLimitBySizeTextStatic, "サイズで制限する", kLeft);
  text(kChargeLimitByFileCountTextStatic, "ファイル数で制限する", kLeft);
  for (const SkinItemDescriptor* d : {&kChargeLimitSizeEdit, &kChargeLimitFileCountEdit}) {
    auto* edit =
        static_cast<CSkinWindowItemEditBox*>(CreateEditBox(d->id, definition.GetSection(*d)));
    edit->SetNumber(true);
    edit->SetAlignment(ES_RIGHT);
  }
  text(kChargeLimitSizeTextStatic, Range(true), kLeft);
  text(kChargeLimitFileCountTextStatic, Range(false), kLeft);
  CreateFrameOverlay(definition);

  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  CLayoutManager::AddItem(kOKButton.id, kAnchorNear, kAnchorNear, kAnchorNear, kAnchorNear);
  CLayoutManager::AddItem(kCancelButton.id, kAnchorNear, kAnchorNear, kAnchorNear, kAnchorNear);

  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, "Ostrovelle Music Setting", kWindowStyle, 0, 0, size.cx, size.cy,
                  _owner);
  lib::wfc::CenterWindow(Handle(), GetDesktopWindow());

  DragAcceptFiles(folder->Handle(), TRUE);
  for (const SkinItemDescriptor* d :
       {&kMusicFolderEdit, &kChargeLimitSizeEdit, &kChargeLimitFileCountEdit}) {
    const HWND control = Edit(d->id)->Handle();
    SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) & ~WS_TABSTOP);
  }

  COstrovelleConfig config;
  config.LoadMusic();
  ShowSettings(config);
  // Items drawn while the window was being made missed the back buffer:
  // render it whole once the window exists.
  PostMessageA(SkinWindowInternalMessage(), 0, 0);
}

CSkinWindowItemEditBox* CSettingWindow::Edit(int id) {
  return dynamic_cast<CSkinWindowItemEditBox*>(FindItem(id));
}

CSkinWindowItemSlider* CSettingWindow::Slider() {
  return dynamic_cast<CSkinWindowItemSlider*>(FindItem(kAutoChargeTypeScaleSlider.id));
}

bool CSettingWindow::IsChecked(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item && item->OnNotify(kGetSelected, 0, 0) != 0;
}

void CSettingWindow::SetChecked(int id, bool on) {
  if (CSkinWindowItem* item = FindItem(id)) item->OnNotify(kSetSelected, on ? 1 : 0, 0);
}

bool CSettingWindow::IsItemEnabled(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item && item->Enabled();
}

void CSettingWindow::SetItemEnabled(int id, bool on) {
  if (CSkinWindowItem* item = FindItem(id)) item->SetEnabled(on);
}

std::string CSettingWindow::ItemText(int id) {
  if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(FindItem(id))) return text->Text();
  CSkinWindowItem* item = FindItem(id);
  return item ? item->GetText() : std::string();
}

RECT CSettingWindow::ItemRect(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item ? item->Rect() : RECT{0, 0, 0, 0};
}

void CSettingWindow::SetItemText(int id, const std::string& value) {
  if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(FindItem(id))) text->SetText(value);
}

void CSettingWindow::ShowSettings(const COstrovelleConfig& config) {
  Edit(kMusicFolderEdit.id)->SetTextW(config.GetMusicFolderW());
  if (config.GetAutoChargeType() == 1) {
    OnCommand(kAutoChargeTypeRandomRadio.id, 1, nullptr);
  } else {
    OnCommand(kAutoChargeTypeTimeStampRadio.id, 1, nullptr);
  }
  Slider()->OnNotify(kSliderSetValue, 0, config.GetRandomPercent());
  UpdateRateLabel();
  const int interval = config.GetChargeInterval();
  SelectRadio(this, kIntervalGroup, 3,
              interval == 0   ? kChargeIntervalAlwaysRadio.id
              : interval == 1 ? kChargeIntervalPerDayRadio.id
                              : kChargeIntervalPerWeekRadio.id);
  SelectRadio(this, kLimitGroup, 2, kChargeLimitBySizeRadio.id);
  const int limit = config.GetChargeLimit();
  SetChecked(kChargeLimitCheckBox.id, limit != 0);
  if (limit != 0) {
    SelectRadio(this, kLimitGroup, 2,
                limit == 2 ? kChargeLimitByFileCountRadio.id : kChargeLimitBySizeRadio.id);
  }
  ApplyLimit(IsChecked(kChargeLimitCheckBox.id));
  const auto in = [](int v, unsigned low, unsigned high) {
    return static_cast<unsigned>(v) >= low && static_cast<unsigned>(v) <= high;
  };
  const int size = config.GetLimitSize();
  const int count = config.GetLimitFileCount();
  Edit(kChargeLimitSizeEdit.id)->SetText(Number(in(size, kSizeLow, kSizeHigh) ? size : 100));
  Edit(kChargeLimitFileCountEdit.id)
      ->SetText(Number(in(count, kCountLow, kCountHigh) ? count : 20));
  const int type = config.GetChargeType();
  OnCommand(type == 1   ? kChargeTypeManualRadio.id
            : type == 2 ? kChargeTypeAutoRadio.id
                        : kChargeTypeNoChargeRadio.id,
            1, nullptr);
}

void CSettingWindow::ReadSettings(COstrovelleConfig* config) {
  const int type = GetCheckedRadioIndex(this, kChargeTypeGroup, 3);
  config->SetChargeType(type == 0 ? 0 : type == 1 ? 1 : 2);
  if (config->GetChargeType() != 2) return;
  config->SetMusicFolderW(Edit(kMusicFolderEdit.id)->GetTextW());
  config->SetAutoChargeType(IsChecked(kAutoChargeTypeRandomRadio.id) ? 1 : 0);
  config->SetRandomPercent(static_cast<int>(Slider()->OnNotify(kSliderGetValue, 0, 0)));
  const int interval = GetCheckedRadioIndex(this, kIntervalGroup, 3);
  config->SetChargeInterval(interval == 1 ? 1 : interval == 2 ? 0 : 7);
  config->SetChargeLimit(!IsChecked(kChargeLimitCheckBox.id)          ? 0
                         : IsChecked(kChargeLimitByFileCountRadio.id) ? 2
                                                                      : 1);
  // The controls exist only with the window; without it both read 0.
  const HWND window = Handle();
  config->SetLimitSize(static_cast<int>(
      window ? GetDlgItemInt(window, kChargeLimitSizeEdit.id, nullptr, FALSE) : 0));
  config->SetLimitFileCount(static_cast<int>(
      window ? GetDlgItemInt(window, kChargeLimitFileCountEdit.id, nullptr, FALSE) : 0));
}

void CSettingWindow::ApplyChargeType(bool e) {
  for (const SkinItemDescriptor* d :
       {&kMusicFolderFrameText, &kMusicFolderTextStatic, &kMusicFolderEdit, &kReferenceButton}) {
    SetItemEnabled(d->id, e);
  }
  ApplyAutoChoice(e);
  ApplyInterval(e);
  for (const SkinItemDescriptor* d :
       {&kChargeLimitFrameText, &kChargeLimitCheckBox, &kChargeLimitCheckBoxTextStatic}) {
    SetItemEnabled(d->id, e);
  }
  ApplyLimit(e && IsChecked(kChargeLimitCheckBox.id));
}

void CSettingWindow::ApplyAutoChoice(bool e) {
  for (const SkinItemDescriptor* d :
       {&kAutoChargeTypeFrameText, &kAutoChargeTypeTimeStampRadio, &kAutoChargeTypeRandomRadio,
        &kAutoChargeTypeTimeStampTextStatic, &kAutoChargeTypeRandomTextStatic}) {
    SetItemEnabled(d->id, e);
  }
  const bool rate = e && IsChecked(kAutoChargeTypeRandomRadio.id);
  for (const SkinItemDescriptor* d :
       {&kAutoChargeTypeRateTextStatic, &kAutoChargeTypeMinRateTextStatic,
        &kAutoChargeTypeMaxRateTextStatic, &kAutoChargeTypeRateValueTextStatic,
        &kAutoChargeTypeScaleSlider}) {
    SetItemEnabled(d->id, rate);
  }
}

void CSettingWindow::ApplyInterval(bool e) {
  for (const SkinItemDescriptor* d :
       {&kChargeIntervalFrameText, &kChargeIntervalPerWeekRadio, &kChargeIntervalPerDayRadio,
        &kChargeIntervalAlwaysRadio, &kChargeIntervalPerWeekTextStatic,
        &kChargeIntervalPerDayTextStatic, &kChargeIntervalAlwaysTextStatic}) {
    SetItemEnabled(d->id, e);
  }
}

void CSettingWindow::ApplyLimit(bool e) {
  for (const SkinItemDescriptor* d :
       {&kChargeLimitBySizeRadio, &kChargeLimitBySizeTextStatic, &kChargeLimitByFileCountRadio,
        &kChargeLimitByFileCountTextStatic}) {
    SetItemEnabled(d->id, e);
  }
  const bool size = e && IsChecked(kChargeLimitBySizeRadio.id);
  const bool count = e && IsChecked(kChargeLimitByFileCountRadio.id);
  SetItemEnabled(kChargeLimitSizeEdit.id, size);
  SetItemEnabled(kChargeLimitSizeTextStatic.id, size);
  SetItemEnabled(kChargeLimitFileCountEdit.id, count);
  SetItemEnabled(kChargeLimitFileCountTextStatic.id, count);
}

void CSettingWindow::UpdateRateLabel() {
  CSkinWindowItem* label = FindItem(kAutoChargeTypeRateValueTextStatic.id);
  CSkinWindowItemSlider* slider = Slider();
  if (!label || !slider) return;
  SetItemText(label->Id(), "");
  const int p = static_cast<int>(slider->OnNotify(kSliderGetValue, 0, 0));
  label->SetPosition(RateLabelLeft(slider->X(), slider->Width(), label->Width(), p), label->Y());
  SetItemText(label->Id(), Percent(p));
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CSettingWindow::PickFolder() {
  std::wstring chosen;
  if (_hooks.pick_folder(Handle(), Edit(kMusicFolderEdit.id)->GetTextW(), &chosen)) {
    Edit(kMusicFolderEdit.id)->SetTextW(chosen);
  }
}

void CSettingWindow::ResetToDefaults() {
  if (Ask(0xFF00AA00) != IDYES) return;
  COstrovelleConfig defaults;
  defaults.InitMusic(false);
  ShowSettings(defaults);
}

int CSettingWindow::Ask(uint32_t code) {
  uint32_t style = msgstyle::kWarning;
  const std::string text = GetErrorMessage(code, &style, 0);
  return lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

bool CSettingWindow::StopCoreMusicCharge() {
  const HWND core = FindWindowA(kCoreClass, kCoreTitle);
  if (!core) return true;
  DWORD_PTR reserved = 0;
  // A core that does not answer in time is taken to have nothing running;
  // its next music charge reads the settings saved now anyway.
  if (!SendMessageTimeoutA(core, RegisterOvMessage(kMsgRequestReconfirm), 0,
                           reinterpret_cast<LPARAM>(Handle()), SMTO_ABORTIFHUNG,
                           kCoreAnswerTimeoutMs, &reserved)) {
    OV_LOG(kLogError, "CSettingWindow - no answer from the core [%08X]",
           static_cast<unsigned>(GetLastError()));
    return true;
  }
  if (!(reserved & kMusicJob)) return true;
  if (Ask(0xFF00AA07) != IDYES) return false;
  if (const HWND again = FindWindowA(kCoreClass, kCoreTitle)) {
    ::PostMessageA(again, RegisterOvMessage(kMsgRequestAbort), 0, kMusicJob);
  }
  return true;
}

bool CSettingWindow::Save(COstrovelleConfig& config) {
  if (config.SaveMusic()) return true;
  Ask(0xFF00AA08);
  return false;
}

bool CSettingWindow::OnOK() {
  COstrovelleConfig config;
  config.LoadMusic();
  const int old_type = config.GetChargeType();
  ReadSettings(&config);
  if (config.GetChargeType() != 2) {
    if (old_type == 2 && !StopCoreMusicCharge()) return false;
    if (!Save(config)) return false;
    PostMessageA(WM_CLOSE);
    return true;
  }

  const std::wstring& folder = config.GetMusicFolderW();
  // A relative folder would mean whatever each program's current folder
  // makes of it, and would slip past the system-folder check.
  if (!IsFullPath(folder)) {
    Ask(0xFF00AA09);
    return false;
  }
  const std::wstring canonical = CanonicalizePathW(folder);
  if (IsInsideFolder(canonical, _hooks.system_folder())) {
    Ask(0xFF00AA02);
    return false;
  }
  if (!FolderExists(canonical)) {
    if (Ask(0xFF00AA01) != IDYES) return false;
    if (!PathCreateDirectory(canonical)) {
      Ask(0xFF00AA09);
      return false;
    }
  }
  const auto in = [](int v, unsigned low, unsigned high) {
    return static_cast<unsigned>(v) >= low && static_cast<unsigned>(v) <= high;
  };
  if (config.GetChargeLimit() == 1 && !in(config.GetLimitSize(), kSizeLow, kSizeHigh)) {
    Ask(0xFF00AA03);
    return false;
  }
  if (config.GetChargeLimit() == 2 && !in(config.GetLimitFileCount(), kCountLow, kCountHigh)) {
    Ask(0xFF00AA04);
    return false;
  }
  if (config.GetAutoChargeType() == 1 && config.GetRandomPercent() == 0 &&
      Ask(0xFF00AA05) != IDYES) {
    return false;
  }
  if (!Save(config)) return false;
  if (old_type != 2 && Ask(0xFF00AA06) == IDYES &&
      !_hooks.start_core(_notify, _drive, static_cast<uint32_t>(kMusicJob))) {
    OV_LOG(kLogError, "CSettingWindow - the core could not be started");
  }
  PostMessageA(WM_CLOSE);
  return true;
}

LRESULT CSettingWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == _request_end && _request_end != 0) {
    PostMessageA(WM_CLOSE);
    return 0;
  }
  return CMusicFrame::WindowProc(message, wparam, lparam);
}

void CSettingWindow::OnDestroy() {
  PostQuitMessage(0);
  CMusicFrame::OnDestroy();
}

void CSettingWindow::OnEndSession(bool ending, LPARAM lparam) {
  if (ending) PostMessageA(WM_CLOSE);
  CMusicFrame::OnEndSession(ending, lparam);
}

void CSettingWindow::OnKeyDown(UINT key, UINT flags) {
  if (const HWND parent = ::GetParent(Handle())) ::PostMessageA(parent, WM_KEYDOWN, key, flags);
  CMusicFrame::OnKeyDown(key, flags);
}

void CSettingWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept && IsWindowEnabled(Handle()) && IsItemEnabled(kOKButton.id)) {
    PostMessageA(WM_COMMAND, MAKEWPARAM(kOKButton.id, 1), 0);
  }
}

bool CSettingWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kIconClosed) {
    PostMessageA(WM_CLOSE);
    return true;
  }
  if (id == kAutoChargeTypeScaleSlider.id && code == kSliderReportMoved) UpdateRateLabel();
  return CMusicFrame::Notify(id, code, value);
}

void CSettingWindow::OnCommand(UINT id, UINT code, HWND control) {
  const int item = static_cast<int>(id);
  if (item == kCloseButton.id || item == kCancelButton.id) {
    PostMessageA(WM_CLOSE);
  } else if (item == kOKButton.id) {
    OnOK();
  } else if (item == kSetDefaultButton.id) {
    ResetToDefaults();
  } else if (item == kChargeTypeNoChargeRadio.id || item == kChargeTypeManualRadio.id ||
             item == kChargeTypeAutoRadio.id) {
    SelectRadio(this, kChargeTypeGroup, 3, item);
    ApplyChargeType(item == kChargeTypeAutoRadio.id);
  } else if (item == kReferenceButton.id) {
    PickFolder();
  } else if (item == kAutoChargeTypeTimeStampRadio.id || item == kAutoChargeTypeRandomRadio.id) {
    SelectRadio(this, kAutoChargeTypeGroup, 2, item);
    ApplyAutoChoice(true);
  } else if (item == kChargeIntervalPerWeekRadio.id || item == kChargeIntervalPerDayRadio.id ||
             item == kChargeIntervalAlwaysRadio.id) {
    SelectRadio(this, kIntervalGroup, 3, item);
  } else if (item == kChargeLimitCheckBox.id) {
    ApplyLimit(IsChecked(kChargeLimitCheckBox.id));
  } else if (item == kChargeLimitBySizeRadio.id || item == kChargeLimitByFileCountRadio.id) {
    SelectRadio(this, kLimitGroup, 2, item);
    ApplyLimit(true);
  } else {
    CMusicFrame::OnCommand(id, code, control);
  }
}

}  // namespace ui

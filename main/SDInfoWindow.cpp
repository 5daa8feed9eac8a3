#include "SDInfoWindow.h"

#include <algorithm>

#include "Folders.h"
#include "Log.h"
#include "MessageBox.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/SDInfoFile.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"

namespace ui {

namespace {

constexpr uint32_t kDataIdZudov = 0x20000003;
constexpr uint32_t kDataIdMapData = 0x30020001;
constexpr uint32_t kDataIdBtFirmware = 0x10000002;
// The unit's mark of a record whose data is not on the card.
constexpr int kStatusNotOnCard = 0xFFF;
// The history's stage of a charge that wrote its data.
constexpr int kStageDone = 2;

// What each row reads: its charge kind in the card history and the data id
// of its link-file test (0: the history alone decides).
struct RowKind {
  uint32_t kind;
  uint32_t data_id;
  const char* text;
};
const RowKind kRowKinds[sdinfo::kRowCount] = {
    {4, pclink::kDataIdTraffic, "渋滞情報"}, {8, pclink::kDataIdWeather, "Stratovine"},
    {16, 0, "ミュージックチャージ"},         {2, pclink::kDataIdMap, "マップチャージ"},
    {32, kDataIdZudov, "Trapwise"},
};

std::string FormatDate(const SYSTEMTIME& t) {
  return FormatString("%04d/%02d/%02d %02d：%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}

std::vector<const CPcLinkRecord*> RecordsOf(const CPcLinkFile& file, uint32_t data_id) {
  std::vector<const CPcLinkRecord*> out;
  for (const CPcLinkRecord& record : file.GetRecords()) {
    if (record.DataId() == data_id) out.push_back(&record);
  }
  return out;
}

// The link-file test: 2 when the card holds what the unit holds, at least
// the charged version; 0 when the PC's side is ahead or nothing matched.
// Records of one id (the map's several) are paired in file order.
int LinkTest(const CPcLinkFile& link, const CPcLinkFile& unit, uint32_t data_id,
             uint32_t history_version) {
  const auto pc = RecordsOf(link, data_id);
  const auto navi = RecordsOf(unit, data_id);
  for (size_t i = 0; i < navi.size(); ++i) {
    const uint32_t pc_version = i < pc.size() ? pc[i]->Version() : 0;
    const uint32_t navi_version = navi[i]->Version();
    if (pc_version == navi_version) {
      if (navi[i]->Status() != kStatusNotOnCard && navi_version >= history_version) {
        return kStageDone;
      }
      continue;
    }
    if (pc_version > navi_version) return 0;
    OV_LOG(kLogInfo, "PCLINK < NAVIINFO ID:0x%X PCver:0x%08X NAVIver:0x%08X", data_id, pc_version,
           navi_version);
  }
  return 0;
}

// The history test: the link file holds at least the charged version.
bool HistoryTest(const CPcLinkFile& link, uint32_t data_id, uint32_t history_version) {
  const uint32_t pc_version = link.GetVersion(data_id);
  if (history_version > pc_version) {
    OV_LOG(kLogInfo, "PCLINK < NAVIINFO ID:0x%X PCver:0x%08X SDInfo:0x%08X", data_id, pc_version,
           history_version);
    return false;
  }
  return true;
}

bool SystemCapacity(const std::string& root, uint64_t* capacity, DWORD* error) {
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) {
    *error = GetLastError();
    return false;
  }
  *capacity = total.QuadPart;
  *error = 0;
  return true;
}

std::string DriveRoot(char drive) { return std::string(1, drive) + ":\\"; }

}  // namespace

namespace sdinfo {

std::array<BarSpan, kRowCount> LayOutBars(const std::array<uint64_t, kRowCount>& sizes,
                                          uint64_t capacity, int left, int width) {
  std::array<BarSpan, kRowCount> spans{};
  uint64_t whole = capacity;
  if (whole == 0) {
    for (uint64_t size : sizes) whole += size;
  }
  if (whole == 0 || width <= 0) return spans;
  const int right = left + width;
  int x = left;
  for (Row row : kBarOrder) {
    const uint64_t size = sizes[row];
    if (size == 0) continue;
    uint64_t share = size * 100 / whole;
    if (share == 0) share = 1;  // a group that holds anything shows
    share = std::min<uint64_t>(share, 100);
    const int w = static_cast<int>(share * static_cast<uint64_t>(width) / 100);
    const int end = std::min(right, x + std::max(w, 1));
    if (end > x) spans[row] = {x, end - x};
    x = end;
  }
  return spans;
}

const std::vector<std::string>& RowFolders(Row row) {
  static const std::vector<std::string> kFolders[kRowCount] = {
      {"\\PC\\PROBE\\"},
      {"\\PC\\WEATHER\\"},
      {"\\AV\\MUSIC"},
      {"\\PC\\PROGRAM\\", "\\PC\\BT\\", "\\UPDATE\\", "\\PC\\MAP\\", "\\PC\\SEARCH1\\",
       "\\PC\\SEARCH2\\", "\\PC\\SEARCH3\\", "\\PC\\SEARCH4\\", "\\PC\\SEARCH5\\",
       "\\PC\\SEARCH6\\", "\\PC\\SEARCH7\\", "\\PC\\SEARCH8\\", "\\PC\\SEARCH9\\",
       "\\PC\\SEARCH10\\", "\\PC\\SEARCH11\\", "\\PC\\SEARCH12\\"},
      {"\\PC\\ZUDOV\\"},
  };
  return kFolders[row];
}

}  // namespace sdinfo

const SkinItemDescriptor CSDInfoWindow::kBase = {"Base", 5500};
const SkinItemDescriptor CSDInfoWindow::kApplicationIcon = {"ApplicationIcon", 5501};
const SkinItemDescriptor CSDInfoWindow::kTitleStatic = {"TitleStatic", 5502};
const SkinItemDescriptor CSDInfoWindow::kCloseButton = {"CloseButton", 5503};
const SkinItemDescriptor CSDInfoWindow::kOKButton = {"OKButton", 5504};
const SkinItemDescriptor CSDInfoWindow::kLastChargeTextStatic = {"LastChargeTextStatic", 5505};
const SkinItemDescriptor CSDInfoWindow::kChargeStatusTextStatic = {"ChargeStatusTextStatic", 5506};
const SkinItemDescriptor CSDInfoWindow::kSDChargeStatusTextStatic = {"SDChargeStatusTextStatic",
                                                                     5507};
const SkinItemDescriptor CSDInfoWindow::kLastUploadTextStatic = {"LastUploadTextStatic", 5508};
const CSDInfoWindow::RowItems CSDInfoWindow::kRows[sdinfo::kRowCount] = {
    {{"FrameTidewheel", 5509},
     {"IconTidewheel", 5510},
     {"TextTidewheel", 5511},
     {"SampleTidewheel", 5512},
     {"LastChargeTidewheel", 5513},
     {"ChargeStatusTidewheel", 5514},
     {"SDChargeStatusTidewheel", 5515}},
    {{"FrameWeather", 5516},
     {"IconWeather", 5517},
     {"TextWeather", 5518},
     {"SampleWeather", 5519},
     {"LastChargeWeather", 5520},
     {"ChargeStatusWeather", 5521},
     {"SDChargeStatusWeather", 5522}},
    {{"FrameMusic", 5523},
     {"IconMusic", 5524},
     {"TextMusic", 5525},
     {"SampleMusic", 5526},
     {"LastChargeMusic", 5527},
     {"ChargeStatusMusic", 5528},
     {"SDChargeStatusMusic", 5529}},
    {{"FrameMap", 5530},
     {"IconMap", 5531},
     {"TextMap", 5532},
     {"SampleMap", 5533},
     {"LastChargeMap", 5534},
     {"ChargeStatusMap", 5535},
     {"SDChargeStatusMap", 5536}},
    {{"FrameZudov", 5537},
     {"IconZudov", 5538},
     {"TextZudov", 5539},
     {"SampleZudov", 5540},
     {"LastChargeZudov", 5541},
     {"ChargeStatusZudov", 5542},
     {"SDChargeStatusZudov", 5543}},
};
const SkinItemDescriptor CSDInfoWindow::kFrameProbe = {"FrameProbe", 5544};
const SkinItemDescriptor CSDInfoWindow::kIconProbe = {"IconProbe", 5545};
const SkinItemDescriptor CSDInfoWindow::kTextProbe = {"TextProbe", 5546};
const SkinItemDescriptor CSDInfoWindow::kLastChargeProbe = {"LastChargeProbe", 5547};
const SkinItemDescriptor CSDInfoWindow::kButtonProbe = {"ButtonProbe", 5548};
const SkinItemDescriptor CSDInfoWindow::kButtonDiruInfo = {"ButtonDiruInfo", 5549};
const SkinItemDescriptor CSDInfoWindow::kSizeBarBlank = {"SizeBarBlank", 5550};
// Indexed by row, which is also their items' order.
const SkinItemDescriptor CSDInfoWindow::kSizeBars[sdinfo::kRowCount] = {
    {"SizeBarTidewheel", 5551}, {"SizeBarWeather", 5552}, {"SizeBarMusic", 5553},
    {"SizeBarMap", 5554},       {"SizeBarZudov", 5555},
};
const SkinItemDescriptor CSDInfoWindow::kTotalSizeTextStatic = {"TotalSizeTextStatic", 5556};
const SkinItemDescriptor CSDInfoWindow::kFrameOverlay = {"FrameOverlay", 5557};

CSDInfoWindow::CSDInfoWindow(bool zudov_row, SDInfoWindowHooks hooks)
    : CKeptCardWindow(&kFrameOverlay, kApplicationIcon.id),
      _zudov_row(zudov_row),
      _hooks(std::move(hooks)) {
  if (!_hooks.card_capacity) _hooks.card_capacity = &SystemCapacity;
  if (!_hooks.folder_size) _hooks.folder_size = &GetFolderTreeSize;
}

CSDInfoWindow::~CSDInfoWindow() {
  if (Handle()) DestroyWindow();
}

void CSDInfoWindow::CreateItems(const SkinDefinition& definition) {
  auto text = [&](const SkinItemDescriptor& item, const char* value) {
    auto* item_static =
        static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, item, this));
    item_static->SetText(value);
  };
  CreateButtonItem(definition, kApplicationIcon, this);
  text(kTitleStatic, "ＳＤカード情報");
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kOKButton, this);
  text(kLastChargeTextStatic, "前回チャージ日時");
  text(kChargeStatusTextStatic, "転送状態");
  text(kSDChargeStatusTextStatic, "SDカード");
  text(kLastUploadTextStatic, "前回アップロード日時");
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    if (row == sdinfo::kZudov && !_zudov_row) continue;
    const RowItems& items = kRows[row];
    CreateResizableStaticImageItem(definition, items.frame, this);
    CreateStaticImageItem(definition, items.icon, this);
    text(items.text, kRowKinds[row].text);
    CreateStaticImageItem(definition, items.sample, this);
    text(items.last_charge, kNoDate);
    text(items.charge_status, kNoStatus);
    text(items.sd_status, kNoStatus);
  }
  CreateResizableStaticImageItem(definition, kFrameProbe, this);
  CreateStaticImageItem(definition, kIconProbe, this);
  text(kTextProbe, "蓄積型プローブ");
  text(kLastChargeProbe, kNoDate);
  CreateButtonItem(definition, kButtonProbe, this);
  CreateButtonItem(definition, kButtonDiruInfo, this);
  CreateResizableStaticImageItem(definition, kSizeBarBlank, this);
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    if (row == sdinfo::kZudov && !_zudov_row) continue;
    CreateResizableStaticImageItem(definition, kSizeBars[row], this)->SetVisible(false);
  }
  text(kTotalSizeTextStatic, "");
  static_cast<CSkinWindowItemStatic*>(FindItem(kTotalSizeTextStatic.id))->SetFormat(DT_RIGHT);
  CreateFrameOverlay(definition);
  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  CLayoutManager::AddItem(kOKButton.id, kAnchorNear, kAnchorNear, kAnchorNear, kAnchorNear);
}

void CSDInfoWindow::Create(HWND owner) {
  CreateFromSkin(owner, "SDInfoWindow.txt", kBase, "Ostrovelle SDInfo");
  // Items drawn while the window was being made missed the back buffer.
  PostMessageA(SkinWindowInternalMessage(), 0, 0);
}

void CSDInfoWindow::Show(char drive) {
  _drive = drive;
  Refresh();
  ShowInFront();
}

void CSDInfoWindow::OnCardChange(char drive) {
  _drive = drive;
  Refresh();
}

void CSDInfoWindow::Refresh() {
  RefreshRows();
  RefreshSizeBar();
  RefreshProbe();
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CSDInfoWindow::SetItemText(const SkinItemDescriptor& item, const std::string& text) {
  if (auto* found = dynamic_cast<CSkinWindowItemStatic*>(FindItem(item.id))) {
    found->SetText(text);
  }
}

std::string CSDInfoWindow::ItemText(int id) {
  if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(FindItem(id))) return text->Text();
  return std::string();
}

void CSDInfoWindow::RefreshRows() {
  for (const RowItems& items : kRows) {
    SetItemText(items.last_charge, kNoDate);
    SetItemText(items.charge_status, kNoStatus);
    SetItemText(items.sd_status, kNoStatus);
  }
  _device_no.clear();
  if (_drive == 0) return;
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _drive);
  const DWORD unit_error = GetLastError();
  _device_no = unit.IsLoaded() ? unit.GetDeviceNo() : std::string();
  if (_device_no.empty()) {
    OV_LOG(kLogError, "デバイスNo取得失敗 ERR:0x%08X", static_cast<unsigned>(unit_error));
    return;
  }
  const CPcLinkFile link(CPcLinkFile::kLinkFile, _drive);
  const CSDInfoFile history(_drive);
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    if (row == sdinfo::kZudov && !_zudov_row) continue;
    const RowKind& kind = kRowKinds[row];
    SYSTEMTIME date = {};
    int stage = -1;
    int result = 0;
    int version = 0;
    std::string text;
    history.GetRecord(kind.kind, &date, &stage, &text, &result, &version);
    const uint32_t history_version = static_cast<uint32_t>(version);
    int link_state = 0;
    bool confirmed = stage == kStageDone;
    if (kind.data_id != 0) {
      link_state = LinkTest(link, unit, kind.data_id, history_version);
      confirmed =
          confirmed && link_state == kStageDone && HistoryTest(link, kind.data_id, history_version);
    }
    const RowItems& items = kRows[row];
    SetItemText(items.last_charge, confirmed ? FormatDate(date) : kNoDate);
    SetItemText(items.sd_status, confirmed ? "完了" : "なし");
    if (row == sdinfo::kMap || row == sdinfo::kZudov) {
      SetItemText(items.charge_status, link_state == kStageDone ? "完了" : "未転送");
    }
  }
}

void CSDInfoWindow::RefreshSizeBar() {
  if (_drive == 0) return;
  const std::string root = DriveRoot(_drive);
  uint64_t capacity = 0;
  DWORD error = 0;
  if (!_hooks.card_capacity(root, &capacity, &error)) {
    OV_LOG(kLogError, "無効なドライブ指定 %s", root.c_str());
    return;
  }
  std::array<uint64_t, sdinfo::kRowCount> sizes{};
  uint64_t total = 0;
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    if (row == sdinfo::kZudov && !_zudov_row) continue;
    for (const std::string& folder : sdinfo::RowFolders(static_cast<sdinfo::Row>(row))) {
      sizes[row] += _hooks.folder_size(std::string(1, _drive) + ":" + folder);
    }
    total += sizes[row];
  }
  SetItemText(kTotalSizeTextStatic,
              FormatString("Total %0.2fGB", static_cast<double>(total) / (1024.0 * 1024 * 1024)));
  CSkinWindowItem* blank = FindItem(kSizeBarBlank.id);
  if (!blank) return;
  const RECT area = blank->Rect();
  const auto spans = sdinfo::LayOutBars(sizes, capacity, area.left, area.right - area.left);
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    CSkinWindowItem* bar = FindItem(kSizeBars[row].id);
    if (!bar) continue;
    if (spans[row].width <= 0) {
      bar->SetVisible(false);
      continue;
    }
    bar->SetRect(spans[row].left, area.top, spans[row].left + spans[row].width, area.bottom);
    bar->SetVisible(true);
  }
}

void CSDInfoWindow::RefreshProbe() {
  SetItemText(kLastChargeProbe, kNoDate);
  if (_device_no.empty()) return;
  const CProbeLogFile log(_device_no);
  SYSTEMTIME date = {};
  int code = 0;
  int result = 0;
  if (!log.Records().empty() && log.GetRecord(log.Records().size() - 1, &date, &code, &result)) {
    SetItemText(kLastChargeProbe, FormatDate(date));
  }
}

std::string CSDInfoWindow::VersionText() const {
  if (_drive == 0) return std::string();
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _drive);
  if (!unit.IsLoaded()) return std::string();
  return FormatString(
      "\r\n     Application\t:  %s     \r\n     Map Data\t:  %s     \r\n     Search "
      "Data\t:  %s     \r\n     BT Firmware\t:  %s     \r\n\r\n",
      CPcLinkFile::FormatVersion3(unit.GetVersion(pclink::kDataIdProgram)).c_str(),
      CPcLinkFile::FormatVersion6(unit.GetVersion(kDataIdMapData)).c_str(),
      CPcLinkFile::FormatVersion6(unit.GetVersion(pclink::kDataIdMap)).c_str(),
      CPcLinkFile::FormatVersion3(unit.GetVersion(kDataIdBtFirmware)).c_str());
}

void CSDInfoWindow::ShowVersions() {
  const std::string text = VersionText();
  if (!text.empty()) lib::wfc::MessageBox(Handle(), text.c_str(), 0);
}

void CSDInfoWindow::OpenProbeLog() {
  if (!_hooks.open_probe_log) return;
  _hooks.open_probe_log(Handle(), _device_no);
  if (Handle()) {
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

void CSDInfoWindow::OnCommand(UINT id, UINT code, HWND control) {
  struct Command {
    const SkinItemDescriptor* item;
    void (CSDInfoWindow::*handler)();
  };
  static const Command kCommands[] = {
      {&kCloseButton, &CSDInfoWindow::Hide},
      {&kOKButton, &CSDInfoWindow::Hide},
      {&kButtonProbe, &CSDInfoWindow::OpenProbeLog},
      {&kButtonDiruInfo, &CSDInfoWindow::ShowVersions},
  };
  for (const Command& command : kCommands) {
    if (command.item->id == id) {
      (this->*command.handler)();
      return;
    }
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

void CSDInfoWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept) Hide();
}

}  // namespace ui

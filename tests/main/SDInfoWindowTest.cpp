// The card-information window on the real skin: the rows drawn from a
// simulated card's unit information file, link file and history, a card
// missing or without a device number, the row that only exists on request,
// the size bar (its arithmetic and its items), the probe upload's last date
// and its opener, the versions box and the card change.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "CoreMessages.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "OstrovelleLite/ProbeLogFile.h"
#include "OstrovelleLite/SDInfoFile.h"
#include "SDInfoWindow.h"
#include "ScreenLock.h"
#include "SkinWindowItem.h"
#include "TestSupport.h"

namespace {

using maintest::CRecordingParent;
using ui::CSDInfoWindow;
namespace sdinfo = ui::sdinfo;

constexpr char kDeviceNo[] = "DIRU0000000042";
constexpr uint32_t kDataIdZudov = 0x20000003;
constexpr char kNoDate[] = "----/--/-- --：--";

SYSTEMTIME Date(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  return t;
}

// One record of the card history as the core writes it.
struct History {
  uint32_t kind;
  int stage;
  int version;
  SYSTEMTIME date;
};

bool WriteHistory(const ovtest::CTestCard& card, const std::vector<History>& records) {
  std::string bytes;
  for (const History& h : records) {
    SDInfoRecord r;
    r.SetId(h.kind);
    r.SetDate(h.date);
    r.SetFirst(h.stage);
    r.SetSecond(static_cast<int32_t>(h.kind << 24));
    r.SetThird(h.version);
    bytes.append(reinterpret_cast<const char*>(r.bytes), SDInfoRecord::kSize);
  }
  CreateDirectoryA(card.Path("PC").c_str(), nullptr);
  return ovtest::WriteFileBytes(card.Path("PC\\SDINFO.DAT"), bytes);
}

// The unit's records: traffic, weather, map and Zudov data on the card.
ovtest::CCardMaker Unit(uint32_t map_version = 7) {
  ovtest::CCardMaker unit;
  unit.DeviceNo(kDeviceNo)
      .AddRecord(0x10000001, 0x01002000, 0x2011, 1)
      .AddRecord(0x10000002, 0x02003000, 0x2011, 1)
      .AddRecord(0x20000001, 5, 0x2011, 1)
      .AddRecord(0x20000002, 5, 0x2011, 1)
      .AddRecord(0x30010002, map_version, 0x2011, 1)
      .AddRecord(0x30020001, 0x03000042, 0x2011, 1)
      .AddRecord(kDataIdZudov, 3, 0x2011, 1);
  return unit;
}

class SDInfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()); }

  void Open(bool zudov_row, ui::SDInfoWindowHooks hooks = {}) {
    _window = std::make_unique<CSDInfoWindow>(zudov_row, std::move(hooks));
    _window->Create(_parent.Get());
  }
  std::string Text(const ui::SkinItemDescriptor& item) { return _window->ItemText(item.id); }
  const CSDInfoWindow::RowItems& Row(sdinfo::Row row) { return CSDInfoWindow::kRows[row]; }
  ui::CSkinWindowItem* Bar(sdinfo::Row row) {
    return _window->FindItem(CSDInfoWindow::kSizeBars[row].id);
  }
  void ExpectDashes() {
    for (const auto& row : CSDInfoWindow::kRows) {
      if (!_window->FindItem(row.text.id)) continue;
      EXPECT_EQ(kNoDate, Text(row.last_charge)) << row.text.section;
      EXPECT_EQ("--", Text(row.charge_status)) << row.text.section;
      EXPECT_EQ("--", Text(row.sd_status)) << row.text.section;
    }
    EXPECT_EQ(kNoDate, Text(CSDInfoWindow::kLastChargeProbe));
  }

  ovtest::CTestCard _card;
  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
  ovtest::CScreenLock _screen;
  CRecordingParent _parent{100, 100, 400, 260};
  std::unique_ptr<CSDInfoWindow> _window;
};

// Each row's words for a card whose link file is the unit's own copy, and
// for one whose link file is behind the unit.
struct RowCase {
  const char* name;
  sdinfo::Row row;
  bool link_behind;  // the link file's map record is older than the unit's
  History history;
  const char* last_charge;
  const char* charge_status;
  const char* sd_status;
};
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

const SYSTEMTIME kCharged = Date(2011, 12, 31, 23, 59);
constexpr char kChargedText[] = "2011/12/31 23：59";

class SDInfoRowTest : public SDInfoWindowTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(SDInfoRowTest, ShowsTheRowOfTheCard) {
  const RowCase& c = GetParam();
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), !c.link_behind));
  if (c.link_behind) {
    ASSERT_TRUE(Unit(6).WriteFile(_card.Path("PCLINK.DAT")));
  }
  ASSERT_TRUE(WriteHistory(_card, {c.history}));
  Open(true);
  _window->Show(_card.Letter());
  EXPECT_EQ(kDeviceNo, _window->DeviceNo());
  EXPECT_EQ(c.last_charge, Text(Row(c.row).last_charge));
  EXPECT_EQ(c.charge_status, Text(Row(c.row).charge_status));
  EXPECT_EQ(c.sd_status, Text(Row(c.row).sd_status));
  if (c.link_behind && c.row == sdinfo::kMap) {
    EXPECT_TRUE(
        _log.Contains("PCLINK < NAVIINFO ID:0x30010002 PCver:0x00000006 NAVIver:0x00000007"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SDInfoRowTest,
    ::testing::Values(
        RowCase{"TidewheelCharged",
                sdinfo::kTidewheel,
                false,
                {4, 2, 5, kCharged},
                kChargedText,
                "--",
                "完了"},
        RowCase{"TidewheelFailed",
                sdinfo::kTidewheel,
                false,
                {4, 4, 5, kCharged},
                kNoDate,
                "--",
                "なし"},
        RowCase{"WeatherNewerThanTheCard",
                sdinfo::kWeather,
                false,
                {8, 2, 6, kCharged},
                kNoDate,
                "--",
                "なし"},
        RowCase{"MusicFromTheHistoryAlone",
                sdinfo::kMusic,
                false,
                {16, 2, 0, kCharged},
                kChargedText,
                "--",
                "完了"},
        RowCase{"MusicAborted", sdinfo::kMusic, false, {16, 3, 0, kCharged}, kNoDate, "--", "なし"},
        RowCase{
            "MapCharged", sdinfo::kMap, false, {2, 2, 7, kCharged}, kChargedText, "完了", "完了"},
        RowCase{"MapNotTransferred",
                sdinfo::kMap,
                true,
                {2, 2, 7, kCharged},
                kNoDate,
                "未転送",
                "なし"},
        RowCase{"ZudovWithoutHistory",
                sdinfo::kZudov,
                false,
                {99, 2, 0, kCharged},
                kNoDate,
                "完了",
                "なし"}),
    ovtest::CaseName());

TEST_F(SDInfoWindowTest, NoCardShowsDashesAndLeavesTheBar) {
  int measured = 0;
  ui::SDInfoWindowHooks hooks;
  hooks.folder_size = [&](const std::string&) {
    ++measured;
    return uint64_t{0};
  };
  Open(true, hooks);
  _window->Show(0);
  EXPECT_TRUE(IsWindowVisible(_window->Handle()));
  ExpectDashes();
  EXPECT_EQ(0, measured);
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    EXPECT_FALSE(Bar(static_cast<sdinfo::Row>(row))->IsVisible());
  }
  EXPECT_EQ("", Text(CSDInfoWindow::kTotalSizeTextStatic));
}

TEST_F(SDInfoWindowTest, CardWithoutDeviceNumberShowsDashesAndLogs) {
  // A card whose unit information file is missing: the history alone says
  // nothing about the data on the card.
  CreateDirectoryA(_card.Path("PC").c_str(), nullptr);
  ASSERT_TRUE(WriteHistory(_card, {{4, 2, 5, kCharged}, {16, 2, 0, kCharged}}));
  Open(true);
  _window->Show(_card.Letter());
  ExpectDashes();
  EXPECT_TRUE(_log.Contains("デバイスNo取得失敗 ERR:0x"));
}

TEST_F(SDInfoWindowTest, WithoutTheZudovFlagItsRowBarAndFolderDoNotExist) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  ASSERT_TRUE(WriteHistory(_card, {{32, 2, 3, kCharged}}));
  std::vector<std::string> measured;
  ui::SDInfoWindowHooks hooks;
  hooks.folder_size = [&](const std::string& folder) {
    measured.push_back(folder);
    return uint64_t{1} << 20;
  };
  Open(false, hooks);
  _window->Show(_card.Letter());
  const auto& zudov = Row(sdinfo::kZudov);
  for (const ui::SkinItemDescriptor* item :
       {&zudov.frame, &zudov.icon, &zudov.text, &zudov.sample, &zudov.last_charge,
        &zudov.charge_status, &zudov.sd_status, &CSDInfoWindow::kSizeBars[4]}) {
    EXPECT_EQ(nullptr, _window->FindItem(item->id)) << item->section;
  }
  EXPECT_FALSE(_window->HasZudovRow());
  EXPECT_EQ(19u, measured.size());  // every folder but Zudov's
  for (const std::string& folder : measured) EXPECT_EQ(std::string::npos, folder.find("ZUDOV"));
  EXPECT_EQ(std::string(1, _card.Letter()) + ":\\PC\\MAP\\", measured[6]);
}

// The bars' arithmetic: share of the card (at least 1 %), one after the
// other in map, Tidewheel, weather, music, Zudov order, cut at the edge.
struct BarCase {
  const char* name;
  std::array<uint64_t, sdinfo::kRowCount> sizes;  // by row
  uint64_t capacity;
  std::array<sdinfo::BarSpan, sdinfo::kRowCount> spans;  // by row
};
void PrintTo(const BarCase& c, std::ostream* os) { *os << c.name; }

class SDInfoBarTest : public ::testing::TestWithParam<BarCase> {};

TEST_P(SDInfoBarTest, LaysTheBarsOut) {
  const BarCase& c = GetParam();
  const auto spans = sdinfo::LayOutBars(c.sizes, c.capacity, 10, 400);
  for (int row = 0; row < sdinfo::kRowCount; ++row) {
    EXPECT_EQ(c.spans[row].left, spans[row].left) << row;
    EXPECT_EQ(c.spans[row].width, spans[row].width) << row;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bars, SDInfoBarTest,
    ::testing::Values(
        // Tidewheel 10 %, music 50 %, map 0.5 % shown as 1 %, Zudov 30 %.
        BarCase{"Shares",
                {100, 0, 500, 5, 300},
                1000,
                {{{14, 40}, {}, {54, 200}, {10, 4}, {254, 120}}}},
        BarCase{"Empty", {0, 0, 0, 0, 0}, 1000, {}},
        // More than the card holds (a card that shrank): cut at the edge.
        BarCase{"CutAtTheEdge", {600, 0, 0, 700, 0}, 1000, {{{290, 120}, {}, {}, {10, 280}, {}}}},
        // The system gave no capacity: the groups share the bar among
        // themselves rather than vanish.
        BarCase{"NoCapacity", {1, 1, 0, 2, 0}, 0, {{{210, 100}, {310, 100}, {}, {10, 200}, {}}}}),
    ovtest::CaseName());

TEST_F(SDInfoWindowTest, SizeBarFollowsTheFolders) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  const std::string drive(1, _card.Letter());
  const std::map<std::string, uint64_t> sizes = {
      {drive + ":\\PC\\PROBE\\", 400ull << 20},
      {drive + ":\\AV\\MUSIC", 2048ull << 20},
      {drive + ":\\PC\\MAP\\", 1024ull << 20},
      {drive + ":\\PC\\SEARCH12\\", 512ull << 20},
      {drive + ":\\PC\\ZUDOV\\", 0},
  };
  std::string asked_root;
  ui::SDInfoWindowHooks hooks;
  hooks.card_capacity = [&](const std::string& root, uint64_t* capacity, DWORD*) {
    asked_root = root;
    *capacity = 8ull << 30;
    return true;
  };
  hooks.folder_size = [&](const std::string& folder) {
    const auto it = sizes.find(folder);
    return it == sizes.end() ? uint64_t{0} : it->second;
  };
  Open(true, hooks);
  _window->Show(_card.Letter());
  EXPECT_EQ(drive + ":\\", asked_root);
  EXPECT_EQ("Total 3.89GB", Text(CSDInfoWindow::kTotalSizeTextStatic));
  const RECT blank = _window->FindItem(CSDInfoWindow::kSizeBarBlank.id)->Rect();
  // Map 1.5 of 8 GiB: 18 %; Tidewheel 400 MiB: 4 %; music 2 GiB: 25 %.
  const int w = blank.right - blank.left;
  struct Expect {
    sdinfo::Row row;
    int left;
    int width;
  };
  for (const Expect& e : {Expect{sdinfo::kMap, 0, 18 * w / 100},
                          Expect{sdinfo::kTidewheel, 18 * w / 100, 4 * w / 100},
                          Expect{sdinfo::kMusic, 18 * w / 100 + 4 * w / 100, 25 * w / 100}}) {
    ui::CSkinWindowItem* bar = Bar(e.row);
    ASSERT_TRUE(bar->IsVisible()) << e.row;
    EXPECT_EQ(blank.left + e.left, bar->Rect().left) << e.row;
    EXPECT_EQ(e.width, bar->Rect().right - bar->Rect().left) << e.row;
    EXPECT_EQ(blank.top, bar->Rect().top) << e.row;
  }
  EXPECT_FALSE(Bar(sdinfo::kWeather)->IsVisible());
  EXPECT_FALSE(Bar(sdinfo::kZudov)->IsVisible());
  // Drawn: the music bar's colour in the middle of its span.
  ASSERT_TRUE(maintest::PumpUntil(
      [&] {
        const RECT r = Bar(sdinfo::kMusic)->Rect();
        return _window->BackBuffer()->GetPixel((r.left + r.right) / 2, (r.top + r.bottom) / 2) ==
               RGB(80, 170, 90);
      },
      10000));
}

TEST_F(SDInfoWindowTest, CapacityFailureLeavesTheBarAndLogs) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  bool fail = false;
  ui::SDInfoWindowHooks hooks;
  hooks.card_capacity = [&](const std::string&, uint64_t* capacity, DWORD* error) {
    *capacity = 1000;
    *error = ERROR_NOT_READY;
    return !fail;
  };
  hooks.folder_size = [](const std::string& folder) {
    return folder.find("MUSIC") != std::string::npos ? uint64_t{500} : uint64_t{0};
  };
  Open(true, hooks);
  _window->Show(_card.Letter());
  ASSERT_TRUE(Bar(sdinfo::kMusic)->IsVisible());
  const RECT before = Bar(sdinfo::kMusic)->Rect();
  fail = true;
  _window->Refresh();
  EXPECT_TRUE(Bar(sdinfo::kMusic)->IsVisible());
  EXPECT_EQ(before.right, Bar(sdinfo::kMusic)->Rect().right);
  EXPECT_TRUE(_log.Contains(std::string("無効なドライブ指定 ") + _card.Letter() + ":\\"));
}

TEST_F(SDInfoWindowTest, RealCardFoldersAreMeasured) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  CreateDirectoryA(_card.Path("AV").c_str(), nullptr);
  CreateDirectoryA(_card.Path("AV\\MUSIC").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(_card.Path("AV\\MUSIC\\a.mp3"), std::string(3 << 20, 'm')));
  Open(true);
  _window->Show(_card.Letter());
  EXPECT_TRUE(Bar(sdinfo::kMusic)->IsVisible());
  EXPECT_FALSE(Bar(sdinfo::kMap)->IsVisible());
  EXPECT_EQ("Total 0.00GB", Text(CSDInfoWindow::kTotalSizeTextStatic));
}

TEST_F(SDInfoWindowTest, ProbeRowShowsTheNewestUploadAndOpensTheHistory) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  {
    const CProbeLogFile log(kDeviceNo);
    std::string bytes;
    for (const SYSTEMTIME& t : {Date(2011, 1, 2, 3, 4), Date(2011, 5, 6, 7, 8)}) {
      ProbeLogRecord r;
      r.SetDate(t);
      bytes.append(reinterpret_cast<const char*>(r.bytes), ProbeLogRecord::kSize);
    }
    ASSERT_TRUE(ovtest::WriteFileBytes(log.GetPath(), bytes));
  }
  std::vector<std::string> opened;
  HWND opened_over = nullptr;
  ui::SDInfoWindowHooks hooks;
  hooks.open_probe_log = [&](HWND owner, const std::string& device_no) {
    opened_over = owner;
    opened.push_back(device_no);
  };
  Open(true, hooks);
  _window->Show(_card.Letter());
  EXPECT_EQ("2011/05/06 07：08", Text(CSDInfoWindow::kLastChargeProbe));
  ASSERT_TRUE(_window->ClickItem(CSDInfoWindow::kButtonProbe.id));
  maintest::Pump();
  ASSERT_EQ(1u, opened.size());
  EXPECT_EQ(kDeviceNo, opened[0]);
  EXPECT_EQ(_window->Handle(), opened_over);
}

TEST_F(SDInfoWindowTest, VersionBoxShowsTheUnitsVersions) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  ovtest::CMessageBoxCapture boxes;
  Open(true);
  _window->Show(_card.Letter());
  ASSERT_TRUE(_window->ClickItem(CSDInfoWindow::kButtonDiruInfo.id));
  maintest::Pump();
  const auto shown = boxes.Boxes();
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(0u, shown[0].style);
  EXPECT_EQ(
      L"\r\n     Application\t:  1.002     \r\n     Map Data\t:  3.000042     \r\n     Search "
      L"Data\t:  0.000007     \r\n     BT Firmware\t:  2.003     \r\n\r\n",
      shown[0].text);

  // Without a card there is nothing to tell: no box.
  _window->Show(0);
  ASSERT_TRUE(_window->ClickItem(CSDInfoWindow::kButtonDiruInfo.id));
  maintest::Pump();
  EXPECT_EQ(1u, boxes.Boxes().size());
}

TEST_F(SDInfoWindowTest, CardChangeRefreshesWithoutShowing) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  ASSERT_TRUE(WriteHistory(_card, {{4, 2, 5, kCharged}}));
  Open(true);
  const UINT change = RegisterWindowMessageA(kMsgSDChange);
  SendMessageA(_window->Handle(), change, static_cast<WPARAM>(_card.Letter()), 0);
  EXPECT_FALSE(IsWindowVisible(_window->Handle()));
  EXPECT_EQ(_card.Letter(), _window->Drive());
  EXPECT_EQ(kChargedText, Text(Row(sdinfo::kTidewheel).last_charge));
  // Anything but a letter or 0 is not a card change.
  SendMessageA(_window->Handle(), change, 5, 0);
  EXPECT_EQ(_card.Letter(), _window->Drive());
  SendMessageA(_window->Handle(), change, 0, 0);
  EXPECT_EQ(0, _window->Drive());
  ExpectDashes();
}

TEST_F(SDInfoWindowTest, CloseOkAndEnterHide) {
  Open(true);
  for (int way = 0; way < 4; ++way) {
    _window->Show(0);
    ASSERT_TRUE(IsWindowVisible(_window->Handle()));
    if (way == 0) _window->ClickItem(CSDInfoWindow::kCloseButton.id);
    if (way == 1) _window->ClickItem(CSDInfoWindow::kOKButton.id);
    if (way == 2) PostMessageA(_window->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    if (way == 3) PostMessageA(_window->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(maintest::PumpUntil([&] { return !IsWindowVisible(_window->Handle()); }, 5000))
        << way;
    EXPECT_NE(nullptr, _window->Handle()) << way;
  }
}

TEST_F(SDInfoWindowTest, OpenerKeepsOneWindow) {
  std::unique_ptr<CSDInfoWindow> slot;
  CSDInfoWindow& first = ui::ShowKeptWindow(slot, _parent.Get(), 0, true);
  CSDInfoWindow& again = ui::ShowKeptWindow(slot, _parent.Get(), _card.Letter(), true);
  EXPECT_EQ(&first, &again);
  EXPECT_EQ(_card.Letter(), again.Drive());
  EXPECT_TRUE(IsWindowVisible(again.Handle()));
  EXPECT_EQ(_parent.Get(), GetWindow(again.Handle(), GW_OWNER));
}

TEST_F(SDInfoWindowTest, Screenshot) {
  ASSERT_TRUE(Unit().WriteCard(_card.Letter(), true));
  ASSERT_TRUE(WriteHistory(_card, {{4, 2, 5, kCharged},
                                   {8, 2, 5, Date(2011, 12, 30, 8, 5)},
                                   {16, 2, 0, kCharged},
                                   {2, 2, 7, Date(2011, 12, 1, 9, 0)}}));
  ui::SDInfoWindowHooks hooks;
  hooks.card_capacity = [](const std::string&, uint64_t* capacity, DWORD*) {
    *capacity = 8ull << 30;
    return true;
  };
  hooks.folder_size = [](const std::string& folder) -> uint64_t {
    if (folder.find("PROBE") != std::string::npos) return 600ull << 20;
    if (folder.find("WEATHER") != std::string::npos) return 300ull << 20;
    if (folder.find("MUSIC") != std::string::npos) return 2ull << 30;
    if (folder.find("\\PC\\MAP\\") != std::string::npos) return 1ull << 30;
    if (folder.find("ZUDOV") != std::string::npos) return 200ull << 20;
    return 0;
  };
  Open(true, hooks);
  _window->Show(_card.Letter());
  EXPECT_TRUE(maintest::ScreenshotOverOwner(_parent.Get(), _window->Handle(), "sdinfo_window"));
}

}  // namespace

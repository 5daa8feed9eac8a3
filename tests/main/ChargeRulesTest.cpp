// The launcher's charge rules as tables: the status texts, the kinds'
// running types, result word -> frame, status type, box, user removal and
// registration offer, the running state image with its blink and the dot
// cells; the map line per display mode and phase, time left and speed units,
// and the progress rules (percent, time left, countdown, display steps).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ChargeStatus.h"
#include "MapProgress.h"

namespace {

using namespace mapprogress;

TEST(ChargeStatusTest, StatusTypesHaveTheirTextsAndOthersNone) {
  const struct {
    int type;
    const char* text;
  } kRows[] = {
      {0, ""},
      {1, "プローブデータアップロード中"},
      {2, "マップチャージ中"},
      {6, "サーバー情報チェック中"},
      {7, ""},
      {13, "プローブデータなし"},
      {17, "マップチャージ最新情報なし"},
      {21, "渋滞情報最新情報なし"},
      {25, "Stratovine最新情報なし"},
      {29, "ミュージックチャージ最新情報なし"},
      {30, ""},
      {40, "クリックでメニューを開きます"},
      {50, ""},
      {52, ""},
      {56, "オンラインヘルプを開きます"},
      {60, "SDカードを取り出します。"},
      {61, "処理を中止します。"},
      {62, ""},
      {-1, ""},
  };
  for (const auto& row : kRows) EXPECT_EQ(row.text, charge::StatusTypeText(row.type)) << row.type;
}

TEST(ChargeStatusTest, RunningTypesAndSlotsByKind) {
  const struct {
    uint32_t kind;
    int running;
    int slot;
    int first_result;
  } kRows[] = {
      {0x1, 1, 0, 10},  {0x2, 2, 1, 14},  {0x4, 3, 2, 18}, {0x8, 4, 3, 22},
      {0x10, 5, 4, 26}, {0x20, 2, -1, 0}, {0x3, 0, -1, 0}, {0, 0, -1, 0},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.running, charge::RunningStatusType(row.kind)) << row.kind;
    EXPECT_EQ(row.slot, charge::KindSlot(row.kind)) << row.kind;
    EXPECT_EQ(row.first_result, charge::FirstResultType(row.kind)) << row.kind;
  }
}

struct OutcomeCase {
  const char* name;
  uint32_t word;
  int slot;
  int frame;
  int type;
  bool box;
  bool removes_user;
  bool registration;
};
void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

const OutcomeCase kOutcomes[] = {
    {"ProbeDone", 0x1000000, 0, 6, 10, false, false, false},
    {"ProbeDoneWithoutNickname", 0x100010B, 0, 6, 10, true, false, false},
    {"MapSkipped", 0x200FF01, 1, 5, 16, false, false, false},
    {"TrafficNothingNew", 0x400FF02, 2, 5, 21, false, false, false},
    {"WeatherFailed", 0x8000005, 3, 1, 23, true, false, false},
    {"MusicAborted", 0x1000FF00, 4, 1, 27, false, false, false},
    {"MusicNoCard", 0x1000FF06, 4, 1, 27, true, false, false},
    {"SkipInAnUpperCode", 0x210FF01, 1, 5, 16, false, false, false},
    {"ProbeUnknownUser", 0x1200205, 0, 1, 11, true, true, true},
    {"ProbeRegistrationAsked", 0x1200201, 0, 1, 11, true, false, true},
    {"ProbeOtherServerError", 0x1200203, 0, 1, 11, true, false, false},
    {"TrafficUnknownUser", 0x4200205, 2, 1, 19, true, true, false},
    {"WeatherUnknownUserStays", 0x8200205, 3, 1, 23, true, false, false},
    {"MapUnknownUser", 0x220000B, 1, 1, 15, true, true, false},
    {"MapUnknownUserAnyNibbleAbove", 0x221000B, 1, 1, 15, true, true, false},
    {"KindWithoutImage", 0x20000005, -1, 0, 0, true, false, false},
    {"KindWithoutImageDone", 0x20000000, -1, 0, 0, false, false, false},
    {"NoKind", 0xFF0005, -1, 0, 0, false, false, false},
};

class ChargeOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(ChargeOutcomeTest, ResultWordGivesFrameTypeAndBox) {
  const OutcomeCase& c = GetParam();
  const charge::ResultOutcome outcome = charge::OutcomeOf(c.word);
  EXPECT_EQ(c.slot, outcome.slot);
  EXPECT_EQ(c.frame, outcome.frame);
  EXPECT_EQ(c.type, outcome.status_type);
  EXPECT_EQ(c.box, outcome.shows_box);
  EXPECT_EQ(c.removes_user, outcome.removes_user);
  EXPECT_EQ(c.registration, outcome.offers_registration);
}

INSTANTIATE_TEST_SUITE_P(Words, ChargeOutcomeTest, ::testing::ValuesIn(kOutcomes),
                         [](const ::testing::TestParamInfo<OutcomeCase>& p) {
                           return std::string(p.param.name);
                         });

TEST(ChargeStatusTest, RunningFrameFollowsTheQuarterAndBlinks) {
  const struct {
    uint32_t percent;
    int shown;
    int next;
  } kRows[] = {
      {0, 0, 2},  {0, 2, 1},  {24, 1, 2}, {25, 2, 3},  {25, 3, 2},  {49, 0, 3},  {50, 0, 4},
      {74, 4, 3}, {75, 0, 5}, {99, 5, 4}, {100, 5, 6}, {100, 6, 6}, {101, 0, 5}, {101, 5, 4},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.next, charge::RunningFrame(row.percent, row.shown))
        << row.percent << " " << row.shown;
  }
}

TEST(ChargeStatusTest, DotCellsFillFromTheLeft) {
  EXPECT_EQ("      ", charge::DotCells(0));
  EXPECT_EQ("．    ", charge::DotCells(1));
  EXPECT_EQ("．．  ", charge::DotCells(2));
  EXPECT_EQ("．．．", charge::DotCells(3));
}

Record Make(int phase, int mode, double percent, uint64_t remaining, uint32_t speed = 0) {
  Record r;
  r.phase = phase;
  r.mode = mode;
  r.percent = percent;
  r.remaining = remaining;
  r.speed = speed;
  return r;
}

TEST(MapLineTest, EachModeAndPhase) {
  const struct {
    const char* name;
    Record record;
    int dots;
    const char* line;
  } kRows[] = {
      {"NoPhase", Make(kPhaseNone, kModePercent, 0, 0), 2, "マップチャージ中"},
      {"CardCheckPhaseText", Make(kPhaseCardCheck, kModePhase, 0, 0), 2, "マップチャージ中"},
      {"DownloadText", Make(kPhaseDownload, kModePhase, 10, 100), 1,
       "地図データダウンロード中．    "},
      {"TransferText", Make(kPhaseTransfer, kModePhase, 10, 100), 3, "SDカードへ転送中．．．"},
      {"CheckingKeepsItsText", Make(kPhaseChecking, kModePercent, 10, 100), 2,
       "転送済データのチェック中です．．  "},
      {"PercentAndTime", Make(kPhaseDownload, kModePercent, 42.0, 3723), 0,
       " 42.0％完了　残り時間 約  1:02:03"},
      {"NoPercentWholeMinutes", Make(kPhaseTransfer, kModePercent, 0, 120), 0,
       "--％完了　残り時間 約 -:--:--"},
      {"NoPercentOddSeconds", Make(kPhaseTransfer, kModePercent, 0, 61), 0,
       "--％完了　残り時間 約  0:01:01"},
      {"PercentAndWholeMinutes", Make(kPhaseDownload, kModePercent, 0.5, 120), 0,
       "  0.5％完了　残り時間 約  0:02:00"},
      {"HoursCapped", Make(kPhaseDownload, kModePercent, 1, 100 * 3600ull), 0,
       "  1.0％完了　残り時間 約 99:59:59"},
      {"NinetyNineHours", Make(kPhaseDownload, kModePercent, 1, 99 * 3600ull + 59), 0,
       "  1.0％完了　残り時間 約 99:00:59"},
      {"Done", Make(kPhaseTransfer, kModePercent, 100, 0), 0, "100.0％完了　残り時間 約  0:00:00"},
      {"CardCheckPercent", Make(kPhaseCardCheck, kModePercent, 0, 0), 0,
       "--％完了　残り時間 約 -:--:--"},
      {"CardCheckSpeedIsEmpty", Make(kPhaseCardCheck, kModeSpeed, 0, 0, 5000), 0, ""},
      {"DownloadSpeed", Make(kPhaseDownload, kModeSpeed, 1, 1, 1250000), 0,
       "通信速度 約   10.0 Mbps"},
      {"TransferSpeed", Make(kPhaseTransfer, kModeSpeed, 1, 1, 3 * 1048576), 0,
       "転送速度 約    3.0 MB/秒"},
  };
  for (const auto& row : kRows) EXPECT_EQ(row.line, MapLine(row.record, row.dots)) << row.name;
}

TEST(MapLineTest, SpeedUnitThresholds) {
  const struct {
    int phase;
    uint32_t speed;
    const char* text;
  } kRows[] = {
      {kPhaseDownload, 0, "通信速度 約    0.0 bps"},
      {kPhaseDownload, 125, "通信速度 約 1000.0 bps"},  // 1000 bps is not above 10^3
      {kPhaseDownload, 126, "通信速度 約    1.0 Kbps"},
      {kPhaseDownload, 125000, "通信速度 約 1000.0 Kbps"},
      {kPhaseDownload, 125001, "通信速度 約    1.0 Mbps"},
      {kPhaseDownload, 125000000, "通信速度 約 1000.0 Mbps"},
      {kPhaseDownload, 125000001, "通信速度 約    1.0 Gbps"},
      {kPhaseDownload, 0xFFFFFFFF, "通信速度 約   34.4 Gbps"},
      {kPhaseTransfer, 1024, "転送速度 約 1024.0 B/秒"},
      {kPhaseTransfer, 1025, "転送速度 約    1.0 KB/秒"},
      {kPhaseTransfer, 1048576, "転送速度 約 1024.0 KB/秒"},
      {kPhaseTransfer, 1048577, "転送速度 約    1.0 MB/秒"},
      {kPhaseTransfer, 1073741824, "転送速度 約 1024.0 MB/秒"},
      {kPhaseTransfer, 1073741825, "転送速度 約    1.0 GB/秒"},
      {kPhaseTransfer, 0xFFFFFFFF, "転送速度 約    4.0 GB/秒"},
      {kPhaseChecking, 1000, ""},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.text, SpeedText(row.phase, row.speed)) << row.phase << " " << row.speed;
  }
}

Block MakeBlock(uint32_t speed, uint64_t processed, uint64_t total, uint64_t step = 0) {
  Block b;
  b.speed = speed;
  b.processed = processed;
  b.total = total;
  b.step = step;
  return b;
}

TEST(MapProgressRuleTest, BlockWordsAreLowWordFirst) {
  const uint32_t words[8] = {1, 500, 0x10, 0x1, 0x20, 0x2, 0x30, 0x3};
  const Block b = DecodeBlock(words);
  EXPECT_EQ(500u, b.speed);
  EXPECT_EQ(0x100000010ull, b.step);
  EXPECT_EQ(0x200000020ull, b.processed);
  EXPECT_EQ(0x300000030ull, b.total);
}

TEST(MapProgressRuleTest, PercentAndTimeLeftFromTheBlocks) {
  Record r;
  r.phase = kPhaseDownload;
  ApplyDownloadStart(&r, MakeBlock(1000, 250000, 1000000));
  EXPECT_DOUBLE_EQ(25.0, r.percent);
  EXPECT_EQ(750u, r.remaining);
  // Near the end the start shows 9 s rather than less.
  Record close;
  close.phase = kPhaseDownload;
  ApplyDownloadStart(&close, MakeBlock(1000, 997000, 1000000));
  EXPECT_EQ(9u, close.remaining);

  // A total of 0 leaves the percent; a speed of 0 leaves the time left.
  ApplyProgress(&r, MakeBlock(0, 500000, 0));
  EXPECT_DOUBLE_EQ(25.0, r.percent);
  EXPECT_EQ(750u, r.remaining);
  EXPECT_EQ(0u, r.speed);
  EXPECT_EQ(0u, r.total);
  EXPECT_EQ(kModePhase, r.mode);
  EXPECT_EQ(kModePhase, (StepDisplayMode(&r), r.mode)) << "no total: the phase text stays";
}

TEST(MapProgressRuleTest, TimeLeftUnderFiveSecondsCountsDownInstead) {
  Record r;
  r.phase = kPhaseTransfer;
  ApplyTransferStart(&r, MakeBlock(0, 0, 100000));
  r.speed = 1000;
  ApplyProgress(&r, MakeBlock(1000, 50000, 0));
  EXPECT_EQ(50u, r.remaining);
  EXPECT_EQ(100000u, r.total) << "the transfer keeps the start's total";
  r.remaining = 4;
  ApplyProgress(&r, MakeBlock(1000, 97000, 0));  // 3 s: the countdown goes on
  EXPECT_EQ(4u, r.remaining);
  r.remaining = 2;
  ApplyProgress(&r, MakeBlock(1000, 97000, 0));  // 3 s is above what is left
  EXPECT_EQ(3u, r.remaining);
  ApplyProgress(&r, MakeBlock(1000, 100000, 0));
  EXPECT_DOUBLE_EQ(100.0, r.percent);
  EXPECT_EQ(0u, r.remaining) << "100 percent leaves no time";
  // More processed than the total: capped, never a huge time left.
  ApplyProgress(&r, MakeBlock(1000, 150000, 0));
  EXPECT_DOUBLE_EQ(100.0, r.percent);
  EXPECT_EQ(0u, r.remaining);
}

TEST(MapProgressRuleTest, SpeedIsReadOnlyWhileThePhaseTextShows) {
  Record r;
  r.phase = kPhaseTransfer;
  r.total = 1000000;
  r.mode = kModePhase;
  ApplyProgress(&r, MakeBlock(2000, 1000, 0));
  EXPECT_EQ(2000u, r.speed);
  r.mode = kModeSpeed;
  ApplyProgress(&r, MakeBlock(9000, 2000, 0));
  EXPECT_EQ(2000u, r.speed);
  EXPECT_EQ(2000u, r.processed);
}

TEST(MapProgressRuleTest, DisplayStepsAndCountdown) {
  const struct {
    const char* name;
    Record record;
    int next_mode;
    UINT period;
  } kRows[] = {
      {"DownloadWithTotal",
       [] {
         Record r = Make(kPhaseDownload, kModePhase, 0, 0);
         r.total = 1;
         return r;
       }(),
       kModePercent, 5000},
      {"DownloadWithoutTotal", Make(kPhaseDownload, kModePhase, 0, 0), kModePhase, 5000},
      {"TransferWithoutSpeed",
       [] {
         Record r = Make(kPhaseTransfer, kModePhase, 0, 0);
         r.total = 1;
         return r;
       }(),
       kModePhase, 5000},
      {"TransferWithSpeed",
       [] {
         Record r = Make(kPhaseTransfer, kModePhase, 0, 0, 5);
         r.total = 1;
         return r;
       }(),
       kModePercent, 5000},
      {"PercentLongLeft", Make(kPhaseDownload, kModePercent, 1, 11), kModeSpeed, 3000},
      {"PercentShortLeft", Make(kPhaseDownload, kModePercent, 1, 10), kModePercent, 3000},
      {"SpeedBackToText", Make(kPhaseDownload, kModeSpeed, 1, 100), kModePhase, 2000},
  };
  for (const auto& row : kRows) {
    Record r = row.record;
    EXPECT_EQ(row.period, StepDisplayMode(&r)) << row.name;
    EXPECT_EQ(row.next_mode, r.mode) << row.name;
  }
  Record r = Make(kPhaseDownload, kModePhase, 1, 2);
  EXPECT_FALSE(CountDown(&r));
  r.mode = kModePercent;
  EXPECT_TRUE(CountDown(&r));
  EXPECT_EQ(0u, r.remaining);
  EXPECT_TRUE(CountDown(&r));
  EXPECT_EQ(0u, r.remaining);
  r.mode = kModeSpeed;
  Zero(&r);
  EXPECT_EQ(kModeSpeed, r.mode) << "zeroing keeps the display mode";
  EXPECT_EQ(kPhaseNone, r.phase);
  EXPECT_TRUE(DotsRefreshLine(r));
  r.phase = kPhaseChecking;
  EXPECT_TRUE(DotsRefreshLine(r));
  r.phase = kPhaseTransfer;
  EXPECT_FALSE(DotsRefreshLine(r));
}

}  // namespace

// The map charge's progress; see MapProgress.h.
#include "MapProgress.h"

#include "ShareMem.h"
#include "StringUtil.h"
#include "ChargeStatus.h"

namespace mapprogress {

namespace {

constexpr uint64_t kShortLeftAtStart = 10;
constexpr uint64_t kShownForShortStart = 9;
constexpr uint64_t kShortLeft = 5;
constexpr uint64_t kSpeedAfterSeconds = 10;
constexpr UINT kPercentMs = 5000;
constexpr UINT kSpeedMs = 3000;
constexpr UINT kPhaseTextMs = 2000;
constexpr uint64_t kMaxHours = 99;

uint64_t Join(uint32_t low, uint32_t high) { return (uint64_t{high} << 32) | low; }

void UpdateRemaining(Record* record, bool at_start) {
  if (record->speed == 0) return;
  uint64_t left = 0;
  if (record->percent < 100 && record->total > record->processed) {
    left = (record->total - record->processed) / record->speed;
  }
  if (at_start) {
    record->remaining = left < kShortLeftAtStart ? kShownForShortStart : left;
    return;
  }
  // Near the end the estimate jumps about: the countdown goes on instead.
  if (left < kShortLeft && record->remaining >= left && record->percent < 100) return;
  record->remaining = left;
}

void UpdatePercent(Record* record) {
  if (record->total == 0) return;
  const double percent =
      static_cast<double>(record->processed) / static_cast<double>(record->total) * 100.0;
  record->percent = percent > 100.0 ? 100.0 : percent;
}

}  // namespace

Block DecodeBlock(const uint32_t words[8]) {
  Block block;
  block.speed = words[1];
  block.step = Join(words[2], words[3]);
  block.processed = Join(words[4], words[5]);
  block.total = Join(words[6], words[7]);
  return block;
}

void Zero(Record* record) {
  const int mode = record->mode;
  *record = Record();
  record->mode = mode;
}

void ApplyDownloadStart(Record* record, const Block& block) {
  record->total = block.total;
  record->processed = block.processed;
  record->step = block.step;
  record->speed = block.speed;
  UpdatePercent(record);
  UpdateRemaining(record, true);
}

void ApplyTransferStart(Record* record, const Block& block) { record->total = block.total; }

void ApplyProgress(Record* record, const Block& block) {
  record->processed = block.processed;
  record->step = block.step;
  if (record->mode == kModePhase) record->speed = block.speed;
  if (record->phase == kPhaseDownload) record->total = block.total;
  UpdateFigures(record);
}

void UpdateFigures(Record* record) {
  UpdatePercent(record);
  UpdateRemaining(record, false);
}

UINT StepDisplayMode(Record* record) {
  switch (record->mode) {
    case kModePhase: {
      const bool known = record->phase == kPhaseDownload ||
                         (record->phase == kPhaseTransfer && record->speed != 0);
      if (known && record->total != 0) record->mode = kModePercent;
      return kPercentMs;
    }
    case kModePercent:
      if (record->remaining > kSpeedAfterSeconds) record->mode = kModeSpeed;
      return kSpeedMs;
    default:
      record->mode = kModePhase;
      return kPhaseTextMs;
  }
}

bool CountDown(Record* record) {
  if (record->remaining != 0) --record->remaining;
  return record->mode == kModePercent || record->mode == kModeSpeed;
}

bool DotsRefreshLine(const Record& record) {
  return record.phase == kPhaseNone || record.phase == kPhaseChecking;
}

std::string TimeLeftText(double percent, uint64_t remaining) {
  if (percent == 0 && remaining % 60 == 0) return "-:--:--";
  const uint64_t hours = remaining / 3600;
  if (hours > kMaxHours) return "99:59:59";
  return FormatString("%2d:%02d:%02d", static_cast<int>(hours),
                      static_cast<int>(remaining / 60 % 60), static_cast<int>(remaining % 60));
}

std::string SpeedText(int phase, uint32_t speed) {
  if (phase == kPhaseDownload) {
    const double bits = static_cast<double>(speed) * 8.0;
    if (bits > 1e12) return FormatString("通信速度 約 %6.1f Gbps", 999.9);
    if (bits > 1e9) return FormatString("通信速度 約 %6.1f Gbps", bits / 1e9);
    if (bits > 1e6) return FormatString("通信速度 約 %6.1f Mbps", bits / 1e6);
    if (bits > 1e3) return FormatString("通信速度 約 %6.1f Kbps", bits / 1e3);
    return FormatString("通信速度 約 %6.1f bps", bits);
  }
  if (phase == kPhaseTransfer) {
    const double bytes = static_cast<double>(speed);
    if (bytes > 1099511627776.0) return FormatString("転送速度 約 %6.1f GB/秒", 999.9);
    if (bytes > 1073741824.0) return FormatString("転送速度 約 %6.1f GB/秒", bytes / 1073741824.0);
    if (bytes > 1048576.0) return FormatString("転送速度 約 %6.1f MB/秒", bytes / 1048576.0);
    if (bytes > 1024.0) return FormatString("転送速度 約 %6.1f KB/秒", bytes / 1024.0);
    return FormatString("転送速度 約 %6.1f B/秒", bytes);
  }
  return std::string();
}

std::string MapLine(const Record& record, int dots) {
  const bool figures = record.phase != kPhaseNone && record.phase != kPhaseChecking;
  if (figures && record.mode == kModePercent) {
    const std::string percent =
        record.percent == 0 ? std::string("--") : FormatString("%5.1f", record.percent);
    return percent + "％完了　残り時間 約 " + TimeLeftText(record.percent, record.remaining);
  }
  if (figures && record.mode == kModeSpeed) return SpeedText(record.phase, record.speed);
  switch (record.phase) {
    case kPhaseDownload:
      return "地図データダウンロード中" + charge::DotCells(dots);
    case kPhaseTransfer:
      return "SDカードへ転送中" + charge::DotCells(dots);
    case kPhaseChecking:
      return "転送済データのチェック中です" + charge::DotCells(dots);
    default:
      return "マップチャージ中";
  }
}

DWORD ReadBlock(const char* name, Block* block) {
  CBlockShareMem memory;
  const DWORD error = memory.Open(name);
  if (error != 0) return error;
  if (!memory.GetView() || !memory.GetMutex()) return ERROR_INVALID_HANDLE;
  uint32_t words[8] = {};
  // A core that ended while holding the mutex leaves it abandoned: the
  // block is still whole enough to show.
  const DWORD waited = WaitForSingleObject(memory.GetMutex(), INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return GetLastError();
  CopyMemory(words, memory.GetView(), sizeof(words));
  ReleaseMutex(memory.GetMutex());
  *block = DecodeBlock(words);
  return 0;
}

}  // namespace mapprogress

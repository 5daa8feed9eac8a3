// The map charge's progress as the launcher shows it: the record the
// launcher keeps, the rules that fold the core's progress blocks into it,
// the display-mode step and countdown, and the status line's map text per
// display mode and phase. The rules are pure; ReadMapProgressBlock copies a
// block the core writes, under its mutex. Main thread of the launcher.
#pragma once

#include <cstdint>
#include <string>

#include "OvWindows.h"

namespace mapprogress {

enum Phase : int {
  kPhaseNone = 0,
  kPhaseDownload = 1,
  kPhaseTransfer = 2,
  kPhaseChecking = 3,   // the transferred data is checked
  kPhaseCardCheck = 4,  // the core checks the card
};

enum DisplayMode : int {
  kModePhase = 1,    // the phase's text
  kModePercent = 2,  // percent and time left
  kModeSpeed = 3,
};

// The messages' phase numbers (OVEVMapProgressStart / End).
constexpr WPARAM kStartDownload = 1;
constexpr WPARAM kStartTransfer = 2;
constexpr WPARAM kStartCardCheck = 3;
// OVEVMapProgress: wParam the block, lParam the transfer's detail.
constexpr WPARAM kBlockDownload = 1;
constexpr WPARAM kBlockTransfer = 2;
constexpr LPARAM kDetailCheckBegins = 1;
constexpr LPARAM kDetailTransferResumes = 2;

// The display-mode step's first period and the countdown's.
constexpr UINT kFirstStepMs = 5000;
constexpr UINT kCountdownMs = 1000;

struct Record {
  int phase = kPhaseNone;
  uint64_t total = 0;
  uint64_t processed = 0;
  uint64_t remaining = 0;  // seconds
  double percent = 0;
  uint64_t step = 0;   // bytes of the current step
  uint32_t speed = 0;  // bytes per second
  int mode = kModePhase;
};

// A block as the core writes it (eight 32-bit words).
struct Block {
  uint32_t speed = 0;
  uint64_t step = 0;
  uint64_t processed = 0;
  uint64_t total = 0;
};
Block DecodeBlock(const uint32_t words[8]);

// Every field but the display mode back to zero.
void Zero(Record* record);
// Download start: everything of the block, then the figures; a time left
// under 10 s shows as 9.
void ApplyDownloadStart(Record* record, const Block& block);
// Transfer start: the total only (the core's later writes leave it 0).
void ApplyTransferStart(Record* record, const Block& block);
// A rewritten block: processed and step bytes, the speed only while the
// phase text shows, the total only while downloading; then the figures.
void ApplyProgress(Record* record, const Block& block);
// Percent from total and processed (unchanged while the total is 0), then
// the time left (unchanged while the speed is 0).
void UpdateFigures(Record* record);

// The display-mode step: moves the mode on and gives the next period.
UINT StepDisplayMode(Record* record);
// The countdown's tick; true when the line is to be redrawn.
bool CountDown(Record* record);
// Whether the dot counter's refresh redraws the line (no map phase, or the
// check of the transferred data).
bool DotsRefreshLine(const Record& record);

// The status line's map text at dot counter `dots`.
std::string MapLine(const Record& record, int dots);
// "通信速度 約 ..." (download) or "転送速度 約 ..." (transfer).
std::string SpeedText(int phase, uint32_t speed);
// "hh:mm:ss" of the time left; "-:--:--" while no percent is known and the
// time is whole minutes.
std::string TimeLeftText(double percent, uint64_t remaining);

// Copies the block `name` under its "_MTX_EXT" mutex (an unbounded wait).
// 0 or the platform error of the opening.
DWORD ReadBlock(const char* name, Block* block);

}  // namespace mapprogress

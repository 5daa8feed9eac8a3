// The map charge's two progress blocks, through which the main program
// follows the bytes and speeds of the download and of the transfer to the
// card: eight 32-bit words each, written whole under the block's
// "_MTX_EXT" mutex, each write followed by OVEVMapProgress to the core's
// window. The core creates the blocks; readers open them by name at every
// use, a writer at its first write that finds its block (then keeps it:
// opening it for every piece cost a handful of trips to the Wine server),
// so a block that is not there costs a write, never the run.
//
// Threads: the writers run on the map charge's worker, readers in any
// thread or process; the mutex makes the eight words one unit. A writer
// object belongs to one thread.
#pragma once

#include <cstdint>
#include <string>

#include "OvWindows.h"
#include "ShareMem.h"

// wParam of OVEVMapProgress and word 0 of a block.
constexpr uint32_t kMapProgressDownload = 1;
constexpr uint32_t kMapProgressTransfer = 2;

struct MapProgressWords {
  uint32_t words[8] = {};

  // {phase, speed, bytes, 0, done low, done high, total low, total high}.
  static MapProgressWords Make(uint32_t phase, uint32_t speed, uint32_t bytes, uint64_t done,
                               uint64_t total);
  uint64_t Done() const { return words[4] | (static_cast<uint64_t>(words[5]) << 32); }
  uint64_t Total() const { return words[6] | (static_cast<uint64_t>(words[7]) << 32); }
};

// The name of the block of a phase ("OVEVMapChargeDLProgress",
// "OVEVMapChargeTRProgress"), with the tag of mapprogresstest appended.
std::string MapProgressBlockName(uint32_t phase);

// Posts a registered message of the core to a window (none: nothing).
void PostMapChargeMessage(HWND window, const char* message, WPARAM wparam, LPARAM lparam);

// Writes one block of one phase.
class CMapProgressWriter final {
 public:
  // How long a write waits for a reader to let go of the block.
  static constexpr DWORD kMutexWaitMs = 10000;

  explicit CMapProgressWriter(uint32_t phase) : _phase(phase) {}
  ~CMapProgressWriter() = default;
  CMapProgressWriter(const CMapProgressWriter&) = delete;
  CMapProgressWriter& operator=(const CMapProgressWriter&) = delete;

  // Opens the block unless it is open, writes the words under its mutex;
  // 0 or the platform error (WAIT_TIMEOUT when a reader held the mutex too
  // long). Posts nothing.
  DWORD Write(const MapProgressWords& words);
  // Write, then OVEVMapProgress (phase, 0) to the window, written or not.
  DWORD Publish(const MapProgressWords& words, HWND window);

 private:
  uint32_t _phase;
  CBlockShareMem _block;
};

// Reads a block by name under its mutex; 0 or the platform error.
DWORD ReadMapProgressBlock(uint32_t phase, MapProgressWords* words);

// Tests running in parallel processes give the blocks names of their own.
namespace mapprogresstest {
void SetBlockNameTag(const std::string& tag);
}  // namespace mapprogresstest

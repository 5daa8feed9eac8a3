// The map charge's progress blocks; see MapChargeProgress.h.
#include "map/MapChargeProgress.h"

#include <cstring>

#include "CoreMessages.h"
#include "CoreShareMem.h"

namespace {

std::string& BlockNameTag() {
  static std::string tag;
  return tag;
}

// Holds a block's mutex for one scope; an abandoned mutex is ours all the
// same (the words are rewritten whole anyway).
class CBlockLock final {
 public:
  CBlockLock(HANDLE mutex, DWORD wait_ms) : _mutex(mutex) {
    const DWORD waited = WaitForSingleObject(mutex, wait_ms);
    _held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    _error = _held ? 0 : (waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError());
  }
  ~CBlockLock() {
    if (_held) ReleaseMutex(_mutex);
  }
  CBlockLock(const CBlockLock&) = delete;
  CBlockLock& operator=(const CBlockLock&) = delete;

  DWORD Error() const { return _error; }

 private:
  HANDLE _mutex;  // not owned
  bool _held = false;
  DWORD _error = 0;
};

}  // namespace

namespace mapprogresstest {
void SetBlockNameTag(const std::string& tag) { BlockNameTag() = tag; }
}  // namespace mapprogresstest

MapProgressWords MapProgressWords::Make(uint32_t phase, uint32_t speed, uint32_t bytes,
                                        uint64_t done, uint64_t total) {
  MapProgressWords out;
  out.words[0] = phase;
  out.words[1] = speed;
  out.words[2] = bytes;
  out.words[3] = 0;
  out.words[4] = static_cast<uint32_t>(done);
  out.words[5] = static_cast<uint32_t>(done >> 32);
  out.words[6] = static_cast<uint32_t>(total);
  out.words[7] = static_cast<uint32_t>(total >> 32);
  return out;
}

std::string MapProgressBlockName(uint32_t phase) {
  const char* base = phase == kMapProgressTransfer ? kMapChargeTRProgress : kMapChargeDLProgress;
  return base + BlockNameTag();
}

void PostMapChargeMessage(HWND window, const char* message, WPARAM wparam, LPARAM lparam) {
  if (window) PostMessageA(window, RegisterOvMessage(message), wparam, lparam);
}

DWORD CMapProgressWriter::Write(const MapProgressWords& words) {
  // The writer's phase, and so its block's name, never changes: a block
  // opened whole (view and mutex) stays open.
  if (!_block.GetView() || !_block.GetMutex()) {
    const DWORD error = _block.Open(MapProgressBlockName(_phase).c_str());
    if (error != 0) return error;
  }
  const CBlockLock lock(_block.GetMutex(), kMutexWaitMs);
  if (lock.Error() == 0) memcpy(_block.GetView(), words.words, sizeof(words.words));
  return lock.Error();
}

DWORD CMapProgressWriter::Publish(const MapProgressWords& words, HWND window) {
  const DWORD error = Write(words);
  PostMapChargeMessage(window, kMsgMapProgress, _phase, 0);
  return error;
}

DWORD ReadMapProgressBlock(uint32_t phase, MapProgressWords* words) {
  CBlockShareMem block;
  const std::string name = MapProgressBlockName(phase);
  DWORD error = block.Open(name.c_str());
  if (error != 0) return error;
  const CBlockLock lock(block.GetMutex(), INFINITE);
  if (lock.Error() != 0) return lock.Error();
  memcpy(words->words, block.GetView(), sizeof(words->words));
  return 0;
}

// CDataManager: byte buffers under 32-bit keys that outlive the charge
// objects, so a charge can leave data for a later run of the same core (the
// probe-traffic charge keeps its one-time credentials here).
//
// Threads: one instance per process, built on first use. Only charge
// workers use it and only one charge runs at a time, so it needs no lock of
// its own as long as callers keep that rule.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

class CDataManager {
 public:
  // Key of the probe-traffic service's one-time credentials (48 bytes).
  static constexpr uint32_t kKeyTidewheelCredentials = 1;

  static CDataManager& GetInstance();

  virtual ~CDataManager() = default;
  CDataManager(const CDataManager&) = delete;
  CDataManager& operator=(const CDataManager&) = delete;

  // Keeps a copy of the bytes under the key; no data or size 0 removes the
  // key. False when the copy cannot be made (the key then holds nothing).
  bool SetData(uint32_t key, const void* data, uint32_t size);
  // With a destination of at least the stored size: copies the data, sets
  // *size to the stored size, true. Otherwise sets *size to the stored size
  // and returns false (no destination asks for the size). An absent key, or
  // no size pointer, is false with *size unchanged.
  bool GetData(uint32_t key, void* destination, uint32_t* size) const;

 protected:
  CDataManager() = default;

 private:
  std::map<uint32_t, std::vector<uint8_t>> _entries;
};

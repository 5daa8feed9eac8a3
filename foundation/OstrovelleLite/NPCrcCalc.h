// The CRC-16 that checks the link file's headers and records and the parts
// of downloaded files: reflected polynomial 0x1021, register preset to
// 0xFFFF, result complemented (the HDLC frame check). One object per running
// sum; an object is not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>

class NPCrcCalc {
 public:
  NPCrcCalc() = default;
  virtual ~NPCrcCalc() = default;
  NPCrcCalc(const NPCrcCalc&) = default;
  NPCrcCalc& operator=(const NPCrcCalc&) = default;

  void Reset() { _register = 0xFFFF; }
  void Update(const void* bytes, size_t count);
  uint16_t GetCrc() const { return static_cast<uint16_t>(~_register); }

  // The CRC of one run of bytes.
  static uint16_t Of(const void* bytes, size_t count);

 private:
  uint16_t _register = 0xFFFF;
};

class RNW_CrcCalc final : public NPCrcCalc {
 public:
  RNW_CrcCalc() = default;
  ~RNW_CrcCalc() override = default;
};

// CRC-16; see NPCrcCalc.h.
#include "OstrovelleLite/NPCrcCalc.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ 0x8408 : r >> 1;
    table[i] = static_cast<uint16_t>(r);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

void NPCrcCalc::Update(const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  uint16_t r = _register;
  for (size_t i = 0; i < count; ++i)
    r = static_cast<uint16_t>((r >> 8) ^ kTable[(r ^ p[i]) & 0xFF]);
  _register = r;
}

uint16_t NPCrcCalc::Of(const void* bytes, size_t count) {
  NPCrcCalc crc;
  crc.Update(bytes, count);
  return crc.GetCrc();
}

// CRC-16; see NPCrcCalc.h.
#include "OstrovelleLite/NPCrcCalc.h"

#include <array>

namespace {

using Tables = std::array<std::array<uint16_t, 256>, 8>;

// Table k gives the effect of a byte followed by k zero bytes, so that eight
// bytes are folded in at once: whole cards of map data are summed twice in a
// transfer, and a byte at a time was a third of its time.
constexpr Tables MakeTables() {
  Tables tables{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ 0x8408 : r >> 1;
    tables[0][i] = static_cast<uint16_t>(r);
  }
  for (size_t k = 1; k < tables.size(); ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const uint16_t previous = tables[k - 1][i];
      tables[k][i] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

}  // namespace

void NPCrcCalc::Update(const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  uint16_t r = _register;
  for (; count >= 8; count -= 8, p += 8) {
    r = static_cast<uint16_t>(kTables[7][(r ^ p[0]) & 0xFF] ^ kTables[6][((r >> 8) ^ p[1]) & 0xFF] ^
                              kTables[5][p[2]] ^ kTables[4][p[3]] ^ kTables[3][p[4]] ^
                              kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]]);
  }
  for (; count > 0; --count, ++p) r = static_cast<uint16_t>((r >> 8) ^ kTables[0][(r ^ *p) & 0xFF]);
  _register = r;
}

uint16_t NPCrcCalc::Of(const void* bytes, size_t count) {
  NPCrcCalc crc;
  crc.Update(bytes, count);
  return crc.GetCrc();
}

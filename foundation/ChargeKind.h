// Charge kinds and the result codes that every charge shares. The kinds are
// bits, so a set of kinds is their OR; the words are those of the core's
// command line.
#pragma once

#include <cstdint>

enum ChargeKind : uint32_t {
  CHARGE_KIND_PROBE = 0x1,      // "prb"
  CHARGE_KIND_MAP = 0x2,        // "map"
  CHARGE_KIND_TIDEWHEEL = 0x4,  // "sm", probe traffic
  CHARGE_KIND_WEATHER = 0x8,    // "wl", Stratovine
  CHARGE_KIND_MUSIC = 0x10,     // "msc"
  CHARGE_KIND_ALL = 0x1F,
};

enum ChargeResult : uint32_t {
  CHARGE_RESULT_SUCCESS = 0,
  CHARGE_RESULT_ABORT = 0xFF00,
  CHARGE_RESULT_SKIP = 0xFF01,
  CHARGE_RESULT_NODATA = 0xFF02,
  CHARGE_RESULT_NOSD = 0xFF06,
};

// The error word of a charge: its kind in the top byte, the code below.
inline uint32_t ChargeErrorWord(uint32_t kind, uint32_t code) {
  return (kind << 24) | (code & 0x00FFFFFF);
}

struct ChargeKindWord {
  uint32_t kind;
  const char* word;
};

// In the order the words are appended to the core's command line.
inline const ChargeKindWord* ChargeKindWords() {
  static const ChargeKindWord kWords[] = {
      {CHARGE_KIND_PROBE, "prb"},  {CHARGE_KIND_MAP, "map"},   {CHARGE_KIND_TIDEWHEEL, "sm"},
      {CHARGE_KIND_WEATHER, "wl"}, {CHARGE_KIND_MUSIC, "msc"}, {0, nullptr}};
  return kWords;
}

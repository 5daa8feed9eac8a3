// Little-endian fields of the card and PC files, read and written byte by
// byte so that no alignment or host order is assumed. Pure functions.
#pragma once

#include "OvWindows.h"

#include <cstdint>

inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The platform's date-time record: eight 16-bit fields, 16 bytes.
inline SYSTEMTIME LoadSystemTime(const uint8_t* p) {
  SYSTEMTIME t;
  t.wYear = LoadLe16(p);
  t.wMonth = LoadLe16(p + 2);
  t.wDayOfWeek = LoadLe16(p + 4);
  t.wDay = LoadLe16(p + 6);
  t.wHour = LoadLe16(p + 8);
  t.wMinute = LoadLe16(p + 10);
  t.wSecond = LoadLe16(p + 12);
  t.wMilliseconds = LoadLe16(p + 14);
  return t;
}

inline void StoreSystemTime(uint8_t* p, const SYSTEMTIME& t) {
  const WORD fields[8] = {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                          t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
  for (int i = 0; i < 8; ++i) StoreLe16(p + 2 * i, fields[i]);
}

// Fields of the fixed-size records of the card and PC files: little-endian
// numbers read and written byte by byte (no alignment or host order is
// assumed), date-time records, NUL-terminated texts in fixed room, and the
// splitting of a file into whole records. Pure functions.
#pragma once

#include "OstrovelleLite/WholeFile.h"
#include "OvWindows.h"
#include "StringUtil.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

inline int32_t LoadLeI32(const uint8_t* p) { return static_cast<int32_t>(LoadLe32(p)); }
inline void StoreLeI32(uint8_t* p, int32_t v) { StoreLe32(p, static_cast<uint32_t>(v)); }

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

// The text up to its NUL, or the whole room when it holds none.
inline std::string LoadFixedText(const uint8_t* p, size_t room) {
  size_t n = 0;
  while (n < room && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// Zero-fills the room and stores the text cut at a character boundary so
// that the NUL always fits.
inline void StoreFixedText(uint8_t* p, size_t room, const std::string& text) {
  memset(p, 0, room);
  const size_t n = Cp932SafeLength(text.data(), text.size() < room ? text.size() : room - 1);
  memcpy(p, text.data(), n);
}

// Appends the whole records held in `bytes` (each with a `bytes` member of
// `Record::kSize`); false when a cut record is left over at the end.
template <typename Record>
bool AppendRecords(const std::string& bytes, std::vector<Record>* records) {
  size_t offset = 0;
  for (; offset + Record::kSize <= bytes.size(); offset += Record::kSize) {
    Record record;
    memcpy(record.bytes, bytes.data() + offset, Record::kSize);
    records->push_back(record);
  }
  return offset == bytes.size();
}

// Appends the records of a whole file: true when it was read to its end or
// could not be opened (a file that is not there holds no records); else
// false with the platform error, ERROR_HANDLE_EOF for a cut record. The
// records before the damage stay.
template <typename Record>
bool ReadRecordFile(const std::string& path, std::vector<Record>* records, DWORD* error) {
  constexpr size_t kMaxFileSize = 64 * 1024 * 1024;
  std::string bytes;
  *error = 0;
  const int result = ReadWholeFile(path, kMaxFileSize, &bytes, error);
  if (result == kWholeFileNotOpened) return true;
  const bool whole = AppendRecords(bytes, records);
  if (result != kWholeFileRead) return false;
  if (!whole) *error = ERROR_HANDLE_EOF;
  return whole;
}

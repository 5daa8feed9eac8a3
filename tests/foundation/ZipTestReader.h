// A zip reader for the tests, written apart from the writer: it finds the
// end record, walks the central directory, checks each local header against
// it, inflates each entry and checks its CRC-32 and sizes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

struct Entry {
  std::string name;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dos_time = 0;
  uint16_t dos_date = 0;
  uint32_t crc = 0;
  uint32_t compressed = 0;
  uint32_t uncompressed = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  std::string data;  // unpacked
};

struct Archive {
  std::vector<Entry> entries;
  std::string comment;
};

inline uint32_t U16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
}
inline uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

inline bool InflateRaw(const std::string& packed, size_t expected, std::string* out) {
  z_stream s = {};
  if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return false;
  out->assign(expected + 1, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  s.avail_in = static_cast<uInt>(packed.size());
  s.next_out = reinterpret_cast<Bytef*>(&(*out)[0]);
  s.avail_out = static_cast<uInt>(out->size());
  const int result = inflate(&s, Z_FINISH);
  const size_t produced = out->size() - s.avail_out;
  const bool all_used = s.avail_in == 0;
  inflateEnd(&s);
  out->resize(produced);
  return result == Z_STREAM_END && all_used && produced == expected;
}

// Reads the whole archive; false with *error set on any inconsistency.
inline bool Read(const std::string& b, Archive* archive, std::string* error) {
  const auto fail = [error](const std::string& text) {
    *error = text;
    return false;
  };
  if (b.size() < 22) return fail("shorter than an end record");
  size_t end = std::string::npos;
  for (size_t at = b.size() - 22 + 1; at-- > 0 && b.size() - at <= 22 + 0xFFFF;) {
    if (U32(b, at) == 0x06054b50 && at + 22 + U16(b, at + 20) == b.size()) {
      end = at;
      break;
    }
  }
  if (end == std::string::npos) return fail("no end record");
  const uint32_t count = U16(b, end + 10);
  if (U16(b, end + 8) != count || U16(b, end + 4) != 0 || U16(b, end + 6) != 0) {
    return fail("multi-disk counts");
  }
  const uint32_t directory_size = U32(b, end + 12);
  size_t at = U32(b, end + 16);
  if (at + directory_size != end) return fail("central directory does not meet the end record");
  archive->comment = b.substr(end + 22, U16(b, end + 20));
  archive->entries.clear();
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 46 > end || U32(b, at) != 0x02014b50) return fail("bad central record");
    Entry e;
    e.version_made_by = static_cast<uint16_t>(U16(b, at + 4));
    e.version_needed = static_cast<uint16_t>(U16(b, at + 6));
    e.flags = static_cast<uint16_t>(U16(b, at + 8));
    e.method = static_cast<uint16_t>(U16(b, at + 10));
    e.dos_time = static_cast<uint16_t>(U16(b, at + 12));
    e.dos_date = static_cast<uint16_t>(U16(b, at + 14));
    e.crc = U32(b, at + 16);
    e.compressed = U32(b, at + 20);
    e.uncompressed = U32(b, at + 24);
    const uint32_t name_length = U16(b, at + 28);
    const uint32_t extra = U16(b, at + 30);
    const uint32_t comment = U16(b, at + 32);
    e.internal_attributes = static_cast<uint16_t>(U16(b, at + 36));
    e.external_attributes = U32(b, at + 38);
    const size_t local = U32(b, at + 42);
    e.name = b.substr(at + 46, name_length);
    at += 46 + name_length + extra + comment;
    if (at > end) return fail("central record overruns");

    if (local + 30 > b.size() || U32(b, local) != 0x04034b50) return fail("bad local header");
    if (U16(b, local + 6) != e.flags || U16(b, local + 8) != e.method ||
        U16(b, local + 10) != e.dos_time || U16(b, local + 12) != e.dos_date ||
        U32(b, local + 14) != e.crc || U32(b, local + 18) != e.compressed ||
        U32(b, local + 22) != e.uncompressed) {
      return fail("local header differs from the central record of " + e.name);
    }
    const uint32_t local_name = U16(b, local + 26);
    const size_t data = local + 30 + local_name + U16(b, local + 28);
    if (b.substr(local + 30, local_name) != e.name) return fail("local name differs");
    if (data + e.compressed > b.size()) return fail("entry data overruns");
    const std::string packed = b.substr(data, e.compressed);
    if (e.method == 0) {
      e.data = packed;
    } else if (e.method != 8 || !InflateRaw(packed, e.uncompressed, &e.data)) {
      return fail("cannot unpack " + e.name);
    }
    if (e.data.size() != e.uncompressed) return fail("size differs for " + e.name);
    const uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
    if (crc != e.crc) return fail("CRC differs for " + e.name);
    archive->entries.push_back(e);
  }
  if (at != end) return fail("central directory size is wrong");
  return true;
}

}  // namespace ziptest

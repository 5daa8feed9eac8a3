// Builders of the unit's probe files for the tests: trip files and
// archived zones, enciphered the way the unit does it (our own chunked CBC
// loop over the project's DES), plus readers of the send-data file the
// probe readers write. Everything is built in memory and written by the
// test into a folder of its own.
#pragma once

#include "TestSupport.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace probetest {

// Little-endian fields.
std::string Le32(uint32_t value);
std::string Le64(uint64_t value);
// A fixed field: the text, NUL-padded (or cut) to `size` bytes.
std::string Field(const std::string& text, size_t size);

std::string Gzip(const std::string& bytes);
using ovtest::Gunzip;

// The unit's enciphering: whole 8-byte blocks of each 307200-byte chunk
// from `from` on, each chunk a CBC chain from `iv`.
void EncipherInChunks(std::string& bytes, size_t from, const uint8_t key[8], const uint8_t iv[8]);

// A driving-history piece as the unit writes it before packing: the value,
// the block count, then the records.
std::string DrvHisPiece(uint32_t value, uint32_t count, const std::string& records);
// `count` records of `record_size` bytes, each filled from `seed`.
std::string Records(uint32_t count, size_t record_size, uint8_t seed);

// The 36-byte identification block: "PROBE_" and a running pattern.
std::string IdBlock(const std::string& start = "PROBE_");

struct Block {
  std::string tag = "8BIN";
  std::string name;
  std::string data;  // as stored (packed pieces are already gzip)
  // Written in place of the real data size when set.
  bool override_size = false;
  uint32_t size_low = 0;
  uint32_t size_high = 0;
};

// A piece block: the piece packed with gzip under the given name.
Block PieceBlock(const std::string& name, const std::string& piece);

struct TripFile {
  std::string iv = std::string("\x11\x22\x33\x44\x55\x66\x77\x88", 8);
  std::string ccid = "CCID000000000001";
  std::string uid = "UID0000001";
  std::string id_block = IdBlock();
  std::vector<Block> blocks;
  bool end_mark = true;
  std::string tail;  // bytes after the end mark
};
// The plain (deciphered) form and the stored (enciphered) form.
std::string PlainTripFile(const TripFile& trip);
std::string BuildTripFile(const TripFile& trip);

struct ZoneEntry {
  std::string tag = "8BIN";
  std::string name;
  uint32_t v1 = 0;
  uint32_t v2 = 0;
  std::string records;  // 32 bytes each
  // Written in place of records.size() / 32 when set.
  bool override_count = false;
  uint32_t count = 0;
};

// The expanded archive: the file count, then the entries.
std::string ExpandedArchive(const std::vector<ZoneEntry>& entries, uint64_t count_override = 0);

struct ZoneArchive {
  std::string device_number = "DEV0000000000001";
  std::string ccid = "CCID000000000002";
  std::string uid = "UID0000002";
  std::string unit_model = "NV-200";
  std::string maker = "MAKER";
  std::string application_version = "0000000001000203";  // 1.000203
  std::string map_version = "0000000012345678";          // 12.345678
  std::string id_block = IdBlock();
  size_t head_size = 136;  // at least 132
  std::string head_iv = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  std::string data_iv = std::string("\x21\x32\x43\x54\x65\x76\x87\x98", 8);
  std::string expanded;  // packed with gzip into the data part
  std::string head_tag = "HEAD";
  std::string data_tag = "DATA";
  // Overrides of the frame's sizes when non-zero.
  uint64_t head_size_field = 0;
  uint32_t data_size_field = 0;
  uint64_t packed_size_field = 0;
};
std::string BuildZoneArchive(const ZoneArchive& archive);

// Writes a trip's probe file as "<root>PROBE\<trip>\ProbeData.dat" and
// returns its path; `root` ends in a backslash.
std::string WriteTrip(const std::string& root, const std::string& trip, const std::string& bytes);
// The names in a folder ("." and ".." left out); empty when it cannot be listed.
std::vector<std::string> FolderEntries(const std::string& folder);

// A damaged probe file and the code a reader must refuse it with.
struct RefusedFile {
  const char* name;
  uint32_t result;
  std::string bytes;
};
inline void PrintTo(const RefusedFile& c, std::ostream* os) { *os << c.name; }

// A send-data file taken apart.
struct SendBlock {
  std::string name;
  std::string packed;
};
struct SendFile {
  std::string id_block;
  std::vector<SendBlock> blocks;
  bool end_mark = false;
};
// False when the frame is broken.
bool ParseSendFile(const std::string& bytes, SendFile* out);

}  // namespace probetest

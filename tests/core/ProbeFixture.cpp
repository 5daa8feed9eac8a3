// Probe-file builders for the tests; see ProbeFixture.h.
#include "ProbeFixture.h"

#include <zlib.h>

#include <cstring>

#include "Folders.h"
#include "Handle.h"
#include "OstrovelleLite/DesCipher.h"
#include "TestSupport.h"
#include "probe/ProbeKey.h"

namespace probetest {

std::string Le32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
  return out;
}

std::string Le64(uint64_t value) {
  return Le32(static_cast<uint32_t>(value)) + Le32(static_cast<uint32_t>(value >> 32));
}

std::string Field(const std::string& text, size_t size) {
  std::string out = text.substr(0, size);
  out.resize(size, '\0');
  return out;
}

std::string Gzip(const std::string& bytes) {
  z_stream stream = {};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

void EncipherInChunks(std::string& bytes, size_t from, const uint8_t key[8], const uint8_t iv[8]) {
  const size_t chunk = 307200;
  for (size_t offset = from; offset < bytes.size(); offset += chunk) {
    const size_t length = std::min(chunk, bytes.size() - offset);
    DesCbc(reinterpret_cast<uint8_t*>(&bytes[offset]), key, iv, length / 8, kDesEncrypt);
  }
}

namespace {

void EncipherWithProbeKey(std::string& bytes, size_t from, const std::string& iv) {
  uint8_t key[8];
  BuildProbeFileKey(key);
  EncipherInChunks(bytes, from, key, reinterpret_cast<const uint8_t*>(iv.data()));
}

}  // namespace

std::string DrvHisPiece(uint32_t value, uint32_t count, const std::string& records) {
  return Le32(value) + Le32(count) + records;
}

std::string Records(uint32_t count, size_t record_size, uint8_t seed) {
  std::string out(count * record_size, '\0');
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(seed + i * 13);
  return out;
}

std::string IdBlock(const std::string& start) {
  std::string block = start;
  for (size_t i = block.size(); i < 36; ++i) block += static_cast<char>('a' + i % 26);
  return block.substr(0, 36);
}

Block PieceBlock(const std::string& name, const std::string& piece) {
  Block block;
  block.name = name;
  block.data = Gzip(piece);
  return block;
}

std::string PlainTripFile(const TripFile& trip) {
  std::string out =
      Field(trip.iv, 8) + Field(trip.ccid, 16) + Field(trip.uid, 10) + Field(trip.id_block, 36);
  for (const Block& b : trip.blocks) {
    out += Field(b.tag, 4);
    out += Le32(b.override_size ? b.size_low : static_cast<uint32_t>(b.data.size()));
    out += Le32(b.override_size ? b.size_high : 0);
    out += Le32(static_cast<uint32_t>(b.name.size()));
    out += Field(b.name, 128);
    out += b.data;
  }
  if (trip.end_mark) out += "EOF_";
  return out + trip.tail;
}

std::string BuildTripFile(const TripFile& trip) {
  std::string out = PlainTripFile(trip);
  EncipherWithProbeKey(out, 8, Field(trip.iv, 8));
  return out;
}

std::string ExpandedArchive(const std::vector<ZoneEntry>& entries, uint64_t count_override) {
  std::string out = Le64(count_override ? count_override : entries.size());
  for (const ZoneEntry& e : entries) {
    const uint32_t count =
        e.override_count ? e.count : static_cast<uint32_t>(e.records.size() / 32);
    out += Field(e.tag, 4) + Le32(static_cast<uint32_t>(12 + e.records.size())) + Le32(0) +
           Le32(static_cast<uint32_t>(e.name.size())) + Field(e.name, 128);
    out += Le32(e.v1) + Le32(count) + Le32(e.v2) + e.records;
  }
  return out;
}

std::string BuildZoneArchive(const ZoneArchive& a) {
  std::string head = Field(a.device_number, 16) + Field(a.ccid, 16) + Field(a.uid, 10) +
                     Field(a.unit_model, 6) + Field(a.maker, 16) +
                     Field(a.application_version, 16) + Field(a.map_version, 16) +
                     Field(a.id_block, 36);
  head.resize(a.head_size, '\0');
  EncipherWithProbeKey(head, 0, Field(a.head_iv, 8));
  const std::string packed = Gzip(a.expanded);
  std::string data = Le64(a.packed_size_field ? a.packed_size_field : packed.size()) + packed;
  data.resize((data.size() + 7) / 8 * 8, '\0');
  EncipherWithProbeKey(data, 0, Field(a.data_iv, 8));
  std::string out(8, '\x5A');
  out += Field(a.head_tag, 4) + Le64(a.head_size_field ? a.head_size_field : head.size()) +
         Field(a.head_iv, 8) + head;
  out += Field(a.data_tag, 4) +
         Le32(a.data_size_field ? a.data_size_field : static_cast<uint32_t>(data.size())) +
         Le32(0) + Field(a.data_iv, 8) + data;
  return out;
}

std::string WriteTrip(const std::string& root, const std::string& trip, const std::string& bytes) {
  const std::string folder = root + "PROBE\\" + trip;
  CreateFolderTree(folder);
  const std::string path = folder + "\\ProbeData.dat";
  ovtest::WriteFileBytes(path, bytes);
  return path;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  CFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find.Get(), &data));
  return names;
}

bool ParseSendFile(const std::string& bytes, SendFile* out) {
  if (bytes.size() < 36) return false;
  out->id_block = bytes.substr(0, 36);
  size_t pos = 36;
  while (pos + 4 <= bytes.size()) {
    if (bytes.compare(pos, 4, "EOF_") == 0) {
      out->end_mark = true;
      return pos + 4 == bytes.size();
    }
    if (bytes.compare(pos, 4, "8BIN") != 0 || bytes.size() - pos < 144) return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data() + pos);
    const uint32_t size = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<uint32_t>(p[7]) << 24);
    const uint32_t name_length = p[12] | (p[13] << 8) | (p[14] << 16);
    if (bytes.size() - pos - 144 < size || name_length > 128) return false;
    SendBlock block;
    block.name = bytes.substr(pos + 16, name_length);
    if (bytes.find('\0', pos + 16) != pos + 16 + name_length) return false;
    block.packed = bytes.substr(pos + 144, size);
    out->blocks.push_back(block);
    pos += 144 + size;
  }
  return false;
}

}  // namespace probetest

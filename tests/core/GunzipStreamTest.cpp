// Unpacking gzip data handed over in runs: for every input the result is
// what the gzip wrapper gives for the same bytes as one file (the rebuild
// used to unpack a joined file that way), whatever the runs' sizes; a sink
// that refuses stops it; a restart unpacks a new stream.
#include "map/GunzipStream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>

#include "MapDataTestSupport.h"
#include "TestBytes.h"
#include "TestSupport.h"
#include "util/GZipIF.h"

namespace {

struct StreamCase {
  const char* name;
  std::function<std::string()> input;
};

std::ostream& operator<<(std::ostream& out, const StreamCase& c) { return out << c.name; }

std::string Packed() { return mapdata::Gzip(ovtest::CompressibleBytes(300000)); }

std::string Flipped(std::string bytes, size_t from_end) {
  bytes[bytes.size() - from_end] ^= 0x40;
  return bytes;
}

const StreamCase kCases[] = {
    {"Empty", [] { return std::string(); }},
    {"PlainBytes", [] { return std::string("not gzip at all, copied as it is"); }},
    {"OneByte", [] { return std::string("\x1f"); }},
    {"MagicAlone", [] { return std::string("\x1f\x8b"); }},
    {"OneMember", [] { return Packed(); }},
    {"TwoMembers", [] { return Packed() + mapdata::Gzip("and a second member"); }},
    {"TrailingBytesAreIgnored", [] { return Packed() + "trailing"; }},
    {"OneTrailingByteIsIgnored", [] { return Packed() + "\x1f"; }},
    {"AMemberCutAfterItsMagic", [] { return Packed() + "\x1f\x8b"; }},
    {"CutShort", [] { return Packed().substr(0, Packed().size() - 5); }},
    {"CutInTheHeader", [] { return Packed().substr(0, 6); }},
    {"DamagedData", [] { return Flipped(Packed(), Packed().size() / 2); }},
    {"DamagedCheckValue", [] { return Flipped(Packed(), 6); }},
    {"DamagedLength", [] { return Flipped(Packed(), 2); }},
    {"UnknownMethod", [] { return std::string("\x1f\x8b\x07\x00\x00\x00\x00\x00\x00\x03xx", 12); }},
};

class GunzipStreamTest : public ::testing::TestWithParam<StreamCase> {
 protected:
  ovtest::CTempDir dir;
  ovtest::CLogCapture log;
};

// Feeds the input in runs of the given size; true when it unpacked whole.
bool Unpack(const std::string& input, size_t run, std::string* out, int* error) {
  out->clear();
  CGunzipStream gunzip([out](const char* data, size_t size) {
    out->append(data, size);
    return true;
  });
  bool ok = true;
  for (size_t at = 0; ok && at < input.size(); at += run) {
    ok = gunzip.Feed(input.data() + at, std::min(run, input.size() - at));
  }
  ok = ok && gunzip.Finish();
  *error = gunzip.Error();
  return ok;
}

TEST_P(GunzipStreamTest, UnpacksAsTheWrapperUnpacksTheSameFile) {
  const std::string input = GetParam().input();
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("in.gz"), input));
  CGZipIF gzip;
  const bool wrapper_ok = gzip.UnGZipFile(dir.File("in.gz"), dir.File("out"));
  const std::string wrapper_out = wrapper_ok ? ovtest::ReadFileOrEmpty(dir.File("out")) : "";
  // Runs of one byte split every header, member boundary and check value.
  for (const size_t run : {size_t{1}, size_t{7}, size_t{4096}, input.size() + 1}) {
    std::string out;
    int error = Z_OK;
    const bool ok = Unpack(input, run, &out, &error);
    EXPECT_EQ(ok, wrapper_ok) << "runs of " << run;
    if (ok && wrapper_ok) {
      EXPECT_EQ(out, wrapper_out) << "runs of " << run;
    } else if (!ok && !wrapper_ok) {
      // The same zlib error number the wrapper keeps.
      EXPECT_EQ(static_cast<DWORD>(error), gzip.LastError()) << "runs of " << run;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, GunzipStreamTest, ::testing::ValuesIn(kCases), ovtest::CaseName());

TEST(GunzipStream, ASinkThatRefusesStopsItAndARestartBeginsAnew) {
  const std::string packed = Packed();
  int calls = 0;
  bool refuse = true;
  std::string out;
  CGunzipStream gunzip([&](const char* data, size_t size) {
    ++calls;
    out.append(data, size);
    return !refuse;
  });
  EXPECT_FALSE(gunzip.Feed(packed.data(), packed.size()));
  EXPECT_TRUE(gunzip.SinkRefused());
  EXPECT_EQ(gunzip.Error(), Z_OK);
  EXPECT_EQ(calls, 1);
  // Failed stays failed until restarted.
  EXPECT_FALSE(gunzip.Feed(packed.data(), packed.size()));
  EXPECT_FALSE(gunzip.Finish());

  refuse = false;
  out.clear();
  gunzip.Restart();
  EXPECT_TRUE(gunzip.Feed(packed.data(), packed.size()));
  EXPECT_TRUE(gunzip.Finish());
  EXPECT_FALSE(gunzip.SinkRefused());
  EXPECT_EQ(out, ovtest::CompressibleBytes(300000));
}

}  // namespace

// The gzip wrapper: a known answer from another gzip writer, round trips,
// damaged input, and the retrying forms.
#include "util/GZipIF.h"

#include "Folders.h"
#include "Handle.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "TestBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using ovtest::CLogCapture;
using ovtest::CompressibleBytes;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

// "Ostrovelle\n" as packed by the gzip program (gzip -n -9).
const unsigned char kKnownGzip[] = {
    0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0xf3, 0x2f, 0x2e, 0x29, 0xca, 0x2f,
    0x4b, 0xcd, 0xc9, 0x49, 0xe5, 0x02, 0x00, 0x84, 0x40, 0x46, 0x49, 0x0b, 0x00, 0x00, 0x00};
const std::string kKnownText = "Ostrovelle\n";

std::string KnownGzip() {
  return std::string(reinterpret_cast<const char*>(kKnownGzip), sizeof(kKnownGzip));
}

class GZipTest : public ::testing::Test {
 protected:
  CTempDir _dir;
  CLogCapture _log;
};

TEST_F(GZipTest, UnpacksTheOutputOfAnotherGzipWriter) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("known.gz"), KnownGzip()));
  CGZipIF gzip;
  EXPECT_TRUE(gzip.UnGZipFile(_dir.File("known.gz"), _dir.File("known.txt")));
  EXPECT_EQ(kKnownText, ReadFileOrEmpty(_dir.File("known.txt")));
  EXPECT_EQ(0u, gzip.LastError());
}

struct RoundTripCase {
  const char* name;
  size_t size;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class GZipRoundTripTest : public GZipTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(GZipRoundTripTest, PacksAStandardGzipFileAndUnpacksItAgain) {
  const std::string data = CompressibleBytes(GetParam().size);
  const std::string source = _dir.File("表ソ.bin");
  const std::string packed = _dir.File("表ソ.bin.gz");
  const std::string unpacked = _dir.File("unpacked.bin");
  ASSERT_TRUE(WriteFileBytes(source, data));
  CGZipIF gzip;
  ASSERT_TRUE(gzip.GZipFile(source, packed));
  const std::string bytes = ReadFileOrEmpty(packed);
  ASSERT_GE(bytes.size(), 18u);
  EXPECT_EQ('\x1f', bytes[0]);
  EXPECT_EQ('\x8b', bytes[1]);
  std::string inflated;
  EXPECT_TRUE(ovtest::Gunzip(bytes, &inflated));
  EXPECT_TRUE(inflated == data);
  ASSERT_TRUE(gzip.UnGZipFile(packed, unpacked));
  EXPECT_TRUE(ReadFileOrEmpty(unpacked) == data);
  EXPECT_TRUE(_log.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GZipRoundTripTest,
    ::testing::Values(RoundTripCase{"Empty", 0}, RoundTripCase{"Small", 1000},
                      // Crosses the 16 MiB pieces of both directions.
                      RoundTripCase{"LargerThanOnePiece", 16 * 1024 * 1024 + 4099}),
    [](const ::testing::TestParamInfo<RoundTripCase>& p) { return std::string(p.param.name); });

TEST_F(GZipTest, FileThatIsNotGzipIsCopiedAsItIs) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("plain.txt"), "not packed at all"));
  CGZipIF gzip;
  EXPECT_TRUE(gzip.UnGZipFile(_dir.File("plain.txt"), _dir.File("out.txt")));
  EXPECT_EQ("not packed at all", ReadFileOrEmpty(_dir.File("out.txt")));
}

TEST_F(GZipTest, EveryTruncationFailsAndLeavesNoTarget) {
  const std::string known = KnownGzip();
  CGZipIF gzip;
  // Two bytes are enough to be taken for gzip; one byte is a plain file.
  for (size_t length = 2; length < known.size(); ++length) {
    SCOPED_TRACE(length);
    const std::string source = _dir.File(FormatString("cut%zu.gz", length));
    ASSERT_TRUE(WriteFileBytes(source, known.substr(0, length)));
    EXPECT_FALSE(gzip.UnGZipFile(source, _dir.File("out.txt")));
    EXPECT_NE(0u, gzip.LastError());
    EXPECT_FALSE(PathFileExists(_dir.File("out.txt")));
  }
  const std::vector<std::string> errors = _log.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(0u, errors.back().find("CGZipIF::UnGZipFileEx - gzread 失敗 "));
}

TEST_F(GZipTest, FlippedBytesNeverGiveWrongDataAsASuccess) {
  const std::string known = KnownGzip();
  const size_t trailer = known.size() - 8;  // CRC-32 and length
  CGZipIF gzip;
  // Past the magic bytes, which would make it a plain file.
  for (size_t at = 2; at < known.size(); ++at) {
    for (const unsigned char mask : {0x01, 0x80}) {
      SCOPED_TRACE(FormatString("byte %zu mask %02X", at, mask));
      std::string damaged = known;
      damaged[at] = static_cast<char>(damaged[at] ^ mask);
      ASSERT_TRUE(WriteFileBytes(_dir.File("damaged.gz"), damaged));
      DeleteFileA(_dir.File("out.txt").c_str());
      // The header's time, flags and system bytes, and the padding after the
      // last block, may change without harm; nothing else may.
      const bool unpacked = gzip.UnGZipFile(_dir.File("damaged.gz"), _dir.File("out.txt"));
      if (unpacked) {
        EXPECT_EQ(kKnownText, ReadFileOrEmpty(_dir.File("out.txt")));
      } else {
        EXPECT_FALSE(PathFileExists(_dir.File("out.txt")));
      }
      if (at == 2 || at >= trailer) {
        EXPECT_FALSE(unpacked);
      }
    }
  }
}

TEST_F(GZipTest, MissingSourceToPackIsErrorTwoWithoutALine) {
  CGZipIF gzip;
  EXPECT_FALSE(gzip.GZipFile(_dir.File("none"), _dir.File("none.gz")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), gzip.LastError());
  EXPECT_FALSE(gzip.GZipFile(_dir.Path(), _dir.File("folder.gz")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), gzip.LastError());
  EXPECT_TRUE(_log.Errors().empty());
  EXPECT_FALSE(PathFileExists(_dir.File("none.gz")));
}

TEST_F(GZipTest, SourceHeldByAnotherProgramFailsAndRemovesTheTarget) {
  const std::string source = _dir.File("held.txt");
  ASSERT_TRUE(WriteFileBytes(source, "x"));
  CFileHandle holder(
      CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  CGZipIF gzip;
  EXPECT_FALSE(gzip.GZipFile(source, _dir.File("held.gz")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), gzip.LastError());
  EXPECT_FALSE(PathFileExists(_dir.File("held.gz")));
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "CGZipIF::GZipFileEx - CreateFile 失敗 %s ERR:0x00000020", source.c_str())},
            _log.Errors());
}

TEST_F(GZipTest, TargetInAMissingFolderFailsToOpen) {
  ASSERT_TRUE(WriteFileBytes(_dir.File("a.txt"), "a"));
  CGZipIF gzip;
  const std::string target = _dir.File("no\\a.gz");
  EXPECT_FALSE(gzip.GZipFile(_dir.File("a.txt"), target));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), gzip.LastError());
  EXPECT_EQ(std::vector<std::string>{FormatString(
                "CGZipIF::GZipFile - gzopen ERROR ERR:0x00000003 PATH:%s", target.c_str())},
            _log.Errors());
  EXPECT_FALSE(gzip.UnGZipFile(_dir.File("a.txt"), target));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), gzip.LastError());
  EXPECT_EQ(
      FormatString("CGZipIF::UnGZipFileEx - CreateFile 失敗 %s ERR:0x00000003", target.c_str()),
      _log.Errors().back());
}

TEST_F(GZipTest, UnpackingAMissingSourceTriesThreeTimes) {
  const std::string source = _dir.File("none.gz");
  const std::string target = _dir.File("none.txt");
  CPauseRecorder pauses;
  CGZipIF gzip;
  EXPECT_FALSE(gzip.UnGZipFile_Recover(source, target));
  EXPECT_EQ(std::vector<DWORD>(3, 3000), pauses.Pauses());
  const std::string missing =
      FormatString("CGZipIF::UnGZipFile - 元ファイル無し！ %s ERR:0x00000002", source.c_str());
  EXPECT_EQ((std::vector<std::string>{
                missing, missing, missing,
                FormatString("UnGZipFile_Recover( ) - Error ERR:0x00000002 SRC:%s, DST:%s",
                             source.c_str(), target.c_str())}),
            _log.Errors());
}

TEST_F(GZipTest, PackingSucceedsWhenTheSourceIsFreedBetweenTries) {
  const std::string source = _dir.File("busy.txt");
  ASSERT_TRUE(WriteFileBytes(source, "payload"));
  CFileHandle holder(
      CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  CHandle abort_event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CPauseRecorder pauses([&](int) { holder.Reset(); });
  CGZipIF gzip(abort_event.Get());
  EXPECT_TRUE(gzip.GZipFile_Recover(source, _dir.File("busy.gz")));
  EXPECT_EQ(std::vector<HANDLE>{abort_event.Get()}, pauses.Events());
  EXPECT_EQ(0u, gzip.LastError());
  std::string inflated;
  EXPECT_TRUE(ovtest::Gunzip(ReadFileOrEmpty(_dir.File("busy.gz")), &inflated));
  EXPECT_EQ("payload", inflated);
  EXPECT_EQ(1u, _log.Errors().size());
}

TEST_F(GZipTest, PackingThatNeverSucceedsEndsWithTheSummaryLine) {
  const std::string source = _dir.File("a.txt");
  const std::string target = _dir.File("no\\a.gz");
  ASSERT_TRUE(WriteFileBytes(source, "a"));
  CPauseRecorder pauses;
  CGZipIF gzip;
  EXPECT_FALSE(gzip.GZipFile_Recover(source, target));
  EXPECT_EQ(std::vector<DWORD>(3, 3000), pauses.Pauses());
  const std::vector<std::string> errors = _log.Errors();
  ASSERT_EQ(4u, errors.size());
  EXPECT_EQ(FormatString("GZipFile_Recover( ) - Error ERR:0x00000003 SRC:%s, DST:%s",
                         source.c_str(), target.c_str()),
            errors.back());
}

}  // namespace

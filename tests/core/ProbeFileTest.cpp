// The trip-file reader: send-data files built from fixtures of our own,
// the joining of pieces, the folders it deletes or keeps, names and sizes
// from the card refused, and damaged files rejected without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Folders.h"
#include "Handle.h"
#include "OstrovelleLite/DesCipher.h"
#include "ProbeFixture.h"
#include "RetryTestSupport.h"
#include "TestSupport.h"
#include "probe/ProbeBase.h"
#include "probe/ProbeFile.h"
#include "probe/ProbeKey.h"
#include "probe/ProbePath.h"

namespace {

using namespace probetest;
using ovtest::CLogCapture;
using ovtest::CPauseRecorder;
using ovtest::CTempDir;
using ovtest::ReadFileOrEmpty;
using ovtest::WriteFileBytes;

const char kTrip[] = "20230405061530";

// The send-data file's blocks unpacked, with its identification block.
struct Sent {
  std::string id_block;
  std::vector<std::string> names;
  std::vector<std::string> files;
};

class ProbeFileTest : public ::testing::Test {
 protected:
  std::string Trip(const std::string& trip, const std::string& bytes) {
    return WriteTrip(_dir.Path(), trip, bytes);
  }
  std::string Trip(const TripFile& trip) { return Trip(kTrip, BuildTripFile(trip)); }
  std::string SendPath() const { return _dir.Path() + "Temp\\PROBE.DAT"; }

  DWORD Make(const std::string& source, BYTE* skip = nullptr) {
    BYTE ignored = 0;
    return _reader.MakeSendFile(skip ? skip : &ignored, SendPath().c_str(), source.c_str());
  }

  Sent ReadSent() {
    Sent sent;
    SendFile file;
    EXPECT_TRUE(ParseSendFile(ReadFileOrEmpty(SendPath()), &file));
    sent.id_block = file.id_block;
    for (const SendBlock& block : file.blocks) {
      std::string plain;
      EXPECT_TRUE(Gunzip(block.packed, &plain));
      sent.names.push_back(block.name);
      sent.files.push_back(plain);
    }
    return sent;
  }

  // What is left in the temporary folder besides the send-data file.
  std::vector<std::string> TempLeftovers() const {
    std::vector<std::string> names = FolderEntries(_dir.Path() + "Temp");
    names.erase(std::remove(names.begin(), names.end(), "PROBE.DAT"), names.end());
    return names;
  }

  CTempDir _dir;
  CLogCapture _log;
  CPauseRecorder _pauses;
  CProbeFile _reader{'E'};
};

TEST(ProbeFixtureTest, ChunkedEncipheringMatchesThePublishedChain) {
  // FIPS 81 Appendix C in the unit's byte order (each 4-byte half reversed).
  const uint8_t key[8] = {0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89};
  const uint8_t iv[8] = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x90};
  std::string text = "Now is the time for all ";
  for (size_t i = 0; i < text.size(); i += 4)
    std::swap(text[i], text[i + 3]), std::swap(text[i + 1], text[i + 2]);
  std::string data = "xx" + text;
  EncipherInChunks(data, 2, key, iv);
  const uint8_t expected[24] = {0xDE, 0xCD, 0xC7, 0xE5, 0x7C, 0xF2, 0x2B, 0x87,
                                0x00, 0x34, 0xE9, 0x43, 0x0F, 0x9C, 0x38, 0x8C,
                                0x49, 0x88, 0x37, 0x68, 0xF6, 0x05, 0x7C, 0x9A};
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), 24), data.substr(2));
}

TEST(ProbeKeyTest, DeciphersWholeBlocksOfEachChunkAndLeavesTheRemainder) {
  const uint8_t iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t key[8];
  BuildProbeFileKey(key);
  for (const size_t size : {size_t{19}, size_t{307200}, size_t{307201}, size_t{307200 + 21}}) {
    const std::string plain = Records(1, size, 7);
    std::string data = plain;
    EncipherInChunks(data, 0, key, iv);
    const size_t whole = size - size % 8;
    EXPECT_EQ(plain.substr(whole), data.substr(whole)) << size << ": the remainder stays as stored";
    EXPECT_NE(plain.substr(0, 8), data.substr(0, 8));
    DecipherProbeData(reinterpret_cast<uint8_t*>(&data[0]), data.size(), iv);
    EXPECT_EQ(plain, data) << size;
  }
  // The second chunk is a chain of its own from the same vector.
  std::string two = Records(1, 307200 + 16, 3);
  std::string second = two.substr(307200);
  EncipherInChunks(two, 0, key, iv);
  EncipherInChunks(second, 0, key, iv);
  EXPECT_EQ(second, two.substr(307200));
}

TEST_F(ProbeFileTest, JoinsThePiecesInNameOrderIntoOneSendBlock) {
  TripFile trip;
  const std::string a = DrvHisPiece(5, 2, Records(2, 24, 1));
  const std::string b = DrvHisPiece(6, 3, Records(3, 24, 2));
  const std::string c = DrvHisPiece(7, 1, Records(1, 24, 3));
  // Stored out of order; the "/" of a stored name is dropped.
  trip.blocks = {PieceBlock("0002/DRVHISREC.DH3", b), PieceBlock("0003/DRVHISREC.DH3", c),
                 PieceBlock("0001/DRVHISREC.DH3", a)};
  const std::string source = Trip(trip);
  BYTE skip = 1;
  ASSERT_EQ(0u, Make(source, &skip));
  EXPECT_EQ(0, skip);

  const Sent sent = ReadSent();
  std::string id = IdBlock();
  id.replace(12, 4, Le32(1));
  EXPECT_EQ(id, sent.id_block) << "the count of joined files replaces offset 12";
  ASSERT_EQ(1u, sent.names.size());
  EXPECT_EQ("20230405061530/DRVHISREC.DH3", sent.names[0]);
  const std::string joined = Le32(5) + Le32(6) + a.substr(8) + b.substr(8) + c.substr(8);
  EXPECT_EQ(joined, sent.files[0]);
  EXPECT_EQ(joined.size(), _reader.GetSrcFileSize());

  const ProbeDiscrimination id_record = _reader.GetProbeDiscrimination();
  EXPECT_EQ("CCID000000000001", id_record.ccid);
  EXPECT_EQ("UID0000001", id_record.uid);
  EXPECT_EQ(9u, id_record.data_year);
  EXPECT_TRUE(id_record.device_number.empty());
  EXPECT_TRUE(PathFileExists(source)) << "the card is left alone";
  EXPECT_TRUE(TempLeftovers().empty());
}

struct ModelCase {
  const char* name;
  std::vector<const char*> pieces;
  const char* joined;
  uint32_t value;
  bool mixed;
};
void PrintTo(const ModelCase& c, std::ostream* os) { *os << c.name; }

class ProbeModelTest : public ProbeFileTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ProbeModelTest, NamesTheJoinedFileAfterTheModelInForceAtTheEnd) {
  const ModelCase& c = GetParam();
  TripFile trip;
  std::string records;
  for (size_t i = 0; i < c.pieces.size(); ++i) {
    const std::string piece_records = Records(2, 16, static_cast<uint8_t>(i));
    trip.blocks.push_back(PieceBlock(c.pieces[i], DrvHisPiece(77, 2, piece_records)));
    records += piece_records;
  }
  ASSERT_EQ(0u, Make(Trip(trip)));
  const Sent sent = ReadSent();
  ASSERT_EQ(1u, sent.names.size());
  EXPECT_EQ(std::string("20230405061530/") + c.joined, sent.names[0]);
  const uint32_t count = static_cast<uint32_t>(2 * c.pieces.size());
  EXPECT_EQ(Le32(c.value) + Le32(count) + records, sent.files[0]);
  bool logged = false;
  for (const std::string& line : _log.Messages("..")) {
    logged = logged || line == "CProbeFile::_ReadFile - モデル混在";
  }
  EXPECT_EQ(c.mixed, logged);
}

INSTANTIATE_TEST_SUITE_P(
    Models, ProbeModelTest,
    ::testing::Values(
        ModelCase{"Dh3", {"aDRVHISREC.DH3", "bDRVHISREC.DH3"}, "DRVHISREC.DH3", 77, false},
        ModelCase{
            "Dh5SetsTheValueTo8", {"aDRVHISREC.DH5", "bDRVHISREC.DH5"}, "DRVHISREC.DH5", 8, false},
        ModelCase{"Dh3ThenDh5", {"aDRVHISREC.DH3", "bDRVHISREC.DH5"}, "DRVHISREC.DH5", 8, true},
        ModelCase{"Dh5ThenDh3", {"aDRVHISREC.DH5", "bDRVHISREC.DH3"}, "DRVHISREC.DH5", 8, true}),
    ovtest::CaseName());

TEST_F(ProbeFileTest, OtherFilesAndOtherTagsAreLeftOut) {
  TripFile trip;
  const std::string piece = DrvHisPiece(1, 1, Records(1, 8, 9));
  Block other;
  other.tag = "TEXT";
  other.name = "x/DRVHISREC.DH3";
  other.data = "never read";
  trip.blocks = {PieceBlock("README.TXT", "plain"), other, PieceBlock("DRVHISREC.DH3", piece)};
  ASSERT_EQ(0u, Make(Trip(trip)));
  EXPECT_EQ(std::vector<std::string>{piece}, ReadSent().files);
  EXPECT_TRUE(_log.Contains("CProbeFile::_ReadFile - 未定義ファイル FILE:README.TXT"));
  EXPECT_TRUE(_log.Contains("プローブ実ファイル識別子チェックエラー"));
  EXPECT_TRUE(TempLeftovers().empty()) << "an unused file is not even written out";
}

TEST_F(ProbeFileTest, PassingTheBlockLimitIsLoggedAndStillSent) {
  TripFile trip;
  trip.blocks = {PieceBlock("aDRVHISREC.DH3", DrvHisPiece(1, 39999, "r1")),
                 PieceBlock("bDRVHISREC.DH3", DrvHisPiece(1, 2, "r2"))};
  ASSERT_EQ(0u, Make(Trip(trip)));
  EXPECT_EQ(Le32(1) + Le32(40001) + "r1r2", ReadSent().files.at(0));
  EXPECT_TRUE(_log.Contains("ブロック数規定値(40000)超え"));
}

TEST_F(ProbeFileTest, HeaderOnlyFileDeletesItsFolderAndIsSkipped) {
  TripFile trip;
  trip.end_mark = false;
  const std::string source = Trip(trip);
  WriteFileBytes(TripFolderOf(source) + "\\other.bin", "x");
  ASSERT_EQ(70u, ReadFileOrEmpty(source).size());
  BYTE skip = 0;
  EXPECT_EQ(0u, Make(source, &skip));
  EXPECT_EQ(1, skip);
  EXPECT_FALSE(PathFileExists(TripFolderOf(source)));
  EXPECT_TRUE(PathFileExists(_dir.Path() + "PROBE")) << "only the trip folder goes";
  EXPECT_FALSE(PathFileExists(SendPath()));
}

struct TimeCase {
  const char* name;
  const char* folder;
  const char* block;
};
void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.name; }

class ProbeTripTimeTest : public ProbeFileTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(ProbeTripTimeTest, BlockNameCarriesTheFolderTime) {
  TripFile trip;
  trip.blocks = {PieceBlock("DRVHISREC.DH3", DrvHisPiece(1, 0, ""))};
  ASSERT_EQ(0u, Make(Trip(GetParam().folder, BuildTripFile(trip))));
  EXPECT_EQ(std::vector<std::string>{GetParam().block}, ReadSent().names);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProbeTripTimeTest,
    ::testing::Values(TimeCase{"Full", "20991231235958", "20991231235958/DRVHISREC.DH3"},
                      TimeCase{"Longer", "20230102030405_9", "20230102030405/DRVHISREC.DH3"},
                      TimeCase{"YearAndMonth", "202311", "20231100000000/DRVHISREC.DH3"},
                      TimeCase{"Short", "12", "00000000000000/DRVHISREC.DH3"},
                      TimeCase{"NotDigits", "2023AB05", "20230005000000/DRVHISREC.DH3"}),
    ovtest::CaseName());

TripFile OnePiece() {
  TripFile trip;
  trip.blocks = {PieceBlock("DRVHISREC.DH3", DrvHisPiece(1, 1, Records(1, 16, 1)))};
  return trip;
}

std::vector<RefusedFile> RefusedFiles() {
  std::vector<RefusedFile> cases;
  cases.push_back({"Empty", kProbeTooShort, ""});
  cases.push_back({"SevenBytes", kProbeTooShort, "1234567"});
  cases.push_back(
      {"ShorterThanItsHeader", kProbeTooShort, BuildTripFile(OnePiece()).substr(0, 69)});
  TripFile bad_id = OnePiece();
  bad_id.id_block = IdBlock("PROBE-");
  cases.push_back({"NoProbeMark", kProbeBadFrame, BuildTripFile(bad_id)});
  TripFile past_end = OnePiece();
  past_end.blocks[0].override_size = true;
  past_end.blocks[0].size_low = 100000;
  cases.push_back({"SizePastTheEnd", kProbeBadFrame, BuildTripFile(past_end)});
  TripFile high = OnePiece();
  high.blocks[0].override_size = true;
  high.blocks[0].size_low = static_cast<uint32_t>(high.blocks[0].data.size());
  high.blocks[0].size_high = 1;
  cases.push_back({"SizeHighHalf", kProbeBadFrame, BuildTripFile(high)});
  TripFile cut = OnePiece();
  cut.end_mark = false;
  cases.push_back({"BlockCutShort", kProbeBadFrame, BuildTripFile(cut).substr(0, 70 + 100)});
  TripFile not_gzip = OnePiece();
  not_gzip.blocks[0].data = Gzip(DrvHisPiece(1, 1, "x")).substr(0, 20);
  cases.push_back({"DamagedGzip", kProbePackFailed, BuildTripFile(not_gzip)});
  TripFile tiny = OnePiece();
  tiny.blocks[0].data = Gzip("1234567");
  cases.push_back({"PieceWithoutHeader", kProbeBadFrame, BuildTripFile(tiny)});
  return cases;
}

class ProbeRefusedTest : public ProbeFileTest, public ::testing::WithParamInterface<RefusedFile> {};

TEST_P(ProbeRefusedTest, KeepsTheFolderAndLeavesNothingBehind) {
  const std::string source = Trip(kTrip, GetParam().bytes);
  BYTE skip = 1;
  EXPECT_EQ(GetParam().result, Make(source, &skip));
  EXPECT_EQ(0, skip);
  _reader.ClearTemporaryFile();
  EXPECT_EQ(GetParam().bytes, ReadFileOrEmpty(source)) << "the card's file is untouched";
  EXPECT_FALSE(PathFileExists(SendPath()));
  EXPECT_TRUE(TempLeftovers().empty());
  EXPECT_FALSE(_log.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ProbeRefusedTest, ::testing::ValuesIn(RefusedFiles()),
                         ovtest::CaseName());

struct NameCase {
  const char* name;
  std::vector<std::string> pieces;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class ProbePieceNameTest : public ProbeFileTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ProbePieceNameTest, NameThatCouldLeaveOrClobberIsRefused) {
  // A file of the charge's own lies beside the send-data file.
  CreateFolderTree(_dir.Path() + "Temp");
  const std::string own = _dir.Path() + "Temp\\SMALLPROBE00000001.DAT";
  WriteFileBytes(own, "mine");
  TripFile trip;
  for (const std::string& name : GetParam().pieces) {
    trip.blocks.push_back(PieceBlock(name, DrvHisPiece(1, 1, "rec")));
  }
  const std::string source = Trip(trip);
  EXPECT_EQ(static_cast<DWORD>(kProbeBadFrame), Make(source));
  _reader.ClearTemporaryFile();
  EXPECT_EQ("mine", ReadFileOrEmpty(own));
  EXPECT_EQ(std::vector<std::string>{"SMALLPROBE00000001.DAT"}, TempLeftovers());
  EXPECT_FALSE(PathFileExists(_dir.Path() + "DRVHISREC.DH3"));
  EXPECT_TRUE(PathFileExists(source));
  EXPECT_TRUE(_log.Contains("プローブ実ファイル名不正"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProbePieceNameTest,
    ::testing::Values(NameCase{"Backslash", {"..\\DRVHISREC.DH3"}},
                      NameCase{"DriveColon", {"C:DRVHISREC.DH3"}},
                      NameCase{"Device", {"NUL.DRVHISREC.DH3"}},
                      NameCase{"TrailingDot", {"DRVHISREC.DH3."}},
                      NameCase{"ExpandedForm", {"aDRVHISREC.DH3", "aDRVHISREC.DH3.prb"}},
                      NameCase{"SameAfterSlashes", {"a/DRVHISREC.DH3", "aDRVHISREC.DH3"}},
                      NameCase{"SameButCase", {"aDRVHISREC.DH3", "ADRVHISREC.DH3"}},
                      NameCase{"CutCharacter", {std::string("DRVHISREC.DH3\x95")}}),
    ovtest::CaseName());

TEST_F(ProbeFileTest, NameWithTheSecondByte5CIsOneName) {
  TripFile trip;
  // 表 is 0x95 0x5C in code page 932: no separator inside.
  trip.blocks = {PieceBlock("表DRVHISREC.DH3", DrvHisPiece(3, 1, "rec"))};
  EXPECT_EQ(0u, Make(Trip(trip)));
  EXPECT_EQ(Le32(3) + Le32(1) + "rec", ReadSent().files.at(0));
}

TEST_F(ProbeFileTest, FileHeldByAnotherProgramKeepsItsFolder) {
  TripFile trip = OnePiece();
  const std::string source = Trip(trip);
  CFileHandle held(
      CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  BYTE skip = 1;
  EXPECT_EQ(static_cast<DWORD>(kProbeOpenFailed), Make(source, &skip));
  EXPECT_EQ(0, skip);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), _reader.GetLastError());
  held.Reset();
  EXPECT_TRUE(PathFileExists(source));
  EXPECT_TRUE(_log.Contains("プローブファイルオープン失敗[Path=" + source + "]"));
}

TEST_F(ProbeFileTest, BadPathsAreRefused) {
  BYTE skip = 0;
  EXPECT_EQ(258u, _reader.MakeSendFile(&skip, SendPath().c_str(), nullptr));
  EXPECT_EQ(258u, _reader.MakeSendFile(&skip, SendPath().c_str(), ""));
  EXPECT_EQ(258u, Make(_dir.Path() + "PROBE\\none\\ProbeData.dat"));
  EXPECT_TRUE(_log.Contains("プローブファイルパスがNULL"));
  EXPECT_TRUE(_log.Contains("プローブファイルパスがない"));
  EXPECT_TRUE(_log.Contains("プローブ元ファイルが存在しない"));
}

TEST_F(ProbeFileTest, DamagedFilesNeverCrashNorPassForWhole) {
  TripFile trip;
  trip.blocks = {PieceBlock("aDRVHISREC.DH3", DrvHisPiece(1, 2, Records(2, 40, 1))),
                 PieceBlock("bDRVHISREC.DH3", DrvHisPiece(1, 1, Records(1, 40, 2)))};
  const std::string good = BuildTripFile(trip);
  const std::string joined = Le32(1) + Le32(3) + Records(2, 40, 1) + Records(1, 40, 2);
  std::vector<std::string> damaged;
  for (size_t size = 0; size < good.size(); size += 13) damaged.push_back(good.substr(0, size));
  for (size_t pos = 8; pos < good.size(); pos += 11) {
    std::string flipped = good;
    flipped[pos] = static_cast<char>(flipped[pos] ^ 0x40);
    damaged.push_back(flipped);
  }
  for (size_t i = 0; i < damaged.size(); ++i) {
    const std::string trip_name = "T" + std::to_string(i);
    const std::string source = Trip(trip_name, damaged[i]);
    CProbeFile reader('E');
    BYTE skip = 0;
    const DWORD result = reader.MakeSendFile(&skip, SendPath().c_str(), source.c_str());
    reader.ClearTemporaryFile();
    if (result == 0 && !skip) {
      // Whatever still passes must carry the pieces it names whole.
      SendFile sent;
      ASSERT_TRUE(ParseSendFile(ReadFileOrEmpty(SendPath()), &sent)) << i;
      for (const SendBlock& block : sent.blocks) {
        std::string plain;
        EXPECT_TRUE(Gunzip(block.packed, &plain)) << i;
      }
    } else if (result != 0) {
      EXPECT_TRUE(PathFileExists(source)) << i << ": a refused file keeps its folder";
    }
    DeleteFileA(SendPath().c_str());
  }
}

TEST_F(ProbeFileTest, FrontPicksTheTripReaderForType1) {
  TripFile trip = OnePiece();
  CProbeBase base('E', 1);
  BYTE skip = 0;
  ASSERT_EQ(0u, base.MakeSendFile(&skip, SendPath().c_str(), Trip(trip).c_str()));
  EXPECT_EQ(9u, base.GetProbeDiscrimination().data_year);
  EXPECT_EQ(8u + 16u, base.GetSrcFileSize());
  EXPECT_EQ(0u, base.GetLastError());
}

}  // namespace

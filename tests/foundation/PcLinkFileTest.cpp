// The link file and the unit information file on a simulated card: round
// trip of every field, the writer's CRCs and fresh vector, corruption of
// each part, the link file's creation and the search for the unit's cards.
#include "CardMaker.h"
#include "OstrovelleLite/DesCipher.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using ovtest::CCardMaker;

constexpr size_t kHeaders = pclink::kFileHeaderSize + pclink::kDataHeaderSize;

// A unit with every field set and three records of different kinds.
CCardMaker FullUnit() {
  CCardMaker maker;
  maker
      .DeviceNo("DIRU1234567890AB")  // all sixteen characters, no NUL
      .Pairing(0xA1B2C3D4)
      .CcidHead(0x00C0FFEE)
      .Model(0x58)
      .FormatVersion(0x02010000)
      .AddRecord(pclink::kDataIdProgram, 0x01000203, 0x2009, 1, "\\PC\\PROGRAM", "\\UPDATE", 7, 9)
      .AddRecord(pclink::kDataIdMap, 0x02000010, 0x2010, 3, "\\PC\\MAP\\表示", "\\NAVIDATA",
                 0xDEADBEEF, 0xEE)
      .AddRecord(pclink::kDataIdMap, 0x02000020, 0x2011, 4, "\\PC\\SEARCH1", "", 0, 0);
  // Bytes the PC never interprets, to see them pass through.
  for (size_t i = 0; i < 8; ++i) maker.FileHeaderBytes()[i] = static_cast<uint8_t>(0x10 + i);
  maker.FileHeaderBytes()[20] = 0x77;
  maker.FileHeaderBytes()[31] = 0x88;
  maker.DataHeaderBytes()[32] = 0x99;
  maker.DataHeaderBytes()[59] = 0xAA;
  maker.DataHeaderBytes()[63] = 0xBB;
  maker.Records()[1].bytes[155] = 0xCC;
  maker.Records()[1].bytes[167] = 0xDD;
  return maker;
}

// The plain form of a file, deciphered here rather than by the reader.
struct PlainFile {
  std::string file_header;
  std::string data_header;
  std::vector<std::string> records;
};

PlainFile Decipher(const std::string& bytes) {
  PlainFile plain;
  uint8_t key[16] = {};
  BuildCipherKey(key);
  const auto* iv = reinterpret_cast<const uint8_t*>(bytes.data() + pclink::kIvOffset);
  plain.file_header = bytes.substr(0, pclink::kFileHeaderSize);
  std::string part = bytes.substr(pclink::kFileHeaderSize, pclink::kDataHeaderSize);
  DesCbc(reinterpret_cast<uint8_t*>(&part[0]), key, iv, 8, kDesDecrypt);
  plain.data_header = part;
  for (size_t offset = kHeaders; offset + pclink::kRecordSize <= bytes.size();
       offset += pclink::kRecordSize) {
    part = bytes.substr(offset, pclink::kRecordSize);
    DesCbc(reinterpret_cast<uint8_t*>(&part[0]), key, iv, 21, kDesDecrypt);
    plain.records.push_back(part);
  }
  return plain;
}

uint16_t StoredCrc(const std::string& part, size_t offset) {
  return LoadLe16(reinterpret_cast<const uint8_t*>(part.data() + offset));
}

uint16_t CrcOf(const std::string& part, size_t size) { return NPCrcCalc::Of(part.data(), size); }

class PcLinkFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()) << "no removable test drive"; }

  std::string LinkPath() const { return _card.Path("PCLINK.DAT"); }
  std::string UnitPath() const { return _card.Path("PC\\NAVIINFO.DAT"); }
  char Letter() const { return _card.Letter(); }

  ovtest::CTestCard _card;
  ovtest::CLogCapture _log;
};

void ExpectFullUnitFields(const CPcLinkFile& file) {
  ASSERT_TRUE(file.IsLoaded());
  EXPECT_EQ("DIRU1234567890AB", file.GetDeviceNo());
  EXPECT_EQ(0xA1B2C3D4u, file.GetPairingId());
  EXPECT_EQ(0x00C0FFEEu, file.GetCcidHead());
  EXPECT_EQ(0x58, file.GetModel());
  EXPECT_EQ(0x02010000u, file.GetFormatVersion());
  EXPECT_EQ(2, file.GetFileKind());
  ASSERT_EQ(3u, file.GetRecords().size());
  const CPcLinkRecord& map = file.GetRecords()[1];
  EXPECT_TRUE(map.HasMagic());
  EXPECT_EQ(pclink::kDataIdMap, map.DataId());
  EXPECT_EQ(0x02000010u, map.Version());
  EXPECT_EQ(0x2010, map.Year());
  EXPECT_EQ(3, map.Status());
  EXPECT_EQ("\\PC\\MAP\\表示", map.SrcPath());
  EXPECT_EQ("\\NAVIDATA", map.DstPath());
  EXPECT_EQ(0xDEADBEEFu, map.UnitWord());
  EXPECT_EQ(0xEE, map.UnitByte());
  EXPECT_EQ(0xCC, map.bytes[155]);
  EXPECT_EQ(0xDD, map.bytes[167]);
  EXPECT_EQ(0x01000203u, file.GetVersion(pclink::kDataIdProgram));
  EXPECT_EQ(0x2009, file.GetYear(pclink::kDataIdProgram));
  EXPECT_EQ(1, file.GetStatus(pclink::kDataIdProgram));
}

TEST_F(PcLinkFileTest, UnitInformationFileReadsEveryField) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, Letter());
  ExpectFullUnitFields(unit);
  EXPECT_EQ(UnitPath(), unit.GetPath());
}

TEST_F(PcLinkFileTest, WriteKeepsEveryFieldAndPassesUnknownBytesThrough) {
  CCardMaker maker = FullUnit();
  ASSERT_TRUE(maker.WriteCard(Letter(), true));
  const PlainFile before = Decipher(ovtest::ReadFileOrEmpty(LinkPath()));
  {
    CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
    ASSERT_TRUE(link.IsLoaded());
    EXPECT_TRUE(link.SetPairingId(0x11223344));
  }
  const std::string bytes = ovtest::ReadFileOrEmpty(LinkPath());
  ASSERT_EQ(kHeaders + 3 * pclink::kRecordSize, bytes.size());
  const CPcLinkFile again(CPcLinkFile::kLinkFile, Letter());
  EXPECT_EQ(0x11223344u, again.GetPairingId());
  EXPECT_EQ("DIRU1234567890AB", again.GetDeviceNo());
  EXPECT_EQ(0x00C0FFEEu, again.GetCcidHead());

  const PlainFile after = Decipher(bytes);
  // Everything but the vector, the pairing value and the CRCs is as before.
  EXPECT_EQ(before.file_header.substr(0, 12), after.file_header.substr(0, 12));
  EXPECT_EQ(before.file_header.substr(20, 8), after.file_header.substr(20, 8));
  EXPECT_EQ(before.file_header.substr(30), after.file_header.substr(30));
  EXPECT_EQ(before.data_header.substr(0, 28), after.data_header.substr(0, 28));
  EXPECT_EQ(before.data_header.substr(32, 28), after.data_header.substr(32, 28));
  EXPECT_EQ(before.data_header.substr(62), after.data_header.substr(62));
  ASSERT_EQ(3u, after.records.size());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(before.records[i], after.records[i]) << i;

  EXPECT_EQ(CrcOf(after.file_header, 28), StoredCrc(after.file_header, 28));
  EXPECT_EQ(CrcOf(after.data_header, 60), StoredCrc(after.data_header, 60));
  EXPECT_EQ(3u, LoadLe32(reinterpret_cast<const uint8_t*>(after.data_header.data() + 8)));
  for (const std::string& record : after.records) {
    EXPECT_EQ(CrcOf(record, 160), StoredCrc(record, 160));
  }
}

TEST_F(PcLinkFileTest, EachWriteTakesAFreshVector) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter(), true));
  CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  ASSERT_TRUE(link.Write());
  const std::string first = ovtest::ReadFileOrEmpty(LinkPath());
  ASSERT_TRUE(link.Write());
  const std::string second = ovtest::ReadFileOrEmpty(LinkPath());
  EXPECT_NE(first.substr(pclink::kIvOffset, 8), second.substr(pclink::kIvOffset, 8));
  EXPECT_NE(first, second);
  EXPECT_EQ(Decipher(first).records, Decipher(second).records);
  ExpectFullUnitFields(CPcLinkFile(CPcLinkFile::kLinkFile, Letter()));
}

TEST_F(PcLinkFileTest, RecordWithBadMagicIsKeptAndWrittenBack) {
  CPcLinkRecord odd;
  memcpy(odd.bytes, "GARBAGE", 8);
  odd.SetDataId(0x40000000);
  ASSERT_TRUE(FullUnit().AddRawRecord(odd).WriteCard(Letter(), true));
  CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  ASSERT_TRUE(link.IsLoaded());
  ASSERT_EQ(4u, link.GetRecords().size());
  EXPECT_FALSE(link.GetRecords()[3].HasMagic());
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルデータレコード復号化不正"));
  ASSERT_TRUE(link.Write());
  const PlainFile after = Decipher(ovtest::ReadFileOrEmpty(LinkPath()));
  ASSERT_EQ(4u, after.records.size());
  EXPECT_EQ("GARBAGE", after.records[3].substr(0, 7));
}

TEST_F(PcLinkFileTest, UnitInformationFileIsNeverWritten) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  const std::string before = ovtest::ReadFileOrEmpty(UnitPath());
  CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, Letter());
  ASSERT_TRUE(unit.IsLoaded());
  EXPECT_FALSE(unit.Write());
  EXPECT_FALSE(unit.SetPairingId(5));
  EXPECT_TRUE(_log.Contains("ナビ情報ファイルへの書込み"));
  EXPECT_EQ(before, ovtest::ReadFileOrEmpty(UnitPath()));
}

TEST_F(PcLinkFileTest, WriteDoesNotCreateAMissingLinkFile) {
  // Only the link file on the card: no other program's card search copies
  // a unit information file in here.
  ASSERT_TRUE(FullUnit().WriteFile(LinkPath()));
  CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  ASSERT_TRUE(link.IsLoaded());
  ASSERT_TRUE(DeleteFileA(LinkPath().c_str()));
  EXPECT_FALSE(link.Write());
  EXPECT_FALSE(PathFileExistsA(LinkPath().c_str()));
}

TEST_F(PcLinkFileTest, FailedWriteLeavesTheOldFileWhole) {
  ASSERT_TRUE(FullUnit().WriteFile(LinkPath()));
  const std::string before = ovtest::ReadFileOrEmpty(LinkPath());
  CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  ASSERT_TRUE(link.IsLoaded());
  // A folder where the writer's temporary file would go.
  ASSERT_TRUE(CreateDirectoryA((LinkPath() + ".new").c_str(), nullptr));
  EXPECT_FALSE(link.SetPairingId(1));
  EXPECT_EQ(before, ovtest::ReadFileOrEmpty(LinkPath()));
}

TEST_F(PcLinkFileTest, UnloadedObjectAnswersAsEmptyAndRefusesToWrite) {
  ASSERT_TRUE(ovtest::WriteFileBytes(LinkPath(), std::string(kHeaders, 'x')));
  CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  EXPECT_FALSE(link.IsLoaded());
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルデータヘッダ復号化不正"));
  EXPECT_EQ("", link.GetDeviceNo());
  EXPECT_EQ(0u, link.GetPairingId());
  EXPECT_TRUE(link.GetRecords().empty());
  EXPECT_EQ(-1, link.GetStatus(pclink::kDataIdProgram));
  EXPECT_FALSE(link.Write());
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルへの書込み時の未読み込み"));
  EXPECT_EQ(std::string(kHeaders, 'x'), ovtest::ReadFileOrEmpty(LinkPath()));
}

// The link file first: while the card holds no unit information file, no
// card search of another test process copies one over it.
constexpr int kBothKinds[] = {CPcLinkFile::kLinkFile, CPcLinkFile::kUnitInfoFile};

TEST_F(PcLinkFileTest, EveryTruncationIsRejectedUnlessItEndsOnARecord) {
  const std::string whole = FullUnit().Bytes();
  ASSERT_TRUE(CreateDirectoryA(_card.Path("PC").c_str(), nullptr));
  for (const int kind : kBothKinds) {
    const std::string path = kind == CPcLinkFile::kLinkFile ? LinkPath() : UnitPath();
    for (size_t length = 0; length < whole.size(); ++length) {
      ASSERT_TRUE(ovtest::WriteFileBytes(path, whole.substr(0, length)));
      const CPcLinkFile file(kind, Letter());
      const bool on_record = length >= kHeaders && (length - kHeaders) % pclink::kRecordSize == 0;
      EXPECT_EQ(on_record, file.IsLoaded()) << "kind " << kind << " length " << length;
      if (on_record) {
        EXPECT_EQ((length - kHeaders) / pclink::kRecordSize, file.GetRecords().size());
      }
    }
  }
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルファイルヘッダ読込失敗 0x00000026"));
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルデータヘッダ読込失敗 0x00000026"));
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルデータレコード読込失敗 0x00000026"));
}

TEST_F(PcLinkFileTest, FlippedByteInEachPartIsReadAsTheFormatSays) {
  CCardMaker maker = FullUnit();
  const std::string whole = maker.Bytes();
  ASSERT_TRUE(CreateDirectoryA(_card.Path("PC").c_str(), nullptr));
  for (const int kind : kBothKinds) {
    const std::string path = kind == CPcLinkFile::kLinkFile ? LinkPath() : UnitPath();
    for (size_t offset = 0; offset < whole.size(); ++offset) {
      std::string bytes = whole;
      bytes[offset] = static_cast<char>(bytes[offset] ^ 0x40);
      ASSERT_TRUE(ovtest::WriteFileBytes(path, bytes));
      const CPcLinkFile file(kind, Letter());
      // The vector's last byte only touches the NUL behind the seven letters
      // of the magic, which are all that is compared.
      const bool in_vector = offset >= pclink::kIvOffset && offset < pclink::kIvOffset + 7;
      const bool in_magic_block = offset >= pclink::kFileHeaderSize && offset < 40;
      SCOPED_TRACE(FormatString("kind %d offset %u", kind, static_cast<unsigned>(offset)));
      if (in_vector || in_magic_block) {
        EXPECT_FALSE(file.IsLoaded());
        continue;
      }
      ASSERT_TRUE(file.IsLoaded());
      ASSERT_EQ(3u, file.GetRecords().size());
      for (size_t r = 0; r < 3; ++r) {
        const size_t first = kHeaders + r * pclink::kRecordSize;
        const bool broken_magic = offset >= first && offset < first + 8;
        EXPECT_EQ(!broken_magic, file.GetRecords()[r].HasMagic()) << "record " << r;
      }
    }
  }
}

TEST_F(PcLinkFileTest, FileKindFollowsTheFormatVersion) {
  struct Case {
    uint32_t version;
    int kind;
  };
  for (const Case& c :
       {Case{0x00000001, 1}, Case{0x01FFFFFF, 1}, Case{0x02000000, 2}, Case{0xFF000000, 2}}) {
    ASSERT_TRUE(CCardMaker().FormatVersion(c.version).WriteCard(Letter()));
    EXPECT_EQ(c.kind, CPcLinkFile(CPcLinkFile::kUnitInfoFile, Letter()).GetFileKind())
        << std::hex << c.version;
  }
}

TEST_F(PcLinkFileTest, MapRecordLookups) {
  CCardMaker maker;
  maker.AddRecord(pclink::kDataIdWeather, 0x09000000, 0, 1, "\\PC\\MAP\\A")
      .AddRecord(pclink::kDataIdMap, 0x02000030, 0, 5, "\\PC\\MAP\\AB")
      .AddRecord(pclink::kDataIdMap, 0x02000050, 0, 6, "\\PC\\MAP\\A")
      .AddRecord(pclink::kDataIdMap, 0x02000040, 0, 7, "\\PC\\表");
  ASSERT_TRUE(maker.WriteCard(Letter()));
  const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, Letter());
  EXPECT_EQ(0x02000050u, unit.GetVersionByPath(""));
  EXPECT_EQ(0x02000030u, unit.GetVersionByPath("\\PC\\MAP\\A")) << "first in file order";
  EXPECT_EQ(0x02000040u, unit.GetVersionByPath("\\PC\\表"));
  // Half a character is no prefix: "\x95" is the lead byte of 表.
  EXPECT_EQ(0u, unit.GetVersionByPath("\\PC\\\x95"));
  EXPECT_EQ(0u, unit.GetVersionByPath("\\PC\\SEARCH"));
  EXPECT_EQ(6, unit.GetStatusByVersion(0x02000050));
  EXPECT_EQ(-1, unit.GetStatusByVersion(0x09000000)) << "not a map record";
  EXPECT_EQ(-1, unit.GetStatusByVersion(0));
  EXPECT_TRUE(unit.HasVersion(0x02000040));
  EXPECT_FALSE(unit.HasVersion(0));
  EXPECT_EQ(0u, unit.GetVersion(pclink::kDataIdTraffic));
  EXPECT_EQ(0, unit.GetYear(pclink::kDataIdTraffic));
  EXPECT_EQ(0x09000000u, unit.GetVersion(pclink::kDataIdWeather));
}

TEST(PcLinkFileFormat, VersionTexts) {
  EXPECT_EQ("2.000010", CPcLinkFile::FormatVersion6(0x02000010));
  EXPECT_EQ("1A.ABCDEF", CPcLinkFile::FormatVersion6(0x1AABCDEF));
  EXPECT_EQ("0.000000", CPcLinkFile::FormatVersion6(0));
  EXPECT_EQ("-", CPcLinkFile::FormatVersion2(0));
  EXPECT_EQ("2.AB", CPcLinkFile::FormatVersion2(0x02ABCDEF));
  EXPECT_EQ("2.ABC", CPcLinkFile::FormatVersion3(0x02ABCDEF));
  EXPECT_EQ("0.000", CPcLinkFile::FormatVersion3(0));
}

TEST(PcLinkFileRead, NoDriveOrNoCard) {
  ovtest::CLogCapture log;
  EXPECT_FALSE(CPcLinkFile(CPcLinkFile::kLinkFile, 0).IsLoaded());
  const DWORD drives = GetLogicalDrives();
  char missing = 0;
  for (char c = 'Z'; c >= 'D' && !missing; --c) {
    if (!(drives & (1u << (c - 'A')))) missing = c;
  }
  ASSERT_NE(0, missing);
  EXPECT_FALSE(CPcLinkFile(CPcLinkFile::kLinkFile, missing).IsLoaded());
  EXPECT_FALSE(CPcLinkFile(CPcLinkFile::kUnitInfoFile, missing).IsLoaded());
  EXPECT_TRUE(log.Contains("PCLINKファイル読み込み時のSD無し"));
  EXPECT_TRUE(log.Contains("NAVIINFOファイル読み込み時のSD無し"));
}

TEST_F(PcLinkFileTest, CopyOutingFileCreatesTheLinkFileFromTheUnitFile) {
  EXPECT_FALSE(CopyOutingFile(Letter(), false));
  EXPECT_TRUE(_log.Contains("DIRU情報非存在"));
  EXPECT_FALSE(CopyOutingFile(0, false));
  EXPECT_TRUE(_log.Contains("お出かけ管理ファイルコピー時のターゲットドライブ未指定"));

  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  EXPECT_TRUE(CopyOutingFile(Letter(), false));
  EXPECT_TRUE(_log.Contains("お出かけ管理コピー完了"));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(UnitPath()), ovtest::ReadFileOrEmpty(LinkPath()));
}

TEST_F(PcLinkFileTest, CopyOutingFileCarriesThePairingIntoAnExistingLinkFile) {
  CCardMaker maker = FullUnit();
  ASSERT_TRUE(maker.Pairing(1).WriteFile(LinkPath()));
  ASSERT_TRUE(maker.Pairing(2).WriteCard(Letter()));
  EXPECT_TRUE(CopyOutingFile(Letter(), false));
  const CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  EXPECT_EQ(2u, link.GetPairingId());
  EXPECT_EQ(3u, link.GetRecords().size());
  EXPECT_TRUE(_log.Contains("ペアリング情報セット成功"));
  EXPECT_TRUE(_log.Contains("お出かけ管理存在時のコピー要求->終了"));
}

TEST_F(PcLinkFileTest, CopyOutingFileLeavesADamagedLinkFileAlone) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  ASSERT_TRUE(ovtest::WriteFileBytes(LinkPath(), "damaged"));
  EXPECT_TRUE(CopyOutingFile(Letter(), false));
  EXPECT_TRUE(_log.Contains("ペアリング情報チェック時のファイル読み込み失敗"));
  EXPECT_EQ("damaged", ovtest::ReadFileOrEmpty(LinkPath()));

  EXPECT_TRUE(CopyOutingFile(Letter(), true));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(UnitPath()), ovtest::ReadFileOrEmpty(LinkPath()));
}

TEST_F(PcLinkFileTest, FindDiruSDCardsFindsThisCardAndCreatesItsLinkFile) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  std::vector<char> letters = {'?'};
  const int count = FindDiruSDCards(letters);
  EXPECT_EQ(static_cast<int>(letters.size()), count);
  EXPECT_NE(letters.end(), std::find(letters.begin(), letters.end(), Letter()));
  EXPECT_EQ(letters.end(), std::find(letters.begin(), letters.end(), '?'));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(UnitPath()), ovtest::ReadFileOrEmpty(LinkPath()));
}

TEST_F(PcLinkFileTest, FindDiruSDCardsLooksOnlyAtTheNamedDrives) {
  ASSERT_TRUE(FullUnit().WriteCard(Letter()));
  std::vector<char> letters;
  SetEnvironmentVariableA("OV_CARD_DRIVES", "Z");
  EXPECT_EQ(0, FindDiruSDCards(letters));
  EXPECT_FALSE(PathFileExistsA(LinkPath().c_str()));
  SetEnvironmentVariableA("OV_CARD_DRIVES", std::string(1, Letter()).c_str());
  EXPECT_EQ(1, FindDiruSDCards(letters)) << "the test card alone is searched";
  EXPECT_TRUE(PathFileExistsA(LinkPath().c_str()));
}

TEST_F(PcLinkFileTest, FindDiruSDCardsPassesOverACardWhoseUnitFileDoesNotLoad) {
  ASSERT_TRUE(CreateDirectoryA(_card.Path("PC").c_str(), nullptr));
  ASSERT_TRUE(ovtest::WriteFileBytes(UnitPath(), std::string(200, '\x5A')));
  std::vector<char> letters;
  FindDiruSDCards(letters);
  EXPECT_EQ(letters.end(), std::find(letters.begin(), letters.end(), Letter()));
  EXPECT_FALSE(PathFileExistsA(LinkPath().c_str()));
  EXPECT_FALSE(IsDiruSDCard(Letter()));
}

TEST_F(PcLinkFileTest, CardMakerProgramWritesWhatTheReaderFinds) {
  const std::string tool = ovtest::ExecutableFolder() + "..\\..\\tools\\cardmaker\\OvCardMaker.exe";
  const std::string command = FormatString(
      "\"%s\" %c: --device DIRU42 --pairing 2A --ccid 1F --model 58 --format 01000000 --link "
      "--record 30010002:02000010:2010:3:\\PC\\MAP:\\NAVIDATA",
      tool.c_str(), Letter());
  const ovtest::ProcessResult result = ovtest::RunProcess(command, 60000);
  ASSERT_TRUE(result.finished);
  ASSERT_EQ(0u, result.exit_code);
  const CPcLinkFile link(CPcLinkFile::kLinkFile, Letter());
  ASSERT_TRUE(link.IsLoaded());
  EXPECT_EQ("DIRU42", link.GetDeviceNo());
  EXPECT_EQ(0x2Au, link.GetPairingId());
  EXPECT_EQ(0x1Fu, link.GetCcidHead());
  EXPECT_EQ(0x58, link.GetModel());
  EXPECT_EQ(1, link.GetFileKind());
  EXPECT_EQ(0x02000010u, link.GetVersionByPath("\\PC\\MAP"));
  ASSERT_EQ(1u, link.GetRecords().size());
  EXPECT_EQ("\\NAVIDATA", link.GetRecords()[0].DstPath());
  EXPECT_EQ(0x2010, link.GetRecords()[0].Year());
}

}  // namespace

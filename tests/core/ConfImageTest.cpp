// Configuration images: a hand-laid known answer, name splitting, the
// images that must be refused, round trips through the test builder, and
// truncated or damaged images.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ConfImageBuilder.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "TestSupport.h"
#include "map/RNW_ParseConf.h"

using ovtest::CConfImageBuilder;
using ovtest::ConfFileSpec;

namespace {

std::string Text(const CxString& s) { return s.ToString(); }

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

int Parse(const std::string& image, RNW_ConfInfo& info, RNW_ParseConf* parser = nullptr) {
  RNW_ParseConf local;
  RNW_ParseConf& p = parser ? *parser : local;
  return p.Parse(image.data(), image.size(), info);
}

void ExpectEmpty(const RNW_ConfInfo& info) {
  EXPECT_EQ(info.GetFiles().GetCount(), 0u);
  EXPECT_EQ(info.GetStrings().GetCount(), 0u);
  EXPECT_EQ(info.GetPaths().GetCount(), 0u);
  EXPECT_EQ(info.GetXmlDocument(), nullptr);
  EXPECT_EQ(info.GetHeader().file_count, 0);
  EXPECT_EQ(info.GetHeader().title.GetLength(), 0);
}

// A rich image for the corruption sweeps.
std::string RichImage(bool with_xml) {
  CConfImageBuilder b;
  b.Title("地図データ").Path("MAP/A").Path("表\\ソ/");
  b.SplitFile("map.dat", {"abcdef", "ghij", "k"}, 0);
  b.WholeFile("https://h.example/d/sub/", 0, 1);
  b.SplitFile("https://h.example/d/x.bin", {"123456789"}, 1, 0x400);
  b.String("nested.CNF").String("https://h.example/other.CNF");
  if (with_xml) b.Xml("<conf v='2'><item n='1'>w</item><item n='2' /></conf>");
  return b.Build();
}

// What a successful parse guarantees, whatever the bytes were.
void ExpectConsistent(RNW_ConfInfo& info) {
  const RNW_ConfHeaderInfo& h = info.GetHeader();
  EXPECT_EQ(info.GetFiles().GetCount(), h.file_count);
  EXPECT_EQ(info.GetStrings().GetCount(), h.string_count);
  EXPECT_EQ(info.GetPaths().GetCount(), h.path_count);
  EXPECT_EQ(info.GetXmlDocument() != nullptr, (h.flags & kConfHeaderHasXml) != 0);
  for (const RNW_ConfFileInfo& f : info.GetFiles()) {
    EXPECT_LT(f.GetPathIndex(), h.path_count);
    EXPECT_GT(f.GetFileName().GetLength(), 0);
    if (f.IsFolder()) {
      EXPECT_TRUE(f.IsWhole());
    }
    if (f.IsWhole()) {
      EXPECT_EQ(f.GetPieceCount(), 0);
    }
    uint64_t total = 0;
    for (const RNW_ConfSplitFileInfo& piece : f.GetPieces()) total += piece.GetSize();
    EXPECT_EQ(f.GetPiecesSize(), total);
  }
}

}  // namespace

TEST(ConfImage, HandLaidImage) {
  const std::string image = Bytes({
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,  // values
      0x00, 0x03, 0x00, 0x00,                                                  // version, flags
      0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,  // files, strings, paths, spare
      0x00,                                            // empty title: the name starts at 25
      'a',  '.',  'b',  'i',  'n',  0x00, 0x00,        // name to 30, padding to 32
      0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0xBE, 0xEF,  // size, flags (split), 16-bit value
      0xCA, 0xFE, 0xBA, 0xBE, 0x00, 0x00, 0x00, 0x02,  // 32-bit value, path index, pieces
      0x00, 0x00, 0x00, 0x0A, 0x12, 0x34, 0x00, 0x00,  // piece 0
      0x00, 0x00, 0x00, 0x06, 0x56, 0x78, 0x00, 0x00,  // piece 1
      'n',  '.',  'C',  'N',  'F',  0x00,              // string
      'd',  '/',  'e',  0x00,                          // path
  });
  RNW_ConfInfo info;
  RNW_ParseConf parser;
  EXPECT_EQ(parser.GetVersion(), 20);
  ASSERT_EQ(Parse(image, info, &parser), 1) << parser.GetErrorText();
  EXPECT_EQ(parser.GetVersion(), 3);

  const RNW_ConfHeaderInfo& h = info.GetHeader();
  EXPECT_EQ(h.value1, 0x01020304u);
  EXPECT_EQ(h.value2, 0x05060708u);
  EXPECT_EQ(h.value3, 0x090A0B0Cu);
  EXPECT_EQ(h.version, 3);
  EXPECT_EQ(h.flags, 0);
  EXPECT_EQ(Text(h.title), "");

  RNW_ConfFileInfo* f = info.NextFile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.NextFile(), nullptr);
  EXPECT_FALSE(f->IsUrl());
  EXPECT_FALSE(f->IsFolder());
  EXPECT_EQ(Text(f->GetBaseUrl()), "");
  EXPECT_EQ(Text(f->GetFileName()), "a.bin");
  EXPECT_EQ(f->GetSize(), 16u);
  EXPECT_EQ(f->GetValue16(), 0xBEEF);
  EXPECT_EQ(f->GetValue32(), 0xCAFEBABEu);
  EXPECT_EQ(f->GetPieceCount(), 2);
  EXPECT_EQ(Text(f->GetPath()), "d\\e");
  EXPECT_EQ(f->GetPiecesSize(), 16u);
  RNW_ConfSplitFileInfo* p0 = f->NextPiece();
  RNW_ConfSplitFileInfo* p1 = f->NextPiece();
  ASSERT_TRUE(p0 && p1);
  EXPECT_EQ(f->NextPiece(), nullptr);
  EXPECT_EQ(Text(p0->GetName()), "a.bin.000");
  EXPECT_EQ(p0->GetSize(), 10u);
  EXPECT_EQ(p0->GetCrc(), 0x1234);
  EXPECT_EQ(Text(p1->GetName()), "a.bin.001");
  EXPECT_EQ(p1->GetCrc(), 0x5678);
  f->ResetPieceIterator();
  EXPECT_EQ(f->NextPiece(), p0);

  EXPECT_EQ(Text(*info.NextString()), "n.CNF");
  EXPECT_EQ(info.NextString(), nullptr);
  EXPECT_EQ(info.GetXmlDocument(), nullptr);

  // The builder lays out the same bytes.
  ConfFileSpec spec;
  spec.name = "a.bin";
  spec.size = 16;
  spec.value16 = 0xBEEF;
  spec.value32 = 0xCAFEBABE;
  spec.pieces = {{10, 0x1234}, {6, 0x5678}};
  const std::string built = CConfImageBuilder()
                                .Values(0x01020304, 0x05060708, 0x090A0B0C)
                                .Version(3)
                                .File(spec)
                                .String("n.CNF")
                                .Path("d/e")
                                .Build();
  EXPECT_EQ(built, image);
}

struct NameCase {
  const char* name;
  std::string entry;
  bool url;
  bool folder;
  std::string base;
  std::string file;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class ConfImageNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ConfImageNameTest, Splits) {
  const NameCase& c = GetParam();
  const std::string image = CConfImageBuilder().WholeFile(c.entry, 1).Path("p").Build();
  RNW_ConfInfo info;
  RNW_ParseConf parser;
  ASSERT_EQ(parser.Parse(image.data(), image.size(), info), 1) << parser.GetErrorText();
  const RNW_ConfFileInfo* f = info.NextFile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->IsUrl(), c.url);
  EXPECT_EQ(f->IsFolder(), c.folder);
  EXPECT_EQ(Text(f->GetBaseUrl()), c.base);
  EXPECT_EQ(Text(f->GetFileName()), c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfImageNameTest,
    ::testing::Values(
        NameCase{"HttpsFolder", "https://h/p/q/", true, true, "https://h/p/", "q/"},
        NameCase{"HttpFile", "http://h/dir/map.dat", true, false, "http://h/dir/", "map.dat"},
        NameCase{"BackslashInUrl", "https://h\\x", true, false, "https://h\\", "x"},
        NameCase{"SchemeCaseMatters", "HTTP://h/x", false, false, "", "HTTP://h/x"},
        NameCase{"PlainPath", "dir\\sub/f.bin", false, false, "", "dir\\sub/f.bin"},
        NameCase{"PlainFolder", "sub/", false, true, "", "sub/"},
        NameCase{"BackslashFolder", "sub\\", false, true, "", "sub\\"},
        // The second byte of 表 is 0x5C: neither a separator nor a folder mark.
        NameCase{"DoubleByteEnd", "https://h/表", true, false, "https://h/", "表"},
        NameCase{"DoubleByteBeforeSlash", "https://h/表/f", true, false, "https://h/表/", "f"}),
    ovtest::CaseName());

TEST(ConfImage, PiecesAreNamedAfterTheFileName) {
  const std::vector<std::string> contents = {"aa", "bbb", "c", "dd", "e", "f",
                                             "g",  "h",   "i", "j",  "k"};
  const std::string image =
      CConfImageBuilder().SplitFile("https://h/d/m.dat", contents).Path("p").Build();
  RNW_ConfInfo info;
  ASSERT_EQ(Parse(image, info), 1);
  RNW_ConfFileInfo* f = info.NextFile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetPiecesSize(), 15u);
  size_t i = 0;
  for (RNW_ConfSplitFileInfo* p = f->NextPiece(); p; p = f->NextPiece(), ++i) {
    ASSERT_LT(i, contents.size());
    char expected[32];
    snprintf(expected, sizeof expected, "m.dat.%03u", static_cast<unsigned>(i));
    EXPECT_EQ(Text(p->GetName()), expected);
    EXPECT_EQ(p->GetSize(), contents[i].size());
    EXPECT_EQ(p->GetCrc(), NPCrcCalc::Of(contents[i].data(), contents[i].size()));
  }
  EXPECT_EQ(i, contents.size());
}

TEST(ConfImage, EveryNameLengthIsPaddedToTheBlock) {
  for (size_t length = 1; length <= 9; ++length) {
    for (size_t title = 0; title <= 4; ++title) {
      const std::string name(length, 'n');
      const std::string image = CConfImageBuilder()
                                    .Title(std::string(title, 't'))
                                    .SplitFile(name, {"xyz"}, 1)
                                    .WholeFile("w", 77, 0)
                                    .Path("a")
                                    .Path("b")
                                    .Build();
      RNW_ConfInfo info;
      ASSERT_EQ(Parse(image, info), 1) << length << " " << title;
      const RNW_ConfFileInfo* first = info.GetFiles().GetAt(0);
      const RNW_ConfFileInfo* second = info.GetFiles().GetAt(1);
      EXPECT_EQ(Text(first->GetFileName()), name);
      EXPECT_EQ(first->GetSize(), 3u);
      EXPECT_EQ(Text(first->GetPath()), "b");
      EXPECT_EQ(second->GetSize(), 77u);
      EXPECT_EQ(Text(second->GetPath()), "a");
    }
  }
}

TEST(ConfImage, RoundTripOfARichImage) {
  RNW_ConfInfo info;
  ASSERT_EQ(Parse(RichImage(true), info), 1);
  const RNW_ConfHeaderInfo& h = info.GetHeader();
  EXPECT_EQ(h.value1, 0x11223344u);
  EXPECT_EQ(h.flags, kConfHeaderHasXml);
  EXPECT_EQ(Text(h.title), "地図データ");
  ASSERT_EQ(info.GetPaths().GetCount(), 2u);
  EXPECT_EQ(Text(*info.GetPaths().GetAt(0)), "MAP\\A");
  EXPECT_EQ(Text(*info.GetPaths().GetAt(1)), "表\\ソ\\");

  ASSERT_EQ(info.GetFiles().GetCount(), 3u);
  RNW_ConfFileInfo* map = info.NextFile();
  RNW_ConfFileInfo* folder = info.NextFile();
  RNW_ConfFileInfo* packed = info.NextFile();
  EXPECT_EQ(info.NextFile(), nullptr);
  EXPECT_EQ(map->GetPieceCount(), 3);
  EXPECT_EQ(map->GetSize(), 11u);
  EXPECT_EQ(Text(map->GetPath()), "MAP\\A");
  EXPECT_TRUE(folder->IsFolder());
  EXPECT_EQ(Text(folder->GetFileName()), "sub/");
  EXPECT_EQ(Text(folder->GetPath()), "表\\ソ\\");
  EXPECT_EQ(packed->GetFlags(), kConfFileFlag400);
  EXPECT_EQ(Text(packed->GetBaseUrl()), "https://h.example/d/");
  info.ResetFileIterator();
  EXPECT_EQ(info.NextFile(), map);

  EXPECT_EQ(Text(*info.NextString()), "nested.CNF");
  EXPECT_EQ(Text(*info.NextString()), "https://h.example/other.CNF");

  const RNW_XmlDocument* xml = info.GetXmlDocument();
  ASSERT_NE(xml, nullptr);
  const RNW_Element* root = xml->GetDocumentElement();
  EXPECT_EQ(Text(root->GetAttribute("v")), "2");
  EXPECT_EQ(root->GetChildElementsByName("item").GetLength(), 2u);
  ExpectConsistent(info);
}

TEST(ConfImage, AnEmptyImageWithoutFiles) {
  RNW_ConfInfo info;
  ASSERT_EQ(Parse(CConfImageBuilder().Title("t").Build(), info), 1);
  EXPECT_EQ(Text(info.GetHeader().title), "t");
  EXPECT_EQ(info.NextFile(), nullptr);
  EXPECT_EQ(info.NextString(), nullptr);
}

TEST(ConfImage, BytesAfterTheXmlRootAreNotRead) {
  RNW_ConfInfo info;
  EXPECT_EQ(Parse(CConfImageBuilder().Xml(std::string("<a />\r\n\0garbage", 15)).Build(), info), 1);
}

struct RefusedCase {
  const char* name;
  std::string image;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class ConfImageRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ConfImageRefusedTest, FailsAndLeavesTheInfoEmpty) {
  RNW_ConfInfo info;
  // A good parse first, so that the failure is seen to clear it.
  ASSERT_EQ(Parse(RichImage(true), info), 1);
  RNW_ParseConf parser;
  EXPECT_EQ(Parse(GetParam().image, info, &parser), 0);
  EXPECT_FALSE(parser.GetErrorText().empty());
  ExpectEmpty(info);
}

ConfFileSpec FolderWithoutWholeFlag() {
  ConfFileSpec spec;
  spec.name = "https://h/p/q/";
  return spec;
}

ConfFileSpec WholeWithPieces() {
  ConfFileSpec spec;
  spec.name = "w";
  spec.flags = 0x200;
  spec.pieces = {{1, 2}};
  return spec;
}

ConfFileSpec EmptyName() {
  ConfFileSpec spec;
  spec.flags = 0x200;
  return spec;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfImageRefusedTest,
    ::testing::Values(
        RefusedCase{"Empty", ""},
        RefusedCase{"ShortHeader", CConfImageBuilder().Build().substr(0, 23)},
        RefusedCase{"TitleWithoutNul", CConfImageBuilder().Title("abc").Build().substr(0, 27)},
        RefusedCase{"FolderWithoutWholeFlag",
                    CConfImageBuilder().File(FolderWithoutWholeFlag()).Path("p").Build()},
        RefusedCase{"WholeFileWithPieces",
                    CConfImageBuilder().File(WholeWithPieces()).Path("p").Build()},
        RefusedCase{"EmptyFileName", CConfImageBuilder().File(EmptyName()).Path("p").Build()},
        RefusedCase{"FilesWithoutPaths", CConfImageBuilder().WholeFile("f", 1).Build()},
        RefusedCase{"PathIndexEqualsPathCount",
                    CConfImageBuilder().WholeFile("f", 1, 2).Path("a").Path("b").Build()},
        RefusedCase{"OneTrailingByte", CConfImageBuilder().Path("a").Trailer("x").Build()},
        RefusedCase{"XmlThatDoesNotParse", CConfImageBuilder().Xml("<a>one two</a>").Build()},
        RefusedCase{"XmlFlagWithoutXml", CConfImageBuilder().Xml("").Build()},
        RefusedCase{"MoreStringsThanThere",
                    CConfImageBuilder().String("s").Counts(-1, 2, -1).Build()},
        RefusedCase{"MoreFilesThanThere",
                    CConfImageBuilder().WholeFile("f", 1).Path("p").Counts(2, -1, -1).Build()}),
    ovtest::CaseName());

TEST(ConfImage, NullBytesFail) {
  RNW_ConfInfo info;
  RNW_ParseConf parser;
  EXPECT_EQ(parser.Parse(nullptr, 24, info), 0);
}

TEST(ConfImage, EveryTruncationFails) {
  for (const bool with_xml : {false, true}) {
    const std::string image = RichImage(with_xml);
    RNW_ConfInfo info;
    ASSERT_EQ(Parse(image, info), 1);
    for (size_t n = 0; n < image.size(); ++n) {
      RNW_ParseConf parser;
      EXPECT_EQ(Parse(image.substr(0, n), info, &parser), 0) << "length " << n;
      ExpectEmpty(info);
    }
  }
}

TEST(ConfImage, FlippedBytesAreRefusedOrConsistent) {
  const std::string image = RichImage(true);
  RNW_ConfInfo info;
  for (size_t at = 0; at < image.size(); ++at) {
    for (const unsigned char mask : {0x01, 0x04, 0x80, 0xFF}) {
      std::string broken = image;
      broken[at] = static_cast<char>(broken[at] ^ mask);
      RNW_ParseConf parser;
      if (Parse(broken, info, &parser) == 1) {
        ExpectConsistent(info);
      } else {
        EXPECT_FALSE(parser.GetErrorText().empty());
        ExpectEmpty(info);
      }
    }
  }
}

TEST(ConfImage, RandomDamageIsRefusedOrConsistent) {
  const std::string image = RichImage(true);
  std::mt19937 random(20240601);
  RNW_ConfInfo info;
  for (int round = 0; round < 3000; ++round) {
    std::string broken = image;
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < changes; ++i) {
      broken[random() % broken.size()] = static_cast<char>(random() & 0xFF);
    }
    broken.resize(random() % (broken.size() + 1));
    if (Parse(broken, info) == 1) {
      ExpectConsistent(info);
    } else {
      ExpectEmpty(info);
    }
  }
}

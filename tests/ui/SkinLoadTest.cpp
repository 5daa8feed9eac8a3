// Loading a definition: includes and language files with their order and
// cycles, macros, classes, the string table, the cache, and the real
// resources and skin folder.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "MessageBoxCapture.h"
#include "OstrovelleLite/WholeFile.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "Threads.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

using uitest::SkinText;

std::string Value(const ui::SkinDefinition& d, const std::string& section, const std::string& key,
                  size_t i = 0) {
  return d.GetSection(section).GetValues(key).at(i);
}

// The exception's text; the boxes shown on the way are left in `boxes`.
std::string LoadError(const std::string& name, HMODULE module) {
  try {
    ui::SkinDefinition::Load(name, module);
  } catch (const ui::CSkinWindowException& e) {
    return e.what();
  }
  return "(loaded)";
}

std::vector<std::string> BoxTexts(const ovtest::CMessageBoxCapture& capture) {
  std::vector<std::string> texts;
  for (const auto& box : capture.Boxes()) texts.push_back(ToMultiByte(box.text));
  return texts;
}

class SkinLoadTest : public ::testing::Test {
 protected:
  void Add(const std::string& name, std::string text) { _source.Add(_module, name, text); }
  ui::SkinDefinition Load(const std::string& name) {
    return ui::SkinDefinition::Load(name, _module);
  }

  uitest::CMemorySkinSource _source;
  ovtest::CMessageBoxCapture _boxes;
  const HMODULE _module = uitest::FreshModule();
};

TEST_F(SkinLoadTest, IncludingFileWinsOverItsIncludesAndLanguageFilesComeLast) {
  Add("A.txt", SkinText({"#include \"B.txt\"", "#language L.txt", "#include D.txt", "S{K=a;}"}));
  Add("B.txt", SkinText({"#include \"C.txt\"", "S{K=b;KB=b;KBC=b;}"}));
  Add("C.txt", SkinText({"S{K=c;KC=c;KBC=c;KCD=c;}", "T{X=c;}"}));
  Add("D.txt", SkinText({"S{KCD=d;KDL=d;}"}));
  Add("L.txt", SkinText({"S{K=l;KDL=l;KL=l;}"}));
  const auto d = Load("A.txt");
  EXPECT_EQ(Value(d, "S", "K"), "a");
  EXPECT_EQ(Value(d, "S", "KB"), "b");
  EXPECT_EQ(Value(d, "S", "KBC"), "b");
  EXPECT_EQ(Value(d, "S", "KC"), "c");
  EXPECT_EQ(Value(d, "S", "KCD"), "c");  // the first include wins over the second
  EXPECT_EQ(Value(d, "S", "KDL"), "d");
  EXPECT_EQ(Value(d, "S", "KL"), "l");
  EXPECT_EQ(Value(d, "T", "X"), "c");
  EXPECT_EQ(d.GetSection(std::string("S")).GetValues("K").size(), 1u);  // replaced, not appended
  EXPECT_TRUE(_boxes.Boxes().empty());
}

TEST_F(SkinLoadTest, EachFileIsReadOnceAndCyclesEnd) {
  Add("A.txt", SkinText({"#include B.txt", "#include B.txt", "#include C.txt", "S{A=1;}"}));
  Add("B.txt", SkinText({"#include A.txt", "#include C.txt", "S{B=1;}"}));
  Add("C.txt", SkinText({"#include B.txt", "#language C.txt", "S{C=1;}"}));
  const auto d = Load("A.txt");
  EXPECT_EQ(Value(d, "S", "A"), "1");
  EXPECT_EQ(Value(d, "S", "B"), "1");
  EXPECT_EQ(Value(d, "S", "C"), "1");
  // The file loaded first is not on the include list: B's include reads it
  // once more, after which every name is known.
  EXPECT_EQ(_source.Reads("A.txt"), 2);
  EXPECT_EQ(_source.Reads("B.txt"), 1);
  EXPECT_EQ(_source.Reads("C.txt"), 2);  // once as an include, once as a language file
}

TEST_F(SkinLoadTest, EveryLevelOfAFailedIncludeShowsItsBoxInnermostFirst) {
  Add("A.txt", SkinText({"#include B.txt"}));
  Add("B.txt", SkinText({"S{}", "#include C.txt"}));
  Add("C.txt", SkinText({"S{K=1 2;}"}));
  const std::string inner = "C.txt line 2:区切り文字が見つかりません。";
  const std::string middle = "[C.txtの取り込みエラー]" + inner;
  const std::string outer = "[B.txtの取り込みエラー]" + middle;
  EXPECT_EQ(LoadError("A.txt", _module), outer);
  EXPECT_EQ(BoxTexts(_boxes), (std::vector<std::string>{inner, middle, outer}));
}

TEST_F(SkinLoadTest, MissingFilesFailWithTheOpenError) {
  EXPECT_EQ(LoadError("none.txt", _module), "skin file open error");
  Add("A.txt", SkinText({"#language \"gone.txt\""}));
  EXPECT_EQ(LoadError("A.txt", _module), "[gone.txtの取り込みエラー]skin file open error");
  EXPECT_EQ(_boxes.Boxes().size(), 3u);
}

TEST_F(SkinLoadTest, LongIncludeChainsEndWithTheIncludeText) {
  for (int i = 0; i < 200; ++i) {
    Add(FormatString("f%d.txt", i), SkinText({FormatString("#include f%d.txt", i + 1).c_str()}));
  }
  const std::string error = LoadError("f0.txt", _module);
  EXPECT_EQ(error.rfind("[f1.txtの取り込みエラー][f2.txtの取り込みエラー]", 0), 0u) << error;
  EXPECT_NE(error.find("skin file open error"), std::string::npos);
  EXPECT_LT(_boxes.Boxes().size(), 40u);
  EXPECT_EQ(_source.Reads("f100.txt"), 0);
}

TEST_F(SkinLoadTest, ReplacementTableReplacesWholeValuesWithoutRegardToCase) {
  // The table ends the file, so its last key has no value at all.
  Add("A.txt",
      SkinText({"S{C=%red%,%RED%,x%Red%,%Red%x;E=%Empty%;F=%chain%;N=%None%;}", "T{K=%Red%;}",
                "ReplacementTable{%Red%=255,1;%Empty%=;%Chain%=%Red2%;%Red2%=254;%None%"}));
  const auto d = Load("A.txt");
  EXPECT_FALSE(d.HasSection("ReplacementTable"));
  EXPECT_EQ(d.GetSection(std::string("S")).GetValues("C"),
            (ui::SkinValues{"255", "255", "x%Red%", "%Red%x"}));
  EXPECT_EQ(Value(d, "S", "E"), "");
  EXPECT_EQ(Value(d, "S", "F"), "254");  // %Chain% comes before %Red2%
  EXPECT_EQ(Value(d, "S", "N"), "");
  EXPECT_EQ(Value(d, "T", "K"), "255");
}

TEST_F(SkinLoadTest, MacrosOfIncludedFilesApplyEverywhere) {
  Add("A.txt", SkinText({"#include B.txt", "S{K=%M%;}"}));
  Add("B.txt", SkinText({"ReplacementTable{%M%=\"from b\";}", "T{K=%m%;}"}));
  const auto d = Load("A.txt");
  EXPECT_EQ(Value(d, "S", "K"), "from b");
  EXPECT_EQ(Value(d, "T", "K"), "from b");
}

TEST_F(SkinLoadTest, ClassesInheritAndTheirOwnKeysWin) {
  Add("A.txt", SkinText({"Top{A=top;B=top;C=top;}", "Mid{Class=Top;B=mid;M=mid;}",
                         "Leaf{Class=\"Mid\";C=leaf;}", "Self{Class=Self;K=1;}", "X{Class=Y;K=x;}",
                         "Y{Class=X;L=y;}"}));
  const auto d = Load("A.txt");
  const auto leaf = d.GetSection(std::string("Leaf"));
  EXPECT_EQ(leaf.Name(), "Leaf");
  EXPECT_FALSE(leaf.Has("Class"));
  EXPECT_EQ(leaf.GetValues("A").at(0), "top");
  EXPECT_EQ(leaf.GetValues("B").at(0), "mid");
  EXPECT_EQ(leaf.GetValues("C").at(0), "leaf");
  EXPECT_EQ(leaf.GetValues("M").at(0), "mid");
  EXPECT_EQ(d.GetSection(std::string("Self")).Keys().size(), 1u);
  // A cycle ends after one pass: each side has both keys.
  EXPECT_EQ(Value(d, "X", "L"), "y");
  EXPECT_EQ(Value(d, "Y", "K"), "x");
  EXPECT_TRUE(_boxes.Boxes().empty());
}

struct ClassErrorCase {
  const char* name;
  std::vector<const char*> lines;
  const char* error;
};

void PrintTo(const ClassErrorCase& c, std::ostream* os) { *os << c.name; }

class SkinClassErrorTest : public ::testing::TestWithParam<ClassErrorCase> {};

TEST_P(SkinClassErrorTest, FailsWithItsText) {
  uitest::CMemorySkinSource source;
  ovtest::CMessageBoxCapture boxes;
  const HMODULE module = uitest::FreshModule();
  std::string text = "<header>";
  for (const char* line : GetParam().lines) text += std::string("\r\n") + line;
  source.Add(module, "A.txt", text);
  EXPECT_EQ(LoadError("A.txt", module), GetParam().error);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(ToMultiByte(boxes.Boxes()[0].text), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinClassErrorTest,
    ::testing::Values(
        ClassErrorCase{
            "NoSuchSection", {"S{Class=Nowhere;}"}, "S 無効な Class(Nowhere)が指定されました"},
        ClassErrorCase{"TwoValues",
                       {"P{}", "S{Class=P,Q;}"},
                       "S/Classのパラメータは 1個必要ですが、2個指定されています"},
        ClassErrorCase{"NoValue", {"P{}", "S{Class=;}"}, "S 無効な Class()が指定されました"},
        ClassErrorCase{"ParentOfParentMissing",
                       {"P{Class=Q;}", "S{Class=P;}"},
                       "P 無効な Class(Q)が指定されました"}),
    ovtest::CaseName());

TEST_F(SkinLoadTest, LongClassChainsEndWithTheClassText) {
  std::string text = "<header>";
  for (int i = 0; i < 5000; ++i) text += FormatString("\r\nC%05d{Class=C%05d;}", i, i + 1);
  text += "\r\nC05000{K=1;}";
  Add("A.txt", text);
  const std::string error = LoadError("A.txt", _module);
  EXPECT_NE(error.find(" 無効な Class("), std::string::npos) << error;
  EXPECT_EQ(_boxes.Boxes().size(), 1u);
}

TEST_F(SkinLoadTest, StringTableTurnsEscapesIntoCharacters) {
  Add("A.txt", SkinText({"StringTable{Multi=\"a\\nb\\rc\\0x22d\\0x22\";Two=first,second;",
                         "Empty=;Sjis=\"表n ソr\";None"}));
  const auto table = Load("A.txt").GetStringTable();
  EXPECT_EQ(table.at("Multi"), "a\nb\rc\"d\"");
  EXPECT_EQ(table.at("Two"), "first");
  EXPECT_EQ(table.count("None"), 0u);
  EXPECT_EQ(table.at("Empty"), "");
  // The second byte of 表 and ソ is a backslash; it starts no escape.
  EXPECT_EQ(table.at("Sjis"), "表n ソr");
}

TEST_F(SkinLoadTest, MissingSectionsAreNamed) {
  Add("A.txt", SkinText({"Base{}"}));
  const auto d = Load("A.txt");
  EXPECT_THROW(d.GetStringTable(), ui::CSkinWindowException);
  EXPECT_THROW(d.GetSection(ui::SkinItemDescriptor{"Button", 2000}), ui::CSkinWindowException);
  EXPECT_NO_THROW(d.RequireSections({"Base"}));
  EXPECT_THROW(d.RequireSections({"Base", "Title", "Other"}), ui::CSkinWindowException);
  EXPECT_EQ(BoxTexts(_boxes),
            (std::vector<std::string>{"StringTableが記述されていません",
                                      "Buttonが記述されていません", "Titleが記述されていません"}));
}

TEST_F(SkinLoadTest, SecondLoadComesFromTheCacheAsACopy) {
  Add("A.txt", SkinText({"#include B.txt", "S{K=1;}"}));
  Add("B.txt", SkinText({"T{K=2;}"}));
  auto first = Load("A.txt");
  first.Section("S").Set("K", {"changed"});
  const auto second = Load("A.txt");
  EXPECT_EQ(Value(second, "S", "K"), "1");
  EXPECT_EQ(_source.Reads("A.txt"), 1);
  EXPECT_EQ(_source.Reads("B.txt"), 1);
  // Another module is another entry.
  const HMODULE other = uitest::FreshModule();
  _source.Add(other, "A.txt", SkinText({"S{K=other;}"}));
  EXPECT_EQ(Value(ui::SkinDefinition::Load("A.txt", other), "S", "K"), "other");
}

TEST_F(SkinLoadTest, AFailedLoadIsTriedAgain) {
  EXPECT_THROW(Load("late.txt"), ui::CSkinWindowException);
  Add("late.txt", SkinText({"S{K=1;}"}));
  EXPECT_EQ(Value(Load("late.txt"), "S", "K"), "1");
}

TEST_F(SkinLoadTest, TwoThreadsLoadingAtOnceGetEqualDefinitions) {
  std::string text = "<header>";
  for (int i = 0; i < 300; ++i) text += FormatString("\r\nS%d{Class=P;K=%d,%%M%%;}", i, i);
  text += "\r\nP{Base=1;}\r\nReplacementTable{%M%=m;}";
  Add("big.txt", text);
  ui::SkinDefinition results[2];
  std::thread a([&] { results[0] = Load("big.txt"); });
  std::thread b([&] { results[1] = Load("big.txt"); });
  a.join();
  b.join();
  EXPECT_TRUE(results[0] == results[1]);
  EXPECT_EQ(Value(results[0], "S7", "K", 1), "m");
  EXPECT_EQ(Value(results[0], "S7", "Base"), "1");
  EXPECT_TRUE(Load("big.txt") == results[0]);
}

TEST_F(SkinLoadTest, NullModuleLooksInTheLanguageModuleForLanguageFiles) {
  const HMODULE language = uitest::FreshModule();
  _source.Add(nullptr, "NullModuleRoot.txt", SkinText({"#language Lang.txt", "S{K=root;}"}));
  _source.Add(language, "Lang.txt", SkinText({"S{L=language;}"}));
  ui::SetLanguageModule(language);
  const auto d = ui::SkinDefinition::Load("NullModuleRoot.txt");
  ui::SetLanguageModule(nullptr);
  EXPECT_EQ(Value(d, "S", "L"), "language");
}

// The toolkit's own skin, built into this program's resources.
TEST(SkinResourceTest, LoadsFromTheProgramsResourcesWithoutRegardToCase) {
  ovtest::CMessageBoxCapture boxes;
  const auto d = ui::SkinDefinition::Load("testwindow.TXT");
  const auto base = d.GetSection(std::string("Base"));
  EXPECT_EQ(base.GetValues("Title").at(0), "テスト");
  EXPECT_EQ(base.GetValues("Font").at(0), "MS UI Gothic");
  EXPECT_EQ(base.GetValues("CaptionHeight").at(0), "20");
  EXPECT_EQ(Value(d, "Caption", "Text"), "こんにちは");
  EXPECT_EQ(d.GetSection(std::string("Caption")).GetValues("Color"),
            (ui::SkinValues{"16", "16", "16"}));
  EXPECT_EQ(d.GetStringTable().at("Greeting"), "こんにちは\n世界\"表示\"");
  EXPECT_FALSE(d.HasSection("ReplacementTable"));
  EXPECT_EQ(LoadError("NoSuchSkin.txt", nullptr), "skin file open error");
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(SkinFolderTest, ReadsTheSkinFolderBesideTheProgramWhenSwitched) {
  const std::string folder = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr)) + "Skin\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string cp932 = folder + "FolderA.txt";
  const std::string utf16 = folder + "FolderW.txt";
  ASSERT_TRUE(WriteFileReplacing(ToWide(cp932), SkinText({"#include FolderW.txt", "S{A=表;}"}),
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::wstring wide = L"<header>\r\nS{W=\"ワイド\";}";
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : wide)
    bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  ASSERT_TRUE(WriteFileReplacing(ToWide(utf16), bytes, FILE_ATTRIBUTE_NORMAL, nullptr));
  ui::SetSkinFromResources(false);
  const auto d = ui::SkinDefinition::Load("FolderA.txt", uitest::FreshModule());
  ui::SetSkinFromResources(true);
  DeleteFileA(cp932.c_str());
  DeleteFileA(utf16.c_str());
  EXPECT_EQ(Value(d, "S", "A"), "表");
  EXPECT_EQ(Value(d, "S", "W"), "ワイド");
}

}  // namespace

// The skin text's grammar: tokens, entries, continuation, comments and the
// parse errors with file and line, each case loaded through the whole path
// (source, lines, parser, "Skin Load" box, exception).
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinParser.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

// "Section.Key=v1|v2" per key, sections and keys in their map order; an
// empty value shows as nothing between the bars.
std::string Dump(const ui::SkinDefinition& definition) {
  std::string out;
  for (const auto& [name, section] : definition.Sections()) {
    if (section.Keys().empty()) out += name + "{}\n";
    for (const auto& [key, values] : section.Keys()) {
      out += name + "." + key + "=";
      for (size_t i = 0; i < values.size(); ++i) out += (i ? "|" : "") + values[i];
      out += "\n";
    }
  }
  return out;
}

struct GrammarCase {
  const char* name;
  std::string text;      // the whole file, header included
  std::string expected;  // the dump, or the exception's text
  bool fails;
};

void PrintTo(const GrammarCase& c, std::ostream* os) { *os << c.name; }

class SkinGrammarTest : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(SkinGrammarTest, LoadsOrFailsWithFileAndLine) {
  const GrammarCase& c = GetParam();
  uitest::CMemorySkinSource source;
  const HMODULE module = uitest::FreshModule();
  source.Add(module, "g.txt", c.text);
  ovtest::CMessageBoxCapture boxes;
  if (c.fails) {
    try {
      ui::SkinDefinition::Load("g.txt", module);
      FAIL() << "loaded";
    } catch (const ui::CSkinWindowException& e) {
      EXPECT_EQ(std::string(e.what()), c.expected);
    }
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, ToWide(c.expected));
    EXPECT_EQ(shown[0].caption, L"Skin Load");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(shown[0].owner, nullptr);
  } else {
    EXPECT_EQ(Dump(ui::SkinDefinition::Load("g.txt", module)), c.expected);
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

using uitest::SkinText;

const GrammarCase kGrammarCases[] = {
    {"HeaderOnlyIsEmpty", "<RVK2 Skin Definition File Version 0.10>", "", false},
    {"AnyFirstLineIsTheHeader", "whatever { = ;\r\nA{K=1;}", "A.K=1\n", false},
    {"EmptyFile", "", "", false},
    {"LfOnlyReadsAsOneHeaderLine", "<header>\nA{K=1;}\nB{K=2;}\n", "", false},
    {"PlainEntries", SkinText({"Sec { A = 1, 2 ; B = x; }"}), "Sec.A=1|2\nSec.B=x\n", false},
    {"EmptySection", SkinText({"Sec {", "}"}), "Sec{}\n", false},
    {"ConstructsSpanLines", SkinText({"Sec", "{", "A", "=", "1", ",", "2", ";", "}"}),
     "Sec.A=1|2\n", false},
    {"EmptyQuotedIsOneEmptyValue", SkinText({"S{A=\"\";}"}), "S.A=\n", false},
    {"NothingIsOneEmptyValue", SkinText({"S{A=;}"}), "S.A=\n", false},
    {"LoneCommaIsTwoEmptyValues", SkinText({"S{A=,;}"}), "S.A=|\n", false},
    {"EmptyValueBetween", SkinText({"S{A=a,,b;}"}), "S.A=a||b\n", false},
    {"TrailingCommaAddsAnEmptyValue", SkinText({"S{A=a,;}"}), "S.A=a|\n", false},
    {"QuotedCommaIsADelimiter", SkinText({"S{A=\",\";}"}), "S.A=|\n", false},
    {"QuotedTextKeepsBlanks", SkinText({"S{A=\"a b\t{c}\";}"}), "S.A=a b\t{c}\n", false},
    {"LettersBeforeAQuoteJoinIt", SkinText({"S{A=ab\"c d\";}"}), "S.A=abc d\n", false},
    {"TextAfterAClosingQuoteIsATokenOfItsOwn", SkinText({"S{A=\"c\"e;}"}),
     "g.txt line 2:区切り文字が見つかりません。", true},
    {"CommentCutsTheLine", SkinText({"S{A=1; // B=2;", "C=3;}"}), "S.A=1\nS.C=3\n", false},
    {"CommentInsideQuotesCutsToo", SkinText({"S{A=\"http://x\";", ";B=2;}"}), "S.A=http:\nS.B=2\n",
     false},
    {"CommentInsideQuotesLeavesTheEntryOpen", SkinText({"S{A=\"http://x\";", "B=2;}"}),
     "g.txt line 3:区切り文字が見つかりません。", true},
    {"CommentOnlyLines", SkinText({"// nothing", "", "   ", "S{A=1;}"}), "S.A=1\n", false},
    {"ContinuationJoins", SkinText({"S{A=\"one \" \\", "\"two\";}"}), "S.A=one two\n", false},
    {"ContinuationNeedsAQuote", SkinText({"S{A=\"one\" \\", "two;}"}),
     "g.txt line 3:\\の次は文字列で無ければなりません。", true},
    {"KeyTwiceKeepsAllValues", SkinText({"S{A=1;A=2,3;}"}), "S.A=1|2|3\n", false},
    {"SectionTwiceAddsUp", SkinText({"S{A=1;}", "S{B=2;}"}), "S.A=1\nS.B=2\n", false},
    {"EndInsideSectionKeepsWhatWasRead", SkinText({"S{A=1;", "B=2"}), "S.A=1\nS.B=2\n", false},
    {"EndAfterKeyKeepsTheKey", SkinText({"S{A"}), "S.A=\n", false},
    {"QuoteOpenAtLineEnd", SkinText({"S{A=\"abc", ";}"}), "S.A=abc\n", false},
    {"QuotedNamesAndKeys", SkinText({"\"My Sec\"{\"A B\"=1;}"}), "My Sec.A B=1\n", false},
    {"JapaneseValues", SkinText({"S{A=\"表示\",ソフト;}"}), "S.A=表示|ソフト\n", false},
    {"DelimiterAtTop", SkinText({"", "{"}), "g.txt line 3:アイテム名が存在しません。", true},
    {"QuotedBlankIsADelimiter", SkinText({"\" \"{A=1;}"}),
     "g.txt line 2:アイテム名が存在しません。", true},
    {"UnknownDirective", SkinText({"#define X"}),
     "g.txt line 2:#defineは異常なプリプロセッサ命令です。", true},
    {"IncludeWithoutName", SkinText({"#include ;"}), "g.txt line 2:#includeの構文が不正です。",
     true},
    {"LanguageWithoutName", SkinText({"#LANGUAGE {"}), "g.txt line 2:#languageの構文が不正です。",
     true},
    {"MissingBrace", SkinText({"S A=1;"}), "g.txt line 2:{が見つかりません。", true},
    {"DelimiterForKey", SkinText({"S{", "=1;}"}), "g.txt line 3:}が見つかりません。", true},
    {"MissingEquals", SkinText({"S{A 1;}"}), "g.txt line 2:=が見つかりません。", true},
    {"BraceForValue", SkinText({"S{A={;}"}), "g.txt line 2:;が見つかりません。", true},
    {"TwoValuesWithoutComma", SkinText({"S{", "A=1 2;}"}),
     "g.txt line 3:区切り文字が見つかりません。", true},
    {"BraceAfterValue", SkinText({"S{A=1}"}), "g.txt line 2:,または;が必要です。", true},
    {"LineNumbersCountEmptyLines", SkinText({"", "", "", "S{A=1 2;}"}),
     "g.txt line 5:区切り文字が見つかりません。", true},
};

INSTANTIATE_TEST_SUITE_P(Cases, SkinGrammarTest, ::testing::ValuesIn(kGrammarCases),
                         ovtest::CaseName());

TEST(SkinTokenTest, QuotedTokensKeepTheirFlagAndLine) {
  std::vector<ui::SkinToken> tokens;
  ui::TokenizeSkinLine(L"ab\"c d\"e =\\\"\" \"x", 7, &tokens);
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].text, L"abc d");
  EXPECT_TRUE(tokens[0].quoted);
  EXPECT_EQ(tokens[1].text, L"e");
  EXPECT_FALSE(tokens[1].quoted);
  EXPECT_EQ(tokens[2].text, L"=");
  EXPECT_EQ(tokens[3].text, L"\\");
  EXPECT_EQ(tokens[4].text, L"x");  // the empty pair gave no token; the open quote ran to the end
  EXPECT_TRUE(tokens[4].quoted);
  for (const auto& t : tokens) EXPECT_EQ(t.line, 7);
}

TEST(SkinLinesTest, SplitsAtCrLfAndKeepsEmptyLines) {
  const auto lines = ui::SplitSkinLines("h\r\n\r\na\rb\nc\r\n", false);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], L"");
  EXPECT_EQ(lines[2], L"a\rb\nc");
  EXPECT_EQ(ui::SplitSkinLines("h\r\nx", false).size(), 2u);
  EXPECT_EQ(ui::SplitSkinLines("h\r\n\r\n", false).size(), 2u);
}

TEST(SkinLinesTest, Utf16TextWithItsMarkLoads) {
  uitest::CMemorySkinSource source;
  const HMODULE module = uitest::FreshModule();
  const std::wstring text = L"<header>\r\nS{A=\"表示\";}\r\n";
  std::string bytes;
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  source.Add(module, "w.txt", bytes, true);
  const auto definition = ui::SkinDefinition::Load("w.txt", module);
  EXPECT_EQ(definition.GetSection(std::string("S")).GetValues("A").at(0), "表示");
}

struct AtoiCase {
  const char* name;
  const char* text;
  int value;
};

void PrintTo(const AtoiCase& c, std::ostream* os) { *os << c.name; }

class SkinAtoiTest : public ::testing::TestWithParam<AtoiCase> {};

TEST_P(SkinAtoiTest, ReadsAsAtoiAndClamps) {
  EXPECT_EQ(ui::SkinAtoi(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinAtoiTest,
    ::testing::Values(AtoiCase{"Plain", "42", 42}, AtoiCase{"Negative", "-17", -17},
                      AtoiCase{"Plus", "+5", 5}, AtoiCase{"LeadingBlanks", " \t 8", 8},
                      AtoiCase{"StopsAtNonDigit", "12px", 12}, AtoiCase{"NotANumber", "abc", 0},
                      AtoiCase{"Empty", "", 0}, AtoiCase{"Max", "2147483647", 2147483647},
                      AtoiCase{"Min", "-2147483648", INT_MIN},
                      AtoiCase{"AboveMax", "2147483648", 2147483647},
                      AtoiCase{"FarAboveMax", "99999999999999999999999", 2147483647},
                      AtoiCase{"FarBelowMin", "-99999999999999999999999", INT_MIN}),
    ovtest::CaseName());

}  // namespace

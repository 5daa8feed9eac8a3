// The edit box's filters: typed characters per kind of box, and pastes typed
// in through the same filter.
#include <gtest/gtest.h>

#include <string>

#include "EditBoxFilter.h"
#include "TestSupport.h"

namespace {

ui::EditFilterFlags Flags(const char* kind) {
  ui::EditFilterFlags f;
  const std::string k = kind;
  f.alphanumeric = k == "alnum";
  f.single_byte = k == "single" || k == "wide-single";
  f.password = k == "password";
  f.multi_line = k == "multi";
  f.unicode = k == "wide-single" || k == "wide";
  f.strip_controls = k != "nostrip";
  return f;
}

// CP932 in, CP932 out: each byte typed as one character, as the system
// splits a double-byte character for a narrow procedure.
std::string TypeNarrow(const ui::EditFilterFlags& flags, const std::string& typed) {
  ui::CEditCharFilter filter(flags);
  std::string shown;
  for (const char c : typed)
    if (const auto ch = filter.Filter(static_cast<BYTE>(c)))
      shown.push_back(static_cast<char>(*ch));
  return shown;
}

std::wstring TypeWide(const ui::EditFilterFlags& flags, const std::wstring& typed) {
  ui::CEditCharFilter filter(flags);
  std::wstring shown;
  for (const wchar_t c : typed)
    if (const auto ch = filter.Filter(c)) shown.push_back(static_cast<wchar_t>(*ch));
  return shown;
}

struct TypedCase {
  const char* name;
  const char* kind;
  std::string typed;
  std::string shown;
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }

class EditTypedTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(EditTypedTest, ShowsWhatTheBoxLetsThrough) {
  const TypedCase& c = GetParam();
  EXPECT_EQ(TypeNarrow(Flags(c.kind), c.typed), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditTypedTest,
    ::testing::Values(TypedCase{"CapitalsAndDigits", "alnum", "ab-12Z\x08\x16 !", "AB12Z\x08\x16"},
                      TypedCase{"CapitalsRefuseJapaneseWhole", "alnum", "aあb", "AB"},
                      TypedCase{"SingleByteKeepsHalfWidthKana", "single", "xあyｱ", "xyｱ"},
                      TypedCase{"PasswordRefusesDoubleBytes", "password", "pあq", "pq"},
                      TypedCase{"PlainSwallowsEscapeTabReturn", "plain", "a\x1b\t\rb", "ab"},
                      TypedCase{"PlainTakesJapanese", "plain", "日本語ｶﾅ", "日本語ｶﾅ"},
                      TypedCase{"MultiLineKeepsTabAndReturn", "multi", "a\t\rb\x1b", "a\t\rb"}),
    ovtest::CaseName());

TEST(EditTypedWideTest, WideSingleByteBoxRefusesWideCharacters) {
  EXPECT_EQ(TypeWide(Flags("wide-single"), L"xあyｱ\u00e9z"), L"xyｱz");
  EXPECT_EQ(TypeWide(Flags("wide"), L"xあy\r"), L"xあy");
}

struct PasteCase {
  const char* name;
  const char* kind;
  std::wstring clipboard;
  std::string inserted;
};

void PrintTo(const PasteCase& c, std::ostream* os) { *os << c.name; }

class EditPasteTest : public ::testing::TestWithParam<PasteCase> {};

TEST_P(EditPasteTest, InsertsTheFilteredCharacters) {
  const PasteCase& c = GetParam();
  const ui::EditFilterFlags flags = Flags(c.kind);
  ASSERT_TRUE(ui::PasteIsFiltered(flags));
  std::string typed;
  for (const UINT ch : ui::PastedCharacters(flags, ui::FilterPastedText(flags, c.clipboard)))
    typed.push_back(static_cast<char>(ch));
  EXPECT_EQ(TypeNarrow(flags, typed), c.inserted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditPasteTest,
    ::testing::Values(PasteCase{"CapitalsAndDigits", "alnum", L"ab-12", "AB12"},
                      PasteCase{"SingleByteDropsFullWidth", "single", L"AＢcあd", "Acd"},
                      PasteCase{"PlainStripsControls", "plain", L"a\r\nb\tc\x7f", "abc"},
                      PasteCase{"MultiLineKeepsLineFeedAndTab", "multi", L"a\r\nb\tc", "a\nb\tc"},
                      PasteCase{"JapaneseTypedAsCp932", "plain", L"日本語です", "日本語です"}),
    ovtest::CaseName());

TEST(EditPasteWideTest, UnicodeBoxGetsUtf16Units) {
  ui::EditFilterFlags flags = Flags("wide");
  const std::vector<UINT> chars = ui::PastedCharacters(flags, L"あ\U0001F600");
  EXPECT_EQ(chars, (std::vector<UINT>{0x3042, 0xD83D, 0xDE00}));
}

TEST(EditPasteWideTest, OnlyFilteringFlagsTypeThePaste) {
  EXPECT_FALSE(ui::PasteIsFiltered(Flags("nostrip")));
  ui::EditFilterFlags password = Flags("nostrip");
  password.password = true;
  EXPECT_FALSE(ui::PasteIsFiltered(password));
  EXPECT_TRUE(ui::PasteIsFiltered(Flags("plain")));
}

}  // namespace

// The music manager's command line: the tokenizer's rules and the options
// as a table of lines, each with what the start-up makes of it.
#include <gtest/gtest.h>

#include "MusicCommandLine.h"
#include "TestSupport.h"

namespace {

struct TokenCase {
  const char* name;
  const char* line;
  std::vector<std::pair<bool, std::string>> tokens;  // switch?, text
};

class MusicTokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(MusicTokenTest, SplitsAsTheStartUpReadsIt) {
  std::vector<CommandToken> tokens;
  MusicCommandLine(GetParam().line, tokens);
  std::vector<std::pair<bool, std::string>> got;
  for (const CommandToken& t : tokens) got.emplace_back(t.is_option, t.text);
  EXPECT_EQ(GetParam().tokens, got);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MusicTokenTest,
    ::testing::Values(TokenCase{"Plain",
                                " /d E /w 001A02B4 /m manual",
                                {{true, "d"},
                                 {false, "E"},
                                 {true, "w"},
                                 {false, "001A02B4"},
                                 {true, "m"},
                                 {false, "manual"}}},
                      TokenCase{"DashAndTabs",
                                "-d\tE\t\t-m setting",
                                {{true, "d"}, {false, "E"}, {true, "m"}, {false, "setting"}}},
                      TokenCase{"SwitchesRunTogether", "/d/w", {{true, "d"}, {true, "w"}}},
                      TokenCase{"QuotedValue",
                                "/d \"E\" /m \"man ual",
                                {{true, "d"}, {false, "E"}, {true, "m"}, {false, "man ual"}}},
                      TokenCase{
                          "QuoteInsideAValue", "/m ma\"nual", {{true, "m"}, {false, "ma\"nual"}}},
                      TokenCase{"EmptyQuotes", "/d \"\"", {{true, "d"}, {false, ""}}},
                      TokenCase{"DoubleByteValue", "/m 表ソ", {{true, "m"}, {false, "表ソ"}}},
                      TokenCase{"Empty", "", {}}),
    ovtest::CaseName());

TEST(MusicTokenNullTest, NullLineGivesNoTokens) {
  std::vector<CommandToken> tokens;
  MusicCommandLine(nullptr, tokens);
  EXPECT_TRUE(tokens.empty());
}

struct OptionCase {
  const char* name;
  const char* line;
  char drive;
  int mode;
  unsigned window;
  bool complete;
};

class MusicOptionTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(MusicOptionTest, ReadsTheOptions) {
  std::vector<CommandToken> tokens;
  MusicCommandLine(GetParam().line, tokens);
  const MusicOptions options = ParseMusicOptions(tokens);
  EXPECT_EQ(GetParam().drive, options.drive);
  EXPECT_EQ(GetParam().mode, options.mode);
  EXPECT_EQ(GetParam().window,
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(options.notify) & 0xFFFFFFFFu));
  EXPECT_EQ(GetParam().complete, options.IsComplete());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MusicOptionTest,
    ::testing::Values(
        OptionCase{"Manual", " /d E /w 001A02B4 /m manual", 'E', kMusicModeManual, 0x1A02B4, true},
        OptionCase{"Setting", " /d F /w 10 /m setting", 'F', kMusicModeSetting, 0x10, true},
        OptionCase{"CapitalsEverywhere", "/D e /W 1a /M Manual", 'E', kMusicModeManual, 0x1A, true},
        OptionCase{"AnyOrderAndDashes", "-m SETTING -w ff -d g", 'G', kMusicModeSetting, 0xFF,
                   true},
        OptionCase{"QuotedDrive", "/d \"H\" /w 1 /m manual", 'H', kMusicModeManual, 1, true},
        OptionCase{"LongDriveValueTakesItsFirstLetter", "/d e:\\ /w 1 /m manual", 'E',
                   kMusicModeManual, 1, true},
        OptionCase{"WindowZeroIsMissing", "/d E /w 0 /m manual", 'E', kMusicModeManual, 0, false},
        OptionCase{"WindowNotANumber", "/d E /w zz /m manual", 'E', kMusicModeManual, 0, false},
        OptionCase{"WindowTooLarge", "/d E /w 1FFFFFFFF /m manual", 'E', kMusicModeManual, 0,
                   false},
        OptionCase{"WindowHighBitReadUnsigned", "/d E /w FFFF0001 /m manual", 'E', kMusicModeManual,
                   0xFFFF0001u, true},
        OptionCase{"OtherModeWord", "/d E /w 1 /m manually", 'E', kMusicModeNone, 1, false},
        OptionCase{"ModeMissing", "/d E /w 1", 'E', kMusicModeNone, 1, false},
        OptionCase{"DriveMissing", "/w 1 /m manual", 0, kMusicModeManual, 1, false},
        OptionCase{"EmptyDrive", "/d \"\" /w 1 /m manual", 0, kMusicModeManual, 1, false},
        OptionCase{"DriveNotALetter", "/d 1 /w 1 /m manual", 0, kMusicModeManual, 1, false},
        OptionCase{"DoubleByteDrive", "/d 表 /w 1 /m manual", 0, kMusicModeManual, 1, false},
        OptionCase{"ValueBeforeAnySwitchIgnored", "E /d F /w 1 /m manual", 'F', kMusicModeManual, 1,
                   true},
        OptionCase{"UnknownSwitchKeepsTheCurrentOption", "/d /x E /w 1 /m manual", 'E',
                   kMusicModeManual, 1, true},
        OptionCase{"LaterValueWins", "/d E F /w 1 /m manual", 'F', kMusicModeManual, 1, true},
        OptionCase{"Nothing", "", 0, kMusicModeNone, 0, false}),
    ovtest::CaseName());

}  // namespace

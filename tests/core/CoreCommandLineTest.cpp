// The core's command line.
#include "ChargeKind.h"
#include "CoreStartup.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct CommandCase {
  const char* name;
  const char* line;
  char drive;
  uint32_t window;
  std::vector<uint32_t> kinds;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class CoreCommandLine : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CoreCommandLine, Parses) {
  const CommandCase& c = GetParam();
  const ::CoreCommandLine parsed = ParseCoreCommandLine(c.line);
  EXPECT_EQ(c.drive, parsed.drive);
  EXPECT_EQ(c.window, parsed.window);
  EXPECT_EQ(c.kinds, parsed.kinds);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CoreCommandLine,
    ::testing::Values(
        CommandCase{"AsBuilt", "/d E /w 0001A2B4 /p map sm", 'E', 0x1A2B4, {2, 4}},
        CommandCase{"OtherOrder", "/p sm map /d e /w 1a2b4", 'E', 0x1A2B4, {4, 2}},
        CommandCase{"Capitals", "/D E /W 0001A2B4 /P MAP Sm", 'E', 0x1A2B4, {2, 4}},
        CommandCase{"NoWindow", "/d E /p map", 'E', 0, {2}},
        CommandCase{"NoDrive", "/w 12 /p map", 0, 0x12, {2}},
        CommandCase{"NoKinds", "/d F /w 12", 'F', 0x12, {}},
        CommandCase{"DuplicatesKept", "/d E /w 12 /p map map", 'E', 0x12, {2, 2}},
        CommandCase{
            "UnknownOptionAndWordIgnored", "/x zz /d E /w 12 /p foo msc prb", 'E', 0x12, {16, 1}},
        CommandCase{"UnknownOptionKeepsTheCurrent", "/p wl /x sm", 0, 0, {8, 4}},
        CommandCase{"ValuesBeforeAnOptionIgnored", "map E /d G /w 12", 'G', 0x12, {}},
        CommandCase{"LaterValueWins", "/d E /d F /w 1 /w 0x2A", 'F', 0x2A, {}},
        // A value runs to the next blank: "12/p" is the window, "map" replaces it.
        CommandCase{"ValueRunsToTheNextBlank", "/d E /w 12/p map", 'E', 0, {}},
        CommandCase{"DashOptions", "-d E -w 12 -p wl", 'E', 0x12, {8}},
        CommandCase{"QuotedValue", "/d \"H\" /w \"00000010\" /p \"map\"", 'H', 0x10, {2}},
        CommandCase{"HexStopsAtJunk", "/d E /w 1Fzz /p", 'E', 0x1F, {}},
        CommandCase{"AllWords", "/d E /w 12 /p prb map sm wl msc", 'E', 0x12, {1, 2, 4, 8, 16}}),
    ovtest::CaseName());

}  // namespace

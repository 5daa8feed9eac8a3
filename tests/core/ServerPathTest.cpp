// The gate for server names: what may be joined to a local folder and how
// it comes out, and the hostile names that are refused.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "RetryTestSupport.h"
#include "TestSupport.h"
#include "map/ServerPath.h"

struct ServerNameCase {
  const char* name;
  std::string server_name;
  bool accepted;
  std::string normalized;
};

void PrintTo(const ServerNameCase& c, std::ostream* os) { *os << c.name; }

class ServerNameTest : public ::testing::TestWithParam<ServerNameCase> {};

TEST_P(ServerNameTest, JoinsOrRefuses) {
  const ServerNameCase& c = GetParam();
  ovtest::CLogCapture log;
  ovtest::CTempDir dir;
  std::string out = "untouched";
  SetLastError(0);
  const bool joined = JoinServerPath(dir.Path(), c.server_name, &out);
  EXPECT_EQ(joined, c.accepted);
  if (c.accepted) {
    EXPECT_EQ(out, dir.Path() + c.normalized);
    EXPECT_TRUE(log.Errors().empty());
  } else {
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(log.Errors().size(), 1u);
  }
  std::string alone;
  EXPECT_EQ(NormalizeServerName(c.server_name, &alone), c.accepted);
  if (c.accepted) {
    EXPECT_EQ(alone, c.normalized);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServerNameTest,
    ::testing::Values(
        ServerNameCase{"PlainFile", "a.bin", true, "a.bin"},
        ServerNameCase{"MixedSeparators", "sub/dir\\f.dat", true, "sub\\dir\\f.dat"},
        ServerNameCase{"DotPartsAndDoubledSeparators", "./a//b/.", true, "a\\b"},
        ServerNameCase{"FolderKeepsItsSeparator", "q/", true, "q\\"},
        ServerNameCase{"VersionText", "1.000010", true, "1.000010"},
        ServerNameCase{"DotsInsideAName", "..a..b", true, "..a..b"},
        ServerNameCase{"NotADevice", "CONSOLE.txt", true, "CONSOLE.txt"},
        ServerNameCase{"TwoDigitComPort", "COM10", true, "COM10"},
        // 表 and ソ end in 0x5C: part of the character, not a separator.
        ServerNameCase{"DoubleByteTrailIsNoSeparator", "表\\ソ", true, "表\\ソ"},
        ServerNameCase{"Empty", "", false, ""}, ServerNameCase{"OnlyDot", ".", false, ""},
        ServerNameCase{"OnlySeparatorsAndDots", "./", false, ""},
        ServerNameCase{"RootedSlash", "/etc/x", false, ""},
        ServerNameCase{"RootedBackslash", "\\x", false, ""},
        ServerNameCase{"Share", "\\\\server\\share\\x", false, ""},
        ServerNameCase{"DevicePath", "\\\\?\\C:\\x", false, ""},
        ServerNameCase{"DriveLetter", "C:\\x", false, ""},
        ServerNameCase{"DriveRelative", "C:x", false, ""},
        ServerNameCase{"Stream", "a:b", false, ""}, ServerNameCase{"Parent", "..", false, ""},
        ServerNameCase{"ParentInside", "a/../../x", false, ""},
        ServerNameCase{"ParentBackslash", "a\\..\\b", false, ""},
        ServerNameCase{"ThreeDots", "...", false, ""},
        ServerNameCase{"DotBlankDot", ". .", false, ""},
        ServerNameCase{"TrailingDot", "a.", false, ""},
        ServerNameCase{"TrailingBlank", "a /b", false, ""},
        ServerNameCase{"Device", "CON", false, ""},
        ServerNameCase{"DeviceWithExtension", "con.txt", false, ""},
        ServerNameCase{"DeviceWithBlank", "NUL .x", false, ""},
        ServerNameCase{"DeviceMixedCase", "Aux.dat", false, ""},
        ServerNameCase{"ComPort", "COM1", false, ""},
        ServerNameCase{"PrinterPort", "lpt9.log", false, ""},
        ServerNameCase{"ConsoleInput", "CONIN$", false, ""},
        ServerNameCase{"DeviceInAFolder", "a/NUL/b", false, ""},
        ServerNameCase{"Wildcard", "a*b", false, ""}, ServerNameCase{"Question", "a?b", false, ""},
        ServerNameCase{"ControlByte",
                       "a\x01"
                       "b",
                       false, ""},
        ServerNameCase{"Pipe", "a|b", false, ""}, ServerNameCase{"Angles", "<x>", false, ""},
        ServerNameCase{"Quote", "\"q\"", false, ""},
        ServerNameCase{"CutDoubleByte", "a\x95", false, ""}),
    ovtest::CaseName());

TEST(ServerName, FolderEndingInADoubleByteTrailGetsItsSeparator) {
  std::string out;
  ASSERT_TRUE(JoinServerPath("X:\\data\\表", "a", &out));
  EXPECT_EQ(out, "X:\\data\\表\\a");
  ASSERT_TRUE(JoinServerPath("X:\\data\\", "a", &out));
  EXPECT_EQ(out, "X:\\data\\a");
  EXPECT_FALSE(JoinServerPath("", "a", &out));
}

TEST(ServerName, SinglePartNames) {
  EXPECT_TRUE(IsSafeServerNamePart("1.000010"));
  EXPECT_TRUE(IsSafeServerNamePart("ソ"));
  EXPECT_FALSE(IsSafeServerNamePart("a/b"));
  EXPECT_FALSE(IsSafeServerNamePart("a\\b"));
  EXPECT_FALSE(IsSafeServerNamePart(""));
  EXPECT_FALSE(IsSafeServerNamePart(".."));
  EXPECT_FALSE(IsSafeServerNamePart("prn"));
}

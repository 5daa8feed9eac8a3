// Windows version classification, administrator test and version texts.
#include "Version.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct OsCase {
  const char* name;
  DWORD platform;
  DWORD major;
  DWORD minor;
  const char* service;
  BYTE product;
  bool r2;
  int expected;
};

OSVERSIONINFOEXA MakeInfo(const OsCase& c) {
  OSVERSIONINFOEXA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwPlatformId = c.platform;
  info.dwMajorVersion = c.major;
  info.dwMinorVersion = c.minor;
  lstrcpynA(info.szCSDVersion, c.service, sizeof(info.szCSDVersion));
  info.wProductType = c.product;
  return info;
}

constexpr DWORD kNT = VER_PLATFORM_WIN32_NT;
constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr BYTE kWs = VER_NT_WORKSTATION;
constexpr BYTE kDc = VER_NT_DOMAIN_CONTROLLER;
constexpr BYTE kSrv = VER_NT_SERVER;

}  // namespace

class OsTypeTest : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsTypeTest, Classifies) {
  const OsCase& c = GetParam();
  EXPECT_EQ(ClassifyOSVersion(MakeInfo(c), c.r2), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, OsTypeTest,
                         ::testing::Values(OsCase{"NT351", kNT, 3, 51, "", kWs, false, 1},
                                           OsCase{"NT350", kNT, 3, 50, "", kWs, false, 0},
                                           OsCase{"Win95", k9x, 4, 0, "", kWs, false, 2},
                                           OsCase{"Win95C", k9x, 4, 0, " c", kWs, false, 3},
                                           OsCase{"NT4", kNT, 4, 0, "", kWs, false, 4},
                                           OsCase{"Win98", k9x, 4, 10, "", kWs, false, 5},
                                           OsCase{"Win98A", k9x, 4, 10, " A", kWs, false, 6},
                                           OsCase{"WinMe", k9x, 4, 90, "", kWs, false, 7},
                                           OsCase{"Win2000", kNT, 5, 0, "", kWs, false, 8},
                                           OsCase{"WinXP", kNT, 5, 1, "", kWs, false, 9},
                                           OsCase{"Server2003", kNT, 5, 2, "", kSrv, false, 10},
                                           OsCase{"Server2003R2", kNT, 5, 2, "", kSrv, true, 11},
                                           OsCase{"Vista", kNT, 6, 0, "", kWs, false, 12},
                                           OsCase{"VistaDomainController", kNT, 6, 0, "", kDc,
                                                  false, 12},
                                           OsCase{"Server2008", kNT, 6, 0, "", kSrv, false, 13},
                                           OsCase{"Win7", kNT, 6, 1, "", kWs, false, 14},
                                           OsCase{"Win8", kNT, 6, 2, "", kWs, false, 15},
                                           OsCase{"Win10", kNT, 10, 0, "", kWs, false, 15},
                                           OsCase{"Major2", kNT, 2, 0, "", kWs, false, 0}),
                         ovtest::CaseName());

TEST(OsType, WineRunsAsASupportedSystem) {
  // Wine reports Windows 7 unless a prefix says otherwise.
  EXPECT_GE(GetOSType(), 9);
  EXPECT_TRUE(IsSupportedOS());
  EXPECT_FALSE(IsWindowsXP() && IsWindowsVistaOrLater());
}

TEST(Administrator, TheWineUserIsAnAdministrator) { EXPECT_TRUE(IsAdministrator()); }

TEST(FileVersion, ReadsTheRunningProgramsVersionBlock) {
  EXPECT_EQ(GetModuleFileVersion(), "1.0.0.1");
  EXPECT_EQ(GetProductVersionText(), "Ver.1.0.0");
  CFileVersionInfo info;
  EXPECT_EQ(info.Load("C:\\no\\such\\file.exe"), 1);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  // A file without a version block.
  EXPECT_EQ(info.Load(std::string(system) + "\\..\\win.ini"), 2);
  EXPECT_EQ(info.GetFileVersion(), "");
}

TEST(ProductVersionText, CutsTheLastPart) {
  EXPECT_EQ(FormatProductVersionText("1,2,3,4"), "Ver.1.2.3");
  EXPECT_EQ(FormatProductVersionText("1.0.0.5"), "Ver.1.0.0");
  EXPECT_EQ(FormatProductVersionText("1, 2, 3, 4"), "Ver.1. 2. 3");
  EXPECT_EQ(FormatProductVersionText("2.1"), "Ver.2.1");
  EXPECT_EQ(FormatProductVersionText(""), "");
}

TEST(ParseVersion, NeedsExactlyFourParts) {
  const VersionRecord v = ParseVersion("1,02,3,4");
  EXPECT_EQ(v.major, 1);
  EXPECT_EQ(v.minor, 2);
  EXPECT_EQ(v.build, 3);
  EXPECT_EQ(v.revision, 4);
  const VersionRecord w = ParseVersion("Ver 10.20.30.40a");
  EXPECT_EQ(w.major, 10);
  EXPECT_EQ(w.revision, 40);
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "", "abc"}) {
    const VersionRecord z = ParseVersion(bad);
    EXPECT_EQ(z.major + z.minor + z.build + z.revision, 0) << bad;
  }
}

TEST(CompareVersion, FirstDifferenceDecides) {
  const VersionRecord a = ParseVersion("1.2.3.4");
  const VersionRecord b = ParseVersion("1.2.3.4");
  EXPECT_FALSE(CompareVersion(a, b));
  EXPECT_FALSE(CompareVersion(b, a));
  EXPECT_TRUE(CompareVersion(ParseVersion("1.3.0.0"), ParseVersion("1.2.9.9")));
  EXPECT_FALSE(CompareVersion(ParseVersion("1.2.9.9"), ParseVersion("1.3.0.0")));
  EXPECT_TRUE(CompareVersion(ParseVersion("1.2.3.5"), ParseVersion("1.2.3.4")));
}

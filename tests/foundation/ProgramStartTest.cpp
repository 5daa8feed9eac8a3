// Command lines of the core and the music manager, and starting a program.
#include "Folders.h"
#include "Handle.h"
#include "ProgramStart.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

HWND Window(UINT_PTR value) { return reinterpret_cast<HWND>(value); }

struct CoreArgumentCase {
  const char* name;
  uint32_t kinds;
  const char* expected;
};

void PrintTo(const CoreArgumentCase& c, std::ostream* os) { *os << c.name; }

class CoreArguments : public ::testing::TestWithParam<CoreArgumentCase> {};

TEST_P(CoreArguments, FollowTheTableOrder) {
  EXPECT_EQ(GetParam().expected, BuildCoreArguments(Window(0x1A02B4), 'E', GetParam().kinds));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CoreArguments,
    ::testing::Values(CoreArgumentCase{"Map", 0x2, " /d E /w 001A02B4 /p map"},
                      CoreArgumentCase{"MapBeforeMusic", 0x12, " /d E /w 001A02B4 /p map msc"},
                      CoreArgumentCase{"None", 0, " /d E /w 001A02B4 /p"},
                      CoreArgumentCase{"All", 0x1F, " /d E /w 001A02B4 /p prb map sm wl msc"},
                      CoreArgumentCase{"UnknownBitsIgnored", 0x104, " /d E /w 001A02B4 /p sm"}),
    ovtest::CaseName());

TEST(ProgramStart, MusicArgumentsAndEightDigitWindow) {
  EXPECT_EQ(" /d F /w 00000012 /m setting", BuildMusicArguments(Window(0x12), 'F', true));
  EXPECT_EQ(" /d F /w 00000012 /m manual", BuildMusicArguments(Window(0x12), 'F', false));
}

TEST(ProgramStart, QuotesTheProgramPath) {
  EXPECT_EQ("\"C:\\Program Files\\Ov\\Ostrovelle_Core.exe\" /d E",
            BuildCommandLine("C:\\Program Files\\Ov\\Ostrovelle_Core.exe", " /d E"));
  EXPECT_EQ(" /d E", BuildCommandLine("", " /d E"));
  EXPECT_EQ("C:\\Program Files\\Ov",
            GetCommandLineFolder("\"C:\\Program Files\\Ov\\Ostrovelle_Core.exe\" /d E /w 1"));
  EXPECT_EQ("C:\\Ov", GetCommandLineFolder("C:\\Ov\\core.exe /d E"));
}

// A program in a folder with a blank runs (and runs in its own folder).
TEST(ProgramStart, StartsAProgramInAFolderWithABlank) {
  ovtest::CTempDir temp;
  const std::string folder = temp.Path() + "with blank";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string program = folder + "\\cmd.exe";
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\cmd.exe").c_str(), program.c_str(), FALSE));

  CHandle process;
  ASSERT_TRUE(
      StartProgram(BuildCommandLine(program, " /c if exist cmd.exe exit 7"), SW_HIDE, &process));
  ASSERT_TRUE(process);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.Get(), 30000));
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  EXPECT_EQ(7u, code);
}

TEST(ProgramStart, MissingProgramFailsBothWays) {
  ovtest::CTempDir temp;
  CHandle process;
  EXPECT_FALSE(StartProgram(BuildCommandLine(temp.File("none.exe"), " /x"), SW_HIDE, &process));
  EXPECT_FALSE(process);
}

}  // namespace

// The log: line format, kinds, truncation, rollover, fatal copies, the
// per-file mutex, the trace switch and lines logged before the log is open.
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "TestSupport.h"
#include "TestThread.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string bytes = ovtest::ReadFileOrEmpty(path);
  std::vector<std::string> lines = SplitString(bytes, "\r\n");
  return lines;
}

// The message part of a line: everything after the fifth tab.
std::string MessageOf(const std::string& line) {
  size_t pos = 0;
  for (int i = 0; i < 5 && pos != std::string::npos; ++i) {
    pos = line.find('\t', pos);
    if (pos != std::string::npos) ++pos;
  }
  return pos == std::string::npos ? std::string() : line.substr(pos);
}

std::string MarkOf(const std::string& line) {
  const auto parts = SplitString(line, "\t");
  return parts.size() > 1 ? parts[1] : std::string();
}

bool HasMessage(const std::vector<std::string>& lines, const std::string& message) {
  for (const auto& l : lines) {
    if (MessageOf(l) == message) return true;
  }
  return false;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { logtest::Reset(); }
  void TearDown() override { logtest::Reset(); }

  // A log of the test's own, so parallel tests never share a file or mutex.
  std::string OpenOwnLog(int size_kb = 4096) {
    const std::string path = dir_.Path() + FormatString("own_%lu.log", GetCurrentProcessId());
    CBroxLogWrapper(__FILE__, __LINE__).Open(path.c_str(), size_kb);
    return path;
  }

  ovtest::CScopedDataRoot root_;
  ovtest::CTempDir dir_;
};

}  // namespace

TEST_F(LogTest, DefaultPathIsTheProgramNameInTheLogFolder) {
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  EXPECT_EQ(logtest::MainLogPath(), root_.Root() + "Log\\foundation_tests.log");
  const auto lines = ReadLines(logtest::MainLogPath());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(MarkOf(lines[0]), "==");
  EXPECT_EQ(MessageOf(lines[0]), "==========<開始(1.0.0.1)>==========");
}

TEST_F(LogTest, LineHeadFieldsAndMarks) {
  const std::string path = OpenOwnLog();
  const int kinds[] = {kLogInfo, kLogError, kLogIn, kLogOut, kLogDump, kLogNotice};
  const char* marks[] = {"..", "!!", "->", "<-", "", "##"};
  for (int kind : kinds) {
    EXPECT_EQ(CBroxLogWrapper("C:\\src\\dir/Sample.cpp", 77).Log(kind, "kind %d 表示", kind), 0);
  }
  const auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 1u + 6u);
  const std::regex head(
      "^\\d{4}/\\d{2}/\\d{2} "
      "\\d{2}:\\d{2}:\\d{2}:\\d{3}\t([^\t]*)\tSample\\.cpp\t77\t[0-9a-f]+\t(.*)$");
  const std::string tid = FormatString("\t%lx\t", GetCurrentThreadId());
  for (size_t i = 0; i < 6; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i + 1], m, head)) << lines[i + 1];
    EXPECT_EQ(m[1].str(), marks[i]);
    EXPECT_EQ(m[2].str(), FormatString("kind %d 表示", kinds[i]));
    EXPECT_NE(lines[i + 1].find(tid), std::string::npos);
  }
}

TEST_F(LogTest, EndLineIsFollowedByAnEmptyLine) {
  const std::string path = OpenOwnLog();
  CBroxLogWrapper(__FILE__, __LINE__).End();
  const std::string bytes = ovtest::ReadFileOrEmpty(path);
  EXPECT_NE(bytes.find("\t----------<終了>----------\r\n\r\n"), std::string::npos);
}

TEST_F(LogTest, TraceLinesNeedTheSwitch) {
  const std::string path = OpenOwnLog();
  EXPECT_EQ(OV_LOG(kLogTrace, "hidden"), 0);
  EXPECT_FALSE(HasMessage(ReadLines(path), "hidden"));
}

TEST_F(LogTest, BadSizesFallBackTo4096) {
  for (int kb : {0, 5000, -1}) {
    logtest::Reset();
    const std::string path = dir_.Path() + FormatString("size_%d.log", kb);
    CBroxLogWrapper(__FILE__, __LINE__).Open(path.c_str(), kb);
    const auto lines = ReadLines(path);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(MarkOf(lines[0]), "##");
    EXPECT_EQ(MessageOf(lines[0]), FormatString("サイズ指定%dKBは不正です。4096KBとします", kb));
  }
}

TEST_F(LogTest, SecondOpenKeepsThePathAndWritesAnotherStartLine) {
  const std::string first = OpenOwnLog();
  const std::string second = dir_.File("second.log");
  CBroxLogWrapper(__FILE__, __LINE__).Open(second.c_str(), 4096);
  EXPECT_EQ(logtest::MainLogPath(), first);
  EXPECT_FALSE(PathFileExists(second));
  EXPECT_EQ(ReadLines(first).size(), 2u);
}

TEST_F(LogTest, UnknownKindIsReportedNotWritten) {
  const std::string path = OpenOwnLog();
  EXPECT_NE(OV_LOG(11, "never"), 0);
  const auto lines = ReadLines(path);
  EXPECT_FALSE(HasMessage(lines, "never"));
  EXPECT_TRUE(HasMessage(lines, "不正なログ種別[11]が指定されました"));
}

TEST_F(LogTest, LongMessagesAreCutWithANotice) {
  const std::string path = OpenOwnLog();
  const std::string big(2000, 'a');
  OV_LOG(kLogInfo, "%s", big.c_str());
  // 1022 single bytes and then a two-byte character: the cut at 1023 bytes
  // must not keep the lead byte alone.
  const std::string edge = std::string(1022, 'b') + "表" + "tail";
  OV_LOG(kLogInfo, "%s", edge.c_str());
  const auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(MessageOf(lines[1]), "出力サイズオーバーです。出力を切り詰めます");
  EXPECT_EQ(MessageOf(lines[2]), std::string(1023, 'a'));
  EXPECT_EQ(MessageOf(lines[3]), "出力サイズオーバーです。出力を切り詰めます");
  EXPECT_EQ(MessageOf(lines[4]), std::string(1022, 'b'));
}

TEST_F(LogTest, RolloverKeepsOneBackup) {
  const std::string path = OpenOwnLog(1);
  const std::string backup = path + ".BAK";
  ASSERT_TRUE(ovtest::WriteFileBytes(backup, "old backup"));
  int written = 0;
  while (ovtest::ReadFileOrEmpty(backup) == "old backup" && written < 100) {
    OV_LOG(kLogInfo, "line %03d %s", written++, std::string(40, 'r').c_str());
  }
  ASSERT_LT(written, 100) << "the file never rolled over";
  const std::string rolled = ovtest::ReadFileOrEmpty(backup);
  EXPECT_LE(rolled.size(), 1024u);
  EXPECT_GT(rolled.size(), 900u);
  const auto current = ReadLines(path);
  ASSERT_EQ(current.size(), 1u);
  EXPECT_EQ(MessageOf(current[0]),
            FormatString("line %03d %s", written - 1, std::string(40, 'r').c_str()));

  // A line larger than the limit still rolls the file and is written whole.
  const std::string huge(1020, 'h');
  OV_LOG(kLogInfo, "%s", huge.c_str());
  const auto after = ReadLines(path);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(MessageOf(after[0]), huge);
}

TEST_F(LogTest, FatalLineCopiesTheLogAndKeepsFourCopies) {
  const std::string path = dir_.File("fat.log");
  CBroxLogWrapper(__FILE__, __LINE__).Open(path.c_str(), 4096);
  const char* older[] = {"fat_fatal20010101000000.log", "fat_fatal20000101000000.log",
                         "fat_fatal20030101000000.log", "fat_fatal20020101000000.log"};
  for (const char* name : older) ASSERT_TRUE(ovtest::WriteFileBytes(dir_.File(name), name));
  EXPECT_EQ(OV_LOG(kLogFatal, "fatal!"), 0);
  EXPECT_FALSE(PathFileExists(dir_.File("fat_fatal20000101000000.log")));
  int copies = 0;
  std::string newest;
  WIN32_FIND_DATAA fd;
  CFindHandle find(FindFirstFileA(dir_.File("fat_fatal*").c_str(), &fd));
  ASSERT_TRUE(find);
  do {
    ++copies;
    if (std::string(fd.cFileName) > newest) newest = fd.cFileName;
  } while (FindNextFileA(find.Get(), &fd));
  EXPECT_EQ(copies, 4);
  ASSERT_EQ(newest.size(), std::string("fat_fatal20000101000000.log").size());
  EXPECT_GT(newest, std::string("fat_fatal2003"));
  const auto copied = ReadLines(dir_.File(newest));
  ASSERT_FALSE(copied.empty());
  EXPECT_EQ(MarkOf(copied.back()), ";;");
  EXPECT_EQ(MessageOf(copied.back()), "fatal!");
}

TEST_F(LogTest, AFolderDotIsNotTakenForTheExtension) {
  const std::string folder = dir_.Path() + "v1.2\\";
  ASSERT_TRUE(CreateDirectories(folder));
  const std::string path = folder + "plain";
  CBroxLogWrapper(__FILE__, __LINE__).Open(path.c_str(), 4096);
  EXPECT_EQ(OV_LOG(kLogFatal, "x"), 0);
  WIN32_FIND_DATAA fd;
  CFindHandle find(FindFirstFileA((folder + "plain_fatal2*").c_str(), &fd));
  EXPECT_TRUE(find);
}

TEST_F(LogTest, HeldMutexLosesTheLineWithANoticeInTheSystemLog) {
  const std::string path = OpenOwnLog();
  const std::string mutex_name = PathFindFileName(path);
  CHandle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ovtest::CTestThread holder(
      [&] {
        CHandle m(CreateMutexA(nullptr, FALSE, mutex_name.c_str()));
        WaitForSingleObject(m.Get(), INFINITE);
        SetEvent(held.Get());
        WaitForSingleObject(release.Get(), 30000);
        ReleaseMutex(m.Get());
      },
      [&] { SetEvent(release.Get()); });
  ASSERT_EQ(WaitForSingleObject(held.Get(), 30000), WAIT_OBJECT_0);
  logtest::SetMutexTimeout(50);
  EXPECT_NE(OV_LOG(kLogInfo, "lost line"), 0);
  SetEvent(release.Get());
  holder.Join();

  EXPECT_FALSE(HasMessage(ReadLines(path), "lost line"));
  EXPECT_EQ(logtest::SystemLogPath(), dir_.File("foundation_tests_sys.log"));
  const auto sys = ReadLines(logtest::SystemLogPath());
  ASSERT_FALSE(sys.empty());
  EXPECT_EQ(MarkOf(sys.back()), "##");
  EXPECT_EQ(MessageOf(sys.back()), "排他で待てませんでした");
}

TEST_F(LogTest, ThreadsNeverInterleaveLines) {
  const std::string path = OpenOwnLog();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) OV_LOG(kLogInfo, "thread %d line %d", t, i);
    });
  }
  for (auto& th : threads) th.join();
  const auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 1u + 200u);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(MessageOf(lines[i]).rfind("thread ", 0), 0u) << lines[i];
  }
}

// The trace switch and the log before Open depend on files beside the
// program: they run in a copy of this test program in a folder of its own.
namespace {

std::string ChildLogPath() {
  char buffer[MAX_PATH] = {};
  return GetEnvironmentVariableA("OV_LOG_CHILD", buffer, sizeof(buffer)) ? buffer : "";
}

class LogChildProcessTest : public LogTest {
 protected:
  // Runs one LogChild case in a copy of this program beside the given ini.
  void RunChild(const char* test, const char* ini, const std::string& log_path) {
    const std::string exe = dir_.File("child.exe");
    ASSERT_TRUE(CopyFileA(GetModulePath(nullptr).c_str(), exe.c_str(), FALSE));
    if (ini) {
      ASSERT_TRUE(ovtest::WriteFileBytes(dir_.File("OVLOG.ini"), ini));
    }
    SetEnvironmentVariableA("OV_LOG_CHILD", log_path.c_str());
    const auto result = ovtest::RunProcess(
        FormatString("\"%s\" --gtest_filter=LogChild.%s", exe.c_str(), test), 60000);
    SetEnvironmentVariableA("OV_LOG_CHILD", nullptr);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, 0u);
  }
};

}  // namespace

TEST(LogChild, TraceLine) {
  const std::string path = ChildLogPath();
  if (path.empty()) GTEST_SKIP() << "runs inside LogChildProcessTest";
  CBroxLogWrapper(__FILE__, __LINE__).Open(path.c_str(), 4096);
  OV_LOG(kLogTrace, "traced");
}

TEST(LogChild, BeforeOpen) {
  if (ChildLogPath().empty()) GTEST_SKIP() << "runs inside LogChildProcessTest";
  OV_LOG(kLogInfo, "early line");
}

TEST_F(LogChildProcessTest, RecoverSwitchAddsMemoryFigures) {
  const std::string on = dir_.File("on.log");
  RunChild("TraceLine", "[Log]\r\nRecover=1\r\n", on);
  const auto lines = ReadLines(on);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(MarkOf(lines[1]), "@@");
  EXPECT_TRUE(std::regex_search(lines[1], std::regex("\t\\[WS:\\d+KB, PF:\\d+KB\\]\ttraced$")))
      << lines[1];

  const std::string off = dir_.File("off.log");
  RunChild("TraceLine", "[Log]\r\nRecover=0\r\n", off);
  EXPECT_EQ(ReadLines(off).size(), 1u);
}

TEST_F(LogChildProcessTest, LinesBeforeOpenGoToTheSystemLogBesideTheProgram) {
  RunChild("BeforeOpen", nullptr, "unused");
  const auto lines = ReadLines(dir_.File("child_sys.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(MessageOf(lines[0]), "出力先が設定されていません。デフォルト出力先を使用します");
  EXPECT_EQ(MarkOf(lines[0]), "##");
  EXPECT_EQ(MessageOf(lines[1]), "early line");
  EXPECT_EQ(MarkOf(lines[1]), "..");
}

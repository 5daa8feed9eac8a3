// The log upload against the stand-in's permission and upload services: the
// jobs' results as posted to a message-only window, the zip as the stand-in
// read it, and what is left of the logs and the temporary files afterwards.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "AplLogUpload.h"
#include "Folders.h"
#include "Handle.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

constexpr UINT kDoneMessage = WM_APP + 2;
constexpr DWORD kJobLimitMs = 120000;
// Long enough for a start to find the job still running, short enough that
// the client's stop (which cannot interrupt the wait for the reply's headers)
// ends when the reply comes rather than by force.
constexpr const char* kDelayedReply = "delay_ms=6000";
constexpr DWORD kRequestLimitMs = 20000;
constexpr const char* kPermissionPath = "/pcapp/LogUploadCheckAPI";
constexpr const char* kUploadPath = "/pcapp/LogUploadAPI";
constexpr const char* kDeviceNo = "DEV123";
constexpr uint32_t kCcid = 5;  // sent as ccid_head "00050000"
constexpr size_t kFiveMegabytes = 5 * 1024 * 1024;

// A message-only window that receives the jobs' completion messages.
class CNotifyWindow final {
 public:
  CNotifyWindow()
      : _window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr)) {}
  ~CNotifyWindow() {
    if (_window) DestroyWindow(_window);
  }
  CNotifyWindow(const CNotifyWindow&) = delete;
  CNotifyWindow& operator=(const CNotifyWindow&) = delete;

  HWND Get() const { return _window; }

  // The next completion; false when none arrives within the limit.
  bool Wait(DWORD limit_ms, uint32_t* result, uint32_t* detail) {
    const DWORD start = GetTickCount();
    for (;;) {
      MSG msg;
      if (PeekMessageA(&msg, _window, kDoneMessage, kDoneMessage, PM_REMOVE)) {
        *result = static_cast<uint32_t>(msg.wParam);
        *detail = static_cast<uint32_t>(msg.lParam);
        return true;
      }
      const DWORD spent = GetTickCount() - start;
      if (spent >= limit_ms) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, limit_ms - spent, QS_POSTMESSAGE);
    }
  }

  bool HasMore() {
    MSG msg;
    return PeekMessageA(&msg, _window, kDoneMessage, kDoneMessage, PM_NOREMOVE) != FALSE;
  }

 private:
  HWND _window;
};

std::string Lines(const char* line, size_t size) {
  std::string text;
  while (text.size() < size) text += line;
  text.resize(size);
  return text;
}

std::string Crc(const std::string& bytes) {
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                          static_cast<uInt>(bytes.size()));
  return FormatString("%08lX", static_cast<unsigned long>(crc));
}

// A cancel event name of this test's own, so that test processes running
// side by side never cancel each other's jobs.
std::string PrivateEventName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return FormatString("AplLogUploadCancel-%lu-%s", GetCurrentProcessId(), info ? info->name() : "");
}

class LogUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
    ASSERT_NE(nullptr, _window.Get());
    const std::string info = _dir.File("Connection.info");
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  }
  void TearDown() override { SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr); }

  std::string LogFile(const std::string& name) const { return GetLogFolder() + name; }

  // Two logs collected, two left out, one text file that is no log.
  void WriteLogFolder() {
    _files = {
        {"Ostrovelle_EV.log", Lines("2010/01/31 12:00:00 .. launcher line\r\n", 3000)},
        {"Ostrovelle_Core.log", Lines("2010/01/31 12:00:00 .. core line\r\n", kFiveMegabytes)},
        {"20100131.log", Lines("2010/01/31 12:00:00 .. dated line\r\n", kFiveMegabytes)},
        {"20101301.log", "no such month\r\n"},
        {"notes.txt", "not a log\r\n"},
    };
    for (const auto& file : _files) {
      ASSERT_TRUE(ovtest::WriteFileBytes(LogFile(file.first), file.second)) << file.first;
    }
  }

  const std::string& Content(const std::string& name) const {
    for (const auto& file : _files) {
      if (file.first == name) return file.second;
    }
    static const std::string none;
    return none;
  }

  // The entries of the temporary folder (the collection folders and zips).
  static std::vector<std::string> TemporaryEntries() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    CFindHandle find(FindFirstFileA((GetTemporaryFolder() + "*").c_str(), &found));
    if (!find) return names;
    do {
      if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) {
        names.push_back(found.cFileName);
      }
    } while (FindNextFileA(find.Get(), &found));
    return names;
  }

  void ExpectLogsKept(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      std::string bytes;
      EXPECT_TRUE(ovtest::ReadFileBytes(LogFile(name), &bytes)) << name;
      EXPECT_EQ(Content(name).size(), bytes.size()) << name;
    }
  }

  void ExpectSendFilesGone(const CAplLogUpload& upload) {
    EXPECT_FALSE(PathFileExists(upload.GetSendFilePath()));
    EXPECT_FALSE(PathFileExists(upload.GetCollectFolderPath()));
    EXPECT_TRUE(TemporaryEntries().empty());
  }

  ::testing::AssertionResult RunJob(CAplLogUpload& upload, int job, uint32_t* result,
                                    uint32_t* detail) {
    if (!upload.Start(_window.Get(), kDoneMessage, job)) {
      return ::testing::AssertionFailure() << "refused: " << std::hex << upload.GetResult();
    }
    if (!_window.Wait(kJobLimitMs, result, detail)) {
      return ::testing::AssertionFailure() << "no completion";
    }
    return ::testing::AssertionSuccess();
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
  ovtest::CStandIn _standin;
  ovtest::CTempDir _dir;
  CNotifyWindow _window;
  std::vector<std::pair<std::string, std::string>> _files;
};

// ---- Names -------------------------------------------------------------

struct NameCase {
  const char* name;
  const char* file;
  logupload::LogFileKind kind;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class LogFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(LogFileNameTest, Classify) {
  EXPECT_EQ(GetParam().kind, logupload::ClassifyLogFileName(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(
    Names, LogFileNameTest,
    ::testing::Values(NameCase{"Launcher", "Ostrovelle_EV.log", logupload::kProgramLog},
                      NameCase{"Core", "Ostrovelle_Core.log", logupload::kProgramLog},
                      NameCase{"Music", "Ostrovelle_Music.log", logupload::kProgramLog},
                      NameCase{"RolledOver", "Ostrovelle_EV.log.1", logupload::kProgramLog},
                      NameCase{"Prefixed", "old_Ostrovelle_Core.log", logupload::kProgramLog},
                      NameCase{"OtherCase", "ostrovelle_ev.log", logupload::kNotALog},
                      NameCase{"Dated", "20100131.log", logupload::kDatedLog},
                      NameCase{"DatedUpperExtension", "20100131.LOG", logupload::kDatedLog},
                      NameCase{"FirstYear", "19800101.log", logupload::kDatedLog},
                      NameCase{"LastYear", "20991231.log", logupload::kDatedLog},
                      NameCase{"YearBefore", "19791231.log", logupload::kNotALog},
                      NameCase{"YearAfter", "21000101.log", logupload::kNotALog},
                      NameCase{"Month13", "20101301.log", logupload::kNotALog},
                      NameCase{"Month0", "20100001.log", logupload::kNotALog},
                      NameCase{"Day32", "20100132.log", logupload::kNotALog},
                      NameCase{"Day0", "20100100.log", logupload::kNotALog},
                      NameCase{"Suffixed", "20100131.log.bak", logupload::kNotALog},
                      NameCase{"ShortDate", "2010131.log", logupload::kNotALog},
                      NameCase{"Signed", "+2010131.log", logupload::kNotALog},
                      NameCase{"Text", "notes.txt", logupload::kNotALog},
                      NameCase{"Null", nullptr, logupload::kNotALog}),
    ovtest::CaseName());

struct DeviceCase {
  const char* name;
  const char* device_no;
  bool safe;
};
void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }

class DeviceNumberTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceNumberTest, NamesAFolderSafely) {
  EXPECT_EQ(GetParam().safe, logupload::IsSafeDeviceNumber(GetParam().device_no));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, DeviceNumberTest,
    ::testing::Values(DeviceCase{"Plain", "DEV123", true}, DeviceCase{"Dotted", "1.2.3", true},
                      // The trail byte 0x5C of a double-byte character separates nothing.
                      DeviceCase{"DoubleByte",
                                 "\x95\x5C"
                                 "1",
                                 true},
                      DeviceCase{"Backslash", "a\\b", false}, DeviceCase{"Slash", "a/b", false},
                      DeviceCase{"Parent", "..", false}, DeviceCase{"ParentInside", "a..b", false},
                      DeviceCase{"Drive", "C:x", false}, DeviceCase{"Control", "a\x01", false},
                      DeviceCase{"Tab", "a\tb", false}, DeviceCase{"Wildcard", "a*", false},
                      DeviceCase{"CutDoubleByte", "a\x95", false}, DeviceCase{"Empty", "", false},
                      DeviceCase{"Null", nullptr, false}),
    ovtest::CaseName());

// ---- Arguments -----------------------------------------------------------

TEST_F(LogUploadTest, SetDiruInfoRefusesMissingOrUnsafeValues) {
  struct Case {
    const char* device_no;
    uint32_t ccid;
    const char* user_agent;
    const char* line;  // empty: no line expected
  };
  const Case cases[] = {
      {kDeviceNo, 0, "agent", "CAplLogUpload::SetDiruInfo - CCID指定なし"},
      {nullptr, kCcid, "agent", "CAplLogUpload::SetDiruInfo - DeviceNo指定なし"},
      {kDeviceNo, kCcid, nullptr, "CAplLogUpload::SetDiruInfo - UserAgent指定なし"},
      {"..\\..\\Log", kCcid, "agent", "CAplLogUpload::SetDiruInfo - DeviceNo不正"},
      {"C:", kCcid, "agent", "CAplLogUpload::SetDiruInfo - DeviceNo不正"},
  };
  for (const Case& c : cases) {
    CAplLogUpload upload(PrivateEventName().c_str());
    _log.Clear();
    EXPECT_FALSE(upload.SetDiruInfo(c.device_no, c.ccid, c.user_agent)) << c.line;
    EXPECT_EQ(logupload::kBadArgument, upload.GetResult()) << c.line;
    EXPECT_TRUE(_log.Contains(c.line)) << c.line;
    EXPECT_TRUE(upload.GetSendFilePath().empty());
    // Without the unit there is no job at all.
    EXPECT_FALSE(upload.Start(_window.Get(), kDoneMessage, logupload::kJobUpload));
    EXPECT_EQ(logupload::kBadArgument, upload.GetResult());
  }
  EXPECT_FALSE(_window.HasMore());
}

TEST_F(LogUploadTest, PathsLieInTheTemporaryFolder) {
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  const std::string folder = upload.GetCollectFolderPath();
  const std::string prefix = GetTemporaryFolder() + "EV_DEV123_";
  ASSERT_EQ(0u, folder.find(prefix)) << folder;
  // "EV_DEV123_" and the local time as yyyymmddhhmmss.
  ASSERT_EQ(prefix.size() + 15, folder.size()) << folder;
  EXPECT_EQ('\\', folder.back());
  EXPECT_EQ(folder.substr(0, folder.size() - 1) + ".zip", upload.GetSendFilePath());
}

TEST_F(LogUploadTest, StartRefusesBadArguments) {
  CAplLogUpload upload(PrivateEventName().c_str());
  EXPECT_FALSE(upload.Start(_window.Get(), kDoneMessage, logupload::kJobPermission));
  EXPECT_EQ(logupload::kBadArgument, upload.GetResult());
  EXPECT_TRUE(_log.Contains("CAplLogUpload::Start - 端末情報未設定 0"));
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  EXPECT_FALSE(upload.Start(reinterpret_cast<HWND>(0x1234), kDoneMessage, 0));
  EXPECT_EQ(logupload::kBadArgument, upload.GetResult());
  EXPECT_TRUE(_log.Contains("CAplLogUpload::Start - 指定HWND不正 00001234"));
  EXPECT_FALSE(upload.Start(_window.Get(), kDoneMessage, 2));
  EXPECT_EQ(logupload::kBadArgument, upload.GetResult());
  EXPECT_TRUE(_log.Contains("CAplLogUpload::Start - 指定処理種別不正 2"));
  EXPECT_FALSE(_window.HasMore());
  EXPECT_TRUE(_standin.Requests().empty());
}

// ---- Permission check ------------------------------------------------------

struct PermissionCase {
  const char* name;
  const char* scenario;
  uint32_t result;
  const char* line;  // empty: none expected
};
void PrintTo(const PermissionCase& c, std::ostream* os) { *os << c.name; }

class LogUploadPermissionTest : public LogUploadTest,
                                public ::testing::WithParamInterface<PermissionCase> {};

TEST_P(LogUploadPermissionTest, PostsTheAnswer) {
  const PermissionCase& c = GetParam();
  ASSERT_TRUE(_standin.Set(kPermissionPath, c.scenario));
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  uint32_t result = 0xFFFFFFFF;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(RunJob(upload, logupload::kJobPermission, &result, &detail));
  EXPECT_EQ(c.result, result) << std::hex << result;
  EXPECT_EQ(0u, detail);
  EXPECT_EQ(c.result, upload.GetResult());
  EXPECT_FALSE(_window.HasMore());
  if (c.line[0] != '\0') {
    EXPECT_TRUE(_log.Contains(c.line)) << _log.Text();
  }

  const std::vector<ovtest::StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ(kPermissionPath, requests[0].path);
  EXPECT_EQ("agent", requests[0].Header("User-Agent"));
  EXPECT_EQ(0u, requests[0].Header("Content-Type").find("application/x-www-form-urlencoded"));
  EXPECT_EQ("00050000", requests[0].form.at("ccid_head"));
  EXPECT_EQ(kDeviceNo, requests[0].form.at("deviceno"));
  // The check touches no file.
  EXPECT_TRUE(TemporaryEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LogUploadPermissionTest,
    ::testing::Values(PermissionCase{"Wanted", "", logupload::kDone,
                                     "ログアップロード許可確認通信完了"},
                      PermissionCase{"NotWanted", "valid=FALSE", logupload::kNotWanted, ""},
                      PermissionCase{"ServerError", "ret=5", 0x200005,
                                     "AplLogUpload::_CheckPermission - ログアップロード許可確認時の"
                                     "サーバーレスポンスエラー [AnalyzeERR:0x80000005]"},
                      PermissionCase{"HttpStatus500", "status=500", 0x1001F4,
                                     "AplLogUpload::_CheckPermission - ログアップロード許可確認時の"
                                     "通信異常失敗[nResponse:0x100001F4]"},
                      // "<html>error</html>"
                      PermissionCase{"HtmlPage", "reply_hex=3c68746d6c3e6572726f723c2f68746d6c3e",
                                     0x200FFF, "[AnalyzeERR:0x00000FFF]"},
                      // "OK" is no answer either.
                      PermissionCase{"PlainOk", "reply_hex=4f4b", 0x200FFF, ""}),
    ovtest::CaseName());

// ---- Upload ------------------------------------------------------------------

TEST_F(LogUploadTest, UploadSendsTheCollectedLogsAndDeletesThem) {
  WriteLogFolder();
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  uint32_t result = 0xFFFFFFFF;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(RunJob(upload, logupload::kJobUpload, &result, &detail));
  EXPECT_EQ(0u, result) << std::hex << result;
  EXPECT_EQ(0u, detail);

  const std::vector<ovtest::StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(1u, requests.size());
  const ovtest::StandInRequest& request = requests[0];
  EXPECT_EQ(kUploadPath, request.path);
  EXPECT_EQ("multipart/form-data; boundary=\"OstrovelleBoundary\"", request.Header("Content-Type"));
  ASSERT_EQ(3u, request.parts.size());
  EXPECT_EQ("00050000", request.parts[0].content);
  EXPECT_EQ(kDeviceNo, request.parts[1].content);
  EXPECT_EQ("file", request.parts[2].name);
  EXPECT_EQ(PathFindFileName(upload.GetSendFilePath()), request.parts[2].filename);

  // The stand-in's reading of the zip: the two logs and the PC's description.
  std::map<std::string, std::string> entries;
  std::string pc_info;
  for (const auto& note : request.notes) {
    EXPECT_NE("zip-error", note.first) << note.second;
    if (note.first.compare(0, 4, "zip:") == 0) entries[note.first.substr(4)] = note.second;
    if (note.first == "zip-text:PcInfo.txt") pc_info = note.second;
  }
  ASSERT_EQ(3u, entries.size());
  for (const char* name : {"Ostrovelle_EV.log", "20100131.log"}) {
    EXPECT_EQ(FormatString("%u ", static_cast<unsigned>(Content(name).size())) + Crc(Content(name)),
              entries[name])
        << name;
  }
  ASSERT_EQ(1u, entries.count("PcInfo.txt"));
  EXPECT_EQ(0u, pc_info.find("起動ユーザー：管理者\r\n\r\nCPU情報：\r\nOEMID:")) << pc_info;
  EXPECT_NE(std::string::npos, pc_info.find("\r\n\r\nメモリ情報：総サイズ")) << pc_info;
  EXPECT_NE(std::string::npos, pc_info.find("\r\n\r\nOS情報：OS ")) << pc_info;
  EXPECT_EQ(pc_info.size() - 4, pc_info.rfind("\r\n\r\n"));
  EXPECT_EQ(FormatString("%u", static_cast<unsigned>(pc_info.size())),
            entries["PcInfo.txt"].substr(0, entries["PcInfo.txt"].find(' ')));

  // What was sent is gone; the rest stays.
  EXPECT_FALSE(PathFileExists(LogFile("Ostrovelle_EV.log")));
  EXPECT_FALSE(PathFileExists(LogFile("20100131.log")));
  ExpectLogsKept({"Ostrovelle_Core.log", "20101301.log", "notes.txt"});
  ExpectSendFilesGone(upload);
  EXPECT_TRUE(
      _log.Contains("CAplLogUpload::_CollectLogFiles - ログファイルサイズ超過 SIZE:000500000byte "
                    "Ostrovelle_Core.log"));
  EXPECT_TRUE(_log.Contains("AplLogUpload::_SendLogFile - ログアップロード通信完了"));
}

struct FailedUploadCase {
  const char* name;
  const char* scenario;
  uint32_t result;
};
void PrintTo(const FailedUploadCase& c, std::ostream* os) { *os << c.name; }

class LogUploadFailureTest : public LogUploadTest,
                             public ::testing::WithParamInterface<FailedUploadCase> {};

TEST_P(LogUploadFailureTest, DeletesNoLog) {
  const FailedUploadCase& c = GetParam();
  WriteLogFolder();
  ASSERT_TRUE(_standin.Set(kUploadPath, c.scenario));
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  uint32_t result = 0;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(RunJob(upload, logupload::kJobUpload, &result, &detail));
  EXPECT_EQ(c.result, result) << std::hex << result;
  EXPECT_EQ(0u, detail);
  ASSERT_EQ(1u, _standin.Requests().size());
  ExpectLogsKept(
      {"Ostrovelle_EV.log", "Ostrovelle_Core.log", "20100131.log", "20101301.log", "notes.txt"});
  ExpectSendFilesGone(upload);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LogUploadFailureTest,
    ::testing::Values(FailedUploadCase{"ServerError", "ret=3", 0x200003},
                      FailedUploadCase{"HttpStatus503", "status=503", 0x1001F7},
                      // "OK": no RET, no confirmation.
                      FailedUploadCase{"PlainOk", "reply_hex=4f4b0d0a", 0x200FFF},
                      // "RET=": no number, no confirmation.
                      FailedUploadCase{"EmptyRet", "reply_hex=5245543d", 0x200FFF}),
    ovtest::CaseName());

TEST_F(LogUploadTest, LinesWrittenAfterTheCopyAreKept) {
  WriteLogFolder();
  ASSERT_TRUE(_standin.Set(kUploadPath, kDelayedReply));
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  ASSERT_TRUE(upload.Start(_window.Get(), kDoneMessage, logupload::kJobUpload));
  // The zip is on its way; the launcher logs one more line.
  ASSERT_TRUE(_standin.WaitForRequests(1, kRequestLimitMs));
  const std::string grown = Content("Ostrovelle_EV.log") + "one more line\r\n";
  ASSERT_TRUE(ovtest::WriteFileBytes(LogFile("Ostrovelle_EV.log"), grown));
  uint32_t result = 0xFFFFFFFF;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(_window.Wait(kJobLimitMs, &result, &detail));
  EXPECT_EQ(0u, result) << std::hex << result;
  EXPECT_EQ(grown, ovtest::ReadFileOrEmpty(LogFile("Ostrovelle_EV.log")));
  EXPECT_FALSE(PathFileExists(LogFile("20100131.log")));
  EXPECT_TRUE(_log.Contains("送信後に更新されたため削除せず"));
  ExpectSendFilesGone(upload);
}

TEST_F(LogUploadTest, ALogThatCannotBeDeletedIsReportedAfterTheUpload) {
  WriteLogFolder();
  // Another program reads the launcher's log and lets no one delete it.
  CFileHandle reader(CreateFileA(LogFile("Ostrovelle_EV.log").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader.IsValid());
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  uint32_t result = 0;
  uint32_t detail = 0;
  ASSERT_TRUE(RunJob(upload, logupload::kJobUpload, &result, &detail));
  // The upload itself went through; the clean-up reports what it left.
  EXPECT_EQ(logupload::kDeleteFailed, result) << std::hex << result;
  EXPECT_EQ(static_cast<uint32_t>(ERROR_SHARING_VIOLATION), detail);
  EXPECT_TRUE(_log.Contains("CAplLogUpload::DeleteFile - DeleteFile失敗 PATH:" +
                            LogFile("Ostrovelle_EV.log") + " ERR:0x00000020"));
  reader.Reset();
  ExpectLogsKept({"Ostrovelle_EV.log", "Ostrovelle_Core.log", "20101301.log", "notes.txt"});
  // A program log's failure does not end the clean-up of the others.
  EXPECT_FALSE(PathFileExists(LogFile("20100131.log")));
  ExpectSendFilesGone(upload);
}

TEST_F(LogUploadTest, AZipThatCannotBeWrittenSendsNothing) {
  WriteLogFolder();
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  // A folder holds the zip's name.
  ASSERT_TRUE(CreateFolderTree(upload.GetSendFilePath()));
  uint32_t result = 0;
  uint32_t detail = 0;
  ASSERT_TRUE(RunJob(upload, logupload::kJobUpload, &result, &detail));
  EXPECT_EQ(logupload::kZipFailed, result) << std::hex << result;
  EXPECT_NE(0u, detail);
  EXPECT_TRUE(_log.Contains("CAplLogUpload::_CreateSendFile - 送信ファイル圧縮失敗 " +
                            upload.GetSendFilePath()));
  EXPECT_TRUE(_standin.Requests().empty());
  ExpectLogsKept(
      {"Ostrovelle_EV.log", "Ostrovelle_Core.log", "20100131.log", "20101301.log", "notes.txt"});
  EXPECT_FALSE(PathFileExists(upload.GetCollectFolderPath()));
}

TEST_F(LogUploadTest, UploadWithoutLogFolderSendsThePcInfo) {
  // The data root's log folder is made on demand; remove it behind the
  // foundation's back.
  ASSERT_TRUE(DeleteFolderTree(GetLogFolder(), true));
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  uint32_t result = 0xFFFFFFFF;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(RunJob(upload, logupload::kJobUpload, &result, &detail));
  EXPECT_EQ(0u, result) << std::hex << result;
  const std::vector<ovtest::StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(1u, requests.size());
  std::vector<std::string> names;
  for (const auto& note : requests[0].notes) {
    if (note.first.compare(0, 4, "zip:") == 0) names.push_back(note.first.substr(4));
  }
  EXPECT_EQ(std::vector<std::string>{"PcInfo.txt"}, names);
  ExpectSendFilesGone(upload);
}

// ---- Stopping ---------------------------------------------------------------

struct CancelCase {
  const char* name;
  int job;
  const char* path;
  const char* line;
};
void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }

class LogUploadCancelTest : public LogUploadTest,
                            public ::testing::WithParamInterface<CancelCase> {};

// The only test that signals the shared event: any party may stop a
// transfer through it.
TEST_P(LogUploadCancelTest, TheNamedEventStopsADelayedReply) {
  const CancelCase& c = GetParam();
  WriteLogFolder();
  ASSERT_TRUE(_standin.Set(c.path, kDelayedReply));
  CAplLogUpload upload;
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  ASSERT_TRUE(upload.Start(_window.Get(), kDoneMessage, c.job));
  ASSERT_TRUE(_standin.WaitForRequests(1, kRequestLimitMs));
  CHandle cancel(OpenEventA(EVENT_MODIFY_STATE, FALSE, logupload::kCancelEventName));
  ASSERT_TRUE(cancel.IsValid());
  const DWORD start = GetTickCount();
  ASSERT_TRUE(SetEvent(cancel.Get()));
  uint32_t result = 0;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(_window.Wait(kJobLimitMs, &result, &detail));
  EXPECT_LT(GetTickCount() - start, 20000u);
  EXPECT_EQ(logupload::kCancelled, result) << std::hex << result;
  EXPECT_EQ(0u, detail);
  EXPECT_TRUE(_log.Contains(c.line));
  ExpectLogsKept(
      {"Ostrovelle_EV.log", "Ostrovelle_Core.log", "20100131.log", "20101301.log", "notes.txt"});
  ExpectSendFilesGone(upload);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, LogUploadCancelTest,
    ::testing::Values(CancelCase{"Permission", logupload::kJobPermission, kPermissionPath,
                                 "AplLogUpload::_CheckPermission - "
                                 "ログアップロード許可確認時のユーザキャンセル"},
                      CancelCase{
                          "Upload", logupload::kJobUpload, kUploadPath,
                          "AplLogUpload::_SendLogFile - ログアップロード時のユーザキャンセル"}),
    ovtest::CaseName());

TEST_F(LogUploadTest, SecondStartDuringADelayedJobIsRefused) {
  WriteLogFolder();
  ASSERT_TRUE(_standin.Set(kUploadPath, kDelayedReply));
  CAplLogUpload upload(PrivateEventName().c_str());
  ASSERT_TRUE(upload.SetDiruInfo(kDeviceNo, kCcid, "agent"));
  ASSERT_TRUE(upload.Start(_window.Get(), kDoneMessage, logupload::kJobUpload));
  ASSERT_TRUE(_standin.WaitForRequests(1, kRequestLimitMs));

  const ovtest::CStopwatch wait;
  EXPECT_FALSE(upload.Start(_window.Get(), kDoneMessage, logupload::kJobPermission));
  EXPECT_GE(wait.Ms(), 1400u);
  EXPECT_EQ(logupload::kThreadFailed, upload.GetResult());
  EXPECT_TRUE(_log.Contains("CAplLogUpload::Start - 開始要求時の処理中エラー直前スレッド生存 1"));

  // The refused start stopped the running job, which posts its own end.
  uint32_t result = 0;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(_window.Wait(kJobLimitMs, &result, &detail));
  EXPECT_EQ(logupload::kCancelled, result) << std::hex << result;
  ExpectLogsKept({"Ostrovelle_EV.log", "20100131.log"});
  ExpectSendFilesGone(upload);

  // Nothing is left running: the next job starts at once and completes.
  ASSERT_TRUE(RunJob(upload, logupload::kJobPermission, &result, &detail));
  EXPECT_EQ(logupload::kDone, result) << std::hex << result;
  EXPECT_FALSE(_window.HasMore());
}

TEST_F(LogUploadTest, DeletingTheObjectMidJobStopsIt) {
  WriteLogFolder();
  ASSERT_TRUE(_standin.Set(kUploadPath, kDelayedReply));
  auto upload = std::make_unique<CAplLogUpload>(PrivateEventName().c_str());
  ASSERT_TRUE(upload->SetDiruInfo(kDeviceNo, kCcid, "agent"));
  const std::string send_file = upload->GetSendFilePath();
  ASSERT_TRUE(upload->Start(_window.Get(), kDoneMessage, logupload::kJobUpload));
  ASSERT_TRUE(_standin.WaitForRequests(1, kRequestLimitMs));
  const DWORD start = GetTickCount();
  upload.reset();
  EXPECT_LT(GetTickCount() - start, 20000u);

  // The job ended before the object went; its message is already here.
  uint32_t result = 0;
  uint32_t detail = 0xFFFFFFFF;
  ASSERT_TRUE(_window.Wait(0, &result, &detail));
  EXPECT_EQ(logupload::kCancelled, result) << std::hex << result;
  ExpectLogsKept({"Ostrovelle_EV.log", "20100131.log"});
  EXPECT_FALSE(PathFileExists(send_file));
  EXPECT_TRUE(TemporaryEntries().empty());
}

}  // namespace

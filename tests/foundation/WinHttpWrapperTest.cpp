// The HTTP client against the stand-in service over real HTTP and HTTPS.
#include <gtest/gtest.h>

#include "ConnectionFile.h"
#include "Handle.h"
#include "HttpExchange.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "WinHttpWrapper.h"

namespace {

using ovtest::CStandIn;
using ovtest::StandInPatternByte;
using ovtest::StandInRequest;

const wchar_t kAgent[] = L"11VuqTRNO/1.000203";
const char kForm[] = "application/x-www-form-urlencoded";
constexpr DWORD kTransferLimitMs = 60000;
constexpr UINT kProgressMessage = WM_APP + 7;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = StandInPatternByte(i);
  return bytes;
}

// A message-only window that receives the client's progress messages.
class CProgressSink final {
 public:
  CProgressSink()
      : _window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr)) {}
  ~CProgressSink() {
    if (_window) DestroyWindow(_window);
  }
  CProgressSink(const CProgressSink&) = delete;
  CProgressSink& operator=(const CProgressSink&) = delete;

  HWND Window() const { return _window; }
  // The bytes reported by the progress messages that have arrived.
  uint64_t Collect() {
    MSG msg;
    while (PeekMessageA(&msg, _window, kProgressMessage, kProgressMessage, PM_REMOVE)) {
      EXPECT_EQ(0u, msg.wParam);
      _total += static_cast<uint64_t>(msg.lParam);
    }
    return _total;
  }
  // Waits until some progress has arrived; false after the limit.
  bool WaitForProgress(DWORD limit_ms) {
    const DWORD start = GetTickCount();
    while (Collect() == 0) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= limit_ms) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, limit_ms - spent, QS_POSTMESSAGE);
    }
    return true;
  }

 private:
  HWND _window;
  uint64_t _total = 0;
};

class WinHttpWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_standin.IsRunning()) << "tools/test starts the stand-in service";
  }

  // Prepares and opens one request; no proxy lookup.
  ::testing::AssertionResult Open(CWinHttpWrapper& http, const std::string& url, int verb,
                                  const char* file = nullptr, bool collect = true) {
    if (!http.SetRequest(url.c_str(), 0, file, collect)) {
      return ::testing::AssertionFailure() << "SetRequest refused";
    }
    if (!http.OpenRequest(verb, kAgent, L"")) {
      return ::testing::AssertionFailure() << "OpenRequest failed for " << url;
    }
    return ::testing::AssertionSuccess();
  }

  static DWORD Finish(CWinHttpWrapper& http, HANDLE thread) {
    EXPECT_NE(nullptr, thread);
    if (!thread) return MAXDWORD;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kTransferLimitMs));
    // A kept worker hands out its end-of-transfer event instead.
    DWORD exit_code = 0;
    if (GetExitCodeThread(thread, &exit_code)) {
      EXPECT_EQ(http.GetResult(), exit_code);
    }
    return http.GetResult();
  }

  DWORD Post(CWinHttpWrapper& http, const std::string& url, const std::string& body,
             const char* file = nullptr, bool collect = true) {
    if (!Open(http, url, kHttpPost, file, collect)) return MAXDWORD;
    return Finish(
        http, http.Upload(body.data(), static_cast<DWORD>(body.size()), kForm, nullptr, nullptr));
  }

  DWORD Get(CWinHttpWrapper& http, const std::string& url, const wchar_t* user = nullptr,
            const wchar_t* password = nullptr, const char* file = nullptr, bool collect = true) {
    if (!Open(http, url, kHttpGet, file, collect)) return MAXDWORD;
    return Finish(http, http.Download(user, password));
  }

  static std::string ReplyText(const CWinHttpWrapper& http) {
    return std::string(http.GetReply().begin(), http.GetReply().end());
  }

  CStandIn _standin;
  ovtest::CTempDir _dir;
  ovtest::CLogCapture _log{true};
};

class WinHttpWrapperSchemeTest : public WinHttpWrapperTest,
                                 public ::testing::WithParamInterface<ovtest::StandInListener> {};

TEST_P(WinHttpWrapperSchemeTest, FormPostReachesTheServerAndTheReplyComesBack) {
  CWinHttpWrapper http;
  const std::string body = "nick=%E3%83%8B&pass=x&apltype=0002";
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo", GetParam()), body));
  EXPECT_EQ(body, ReplyText(http));
  EXPECT_EQ(body.size(), http.GetReceivedSize());
  const std::vector<StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ("/echo", requests[0].path);
  EXPECT_EQ(kForm, requests[0].Header("Content-Type"));
  EXPECT_EQ("11VuqTRNO/1.000203", requests[0].Header("User-Agent"));
  EXPECT_EQ("\xE3\x83\x8B", requests[0].form.at("nick"));
  EXPECT_EQ("0002", requests[0].form.at("apltype"));
}

INSTANTIATE_TEST_SUITE_P(Listeners, WinHttpWrapperSchemeTest,
                         ::testing::Values(ovtest::kStandInHttp, ovtest::kStandInHttps));

TEST_F(WinHttpWrapperTest, UntrustedCertificateIsRefused) {
  CWinHttpWrapper http;
  const DWORD result = Post(http, _standin.Url("/echo", ovtest::kStandInUntrusted), "a=1");
  // Wine reports 12157 where Windows reports 12175.
  EXPECT_TRUE(result == ERROR_WINHTTP_SECURE_CHANNEL_ERROR ||
              result == ERROR_WINHTTP_SECURE_FAILURE)
      << result;
  EXPECT_TRUE(http.GetReply().empty());
  EXPECT_TRUE(_log.Contains("WinHttpSendRequest失敗"));
}

TEST_F(WinHttpWrapperTest, StatusOutsideSuccessRangeIsFlagged) {
  for (int status : {404, 503, 199}) {
    ASSERT_TRUE(_standin.Set("/echo", FormatString("status=%d", status)));
    CWinHttpWrapper http;
    EXPECT_EQ(kHttpStatusFlag | static_cast<DWORD>(status),
              Post(http, _standin.Url("/echo"), "a=1"));
  }
  EXPECT_TRUE(_log.Contains("WinHttpQueryHeaders HTTPSTATUSエラー:404"));
}

TEST_F(WinHttpWrapperTest, ReplyWithoutStatusLineIsFlagged) {
  ASSERT_TRUE(_standin.Set("/echo", "no_status=1"));
  CWinHttpWrapper http;
  const DWORD result = Post(http, _standin.Url("/echo"), "a=1");
  EXPECT_NE(0u, result);
  if (result & kHttpStatusFlag) {
    EXPECT_EQ(kHttpStatusFlag, result);
  }
}

TEST_F(WinHttpWrapperTest, LongReplyWithLengthIntoMemoryWithProgress) {
  const size_t size = 9 * 1024 * 1024 + 17;  // more than two chunks
  CProgressSink progress;
  CWinHttpWrapper http;
  http.SetProgressTarget(progress.Window(), kProgressMessage);
  ASSERT_EQ(0u,
            Get(http, _standin.Url(FormatString("/bytes?size=%u", static_cast<unsigned>(size)))));
  ASSERT_EQ(size, http.GetReply().size());
  EXPECT_TRUE(ReplyText(http) == Pattern(size));
  EXPECT_EQ(size, progress.Collect());
  EXPECT_TRUE(_log.Contains(
      FormatString("WINHTTP_QUERY_CONTENT_LENGTH %uBYTE", static_cast<unsigned>(size))));
}

TEST_F(WinHttpWrapperTest, ReplyWithoutLengthIsReadToItsEnd) {
  const size_t size = 300000;
  ASSERT_TRUE(_standin.Set("/bytes", "no_length=1"));
  CWinHttpWrapper http;
  ASSERT_EQ(0u, Get(http, _standin.Url("/bytes?size=300000")));
  EXPECT_TRUE(ReplyText(http) == Pattern(size));
  EXPECT_FALSE(_log.Contains("WINHTTP_QUERY_CONTENT_LENGTH"));
}

TEST_F(WinHttpWrapperTest, AppendModeWritesEachPieceToTheFile) {
  const std::string file = _dir.File("piece.bin");
  CWinHttpWrapper http;
  ASSERT_EQ(0u,
            Get(http, _standin.Url("/bytes?size=5000000"), nullptr, nullptr, file.c_str(), false));
  EXPECT_TRUE(http.GetReply().empty());
  EXPECT_EQ(5000000u, http.GetReceivedSize());
  EXPECT_TRUE(ovtest::ReadFileOrEmpty(file) == Pattern(5000000));
}

TEST_F(WinHttpWrapperTest, SaveModeReplacesTheFileAfterTheReply) {
  const std::string file = _dir.File("image.bin");
  ASSERT_TRUE(ovtest::WriteFileBytes(file, "old content that is longer than the reply"));
  CWinHttpWrapper http;
  ASSERT_EQ(0u, Get(http, _standin.Url("/text?body=fresh"), nullptr, nullptr, file.c_str(), true));
  EXPECT_EQ("fresh", ovtest::ReadFileOrEmpty(file));
  EXPECT_EQ("fresh", ReplyText(http));
}

TEST_F(WinHttpWrapperTest, FailedSaveIsReportedAndLeavesTheOldFile) {
  const std::string file = _dir.File("image.bin");
  ASSERT_TRUE(ovtest::WriteFileBytes(file, "old"));
  // A folder by the temporary file's name makes the save fail.
  ASSERT_TRUE(CreateDirectoryA((file + ".new").c_str(), nullptr));
  CWinHttpWrapper http;
  EXPECT_NE(0u, Get(http, _standin.Url("/text?body=fresh"), nullptr, nullptr, file.c_str(), true));
  EXPECT_EQ("old", ovtest::ReadFileOrEmpty(file));
  EXPECT_TRUE(_log.Contains("ダウンロードデータ書込み時のファイルオープン失敗"));

  CWinHttpWrapper append;
  const std::string missing_folder = _dir.File("no such folder\\piece.bin");
  EXPECT_EQ(
      static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
      Get(append, _standin.Url("/text?body=x"), nullptr, nullptr, missing_folder.c_str(), false));
}

TEST_F(WinHttpWrapperTest, EmptyReplyCannotBeSaved) {
  CWinHttpWrapper http;
  EXPECT_EQ(
      static_cast<DWORD>(ERROR_WINHTTP_INVALID_SERVER_RESPONSE),
      Get(http, _standin.Url("/text?body="), nullptr, nullptr, _dir.File("x.bin").c_str(), true));
  EXPECT_TRUE(_log.Contains("ファイル書込み時のデータエラー"));
}

TEST_F(WinHttpWrapperTest, TruncatedBodyEndsAfterTenEmptyReads) {
  ASSERT_TRUE(_standin.Set("/bytes", "truncate=1000"));
  CWinHttpWrapper http;
  http.SetEmptyReadPause(1);
  const DWORD result = Get(http, _standin.Url("/bytes?size=5000"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT), result);
  EXPECT_EQ(1000u, http.GetReceivedSize());
  EXPECT_TRUE(_log.Contains("WinHttpReadData 取得サイズリトライオーバー"));
}

TEST_F(WinHttpWrapperTest, StalledServerEndsWithTimeout) {
  for (const char* stall : {"stall=headers", "stall=body&truncate=100"}) {
    ASSERT_TRUE(_standin.Set("/bytes", stall));
    CWinHttpWrapper http;
    http.SetTimeouts(HttpTimeouts{0, 5000, 5000, 1000});
    EXPECT_EQ(static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT),
              Get(http, _standin.Url("/bytes?size=5000")))
        << stall;
  }
}

TEST_F(WinHttpWrapperTest, AbortMidBodyLeavesThePartialFileAndTheNextTransferAppends) {
  const std::string file = _dir.File("partial.bin");
  const size_t size = 4000000;
  ASSERT_TRUE(_standin.Set("/bytes", "pace_bytes=65536&pace_ms=20"));
  CProgressSink progress;
  CWinHttpWrapper http;
  http.SetProgressTarget(progress.Window(), kProgressMessage);
  ASSERT_TRUE(Open(http, _standin.Url("/bytes?size=4000000"), kHttpGet, file.c_str(), false));
  HANDLE thread = http.Download(nullptr, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_TRUE(progress.WaitForProgress(kTransferLimitMs));
  EXPECT_TRUE(http.Stop(25000));
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), http.GetResult());
  const uint64_t partial = http.GetReceivedSize();
  ASSERT_GT(partial, 0u);
  ASSERT_LT(partial, size);
  EXPECT_EQ(partial, ovtest::ReadFileOrEmpty(file).size());

  ASSERT_TRUE(_standin.Set("/bytes", ""));
  ASSERT_EQ(0u,
            Get(http, _standin.Url("/bytes?size=4000000"), nullptr, nullptr, file.c_str(), false));
  const std::string bytes = ovtest::ReadFileOrEmpty(file);
  ASSERT_EQ(partial + size, bytes.size());
  EXPECT_TRUE(bytes.substr(static_cast<size_t>(partial)) == Pattern(size));
}

// A client that keeps its session serves request after request, follows a
// change of listener (scheme and port) and of user agent, and after a
// failed or a stopped request the next one gets through.
TEST_F(WinHttpWrapperTest, AKeptSessionFollowsEachRequestAndOutlivesFailures) {
  CWinHttpWrapper http;
  http.KeepSession(true);
  const std::string file = _dir.File("kept.bin");
  for (int i = 0; i < 3; ++i) {
    DeleteFileA(file.c_str());
    ASSERT_EQ(0u,
              Get(http, _standin.Url("/bytes?size=300000"), nullptr, nullptr, file.c_str(), false))
        << i;
    EXPECT_TRUE(ovtest::ReadFileOrEmpty(file) == Pattern(300000)) << i;
  }
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo", ovtest::kStandInHttps), "a=1"));
  EXPECT_EQ("a=1", ReplyText(http));
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo"), "b=2"));
  EXPECT_EQ("b=2", ReplyText(http));
  ASSERT_TRUE(http.SetRequest(_standin.Url("/echo").c_str(), 0, nullptr, true));
  ASSERT_TRUE(http.OpenRequest(kHttpPost, L"Other/2.0", L""));
  ASSERT_EQ(0u, Finish(http, http.Upload("c=3", 3, kForm, nullptr, nullptr)));

  ASSERT_TRUE(_standin.Set("/echo", "status=503"));
  EXPECT_EQ(kHttpStatusFlag | 503, Post(http, _standin.Url("/echo"), "d=4"));
  ASSERT_TRUE(_standin.Set("/echo", ""));
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo"), "e=5"));
  EXPECT_EQ("e=5", ReplyText(http));

  ASSERT_TRUE(_standin.Set("/bytes", "pace_bytes=65536&pace_ms=20"));
  CProgressSink progress;
  http.SetProgressTarget(progress.Window(), kProgressMessage);
  ASSERT_TRUE(Open(http, _standin.Url("/bytes?size=4000000"), kHttpGet));
  ASSERT_NE(nullptr, http.Download(nullptr, nullptr));
  ASSERT_TRUE(progress.WaitForProgress(kTransferLimitMs));
  EXPECT_TRUE(http.Stop(25000));
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), http.GetResult());
  http.SetProgressTarget(nullptr, 0);
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo"), "f=6"));
  EXPECT_EQ("f=6", ReplyText(http));

  // Each form reached the server with the agent it was sent with.
  size_t forms = 0;
  for (const StandInRequest& request : _standin.Requests()) {
    if (request.method != "POST") continue;
    ++forms;
    const bool other = request.form.count("c") != 0;
    EXPECT_EQ(other ? "Other/2.0" : "11VuqTRNO/1.000203", request.Header("User-Agent"));
  }
  EXPECT_EQ(6u, forms);
}

TEST_F(WinHttpWrapperTest, StopOnOneWrapperAbortsItsSiblingOnTheSameThread) {
  ASSERT_TRUE(_standin.Set("/bytes", "pace_bytes=65536&pace_ms=20"));
  CWinHttpWrapper idle;
  CWinHttpWrapper busy;
  EXPECT_EQ(idle.GetRunEvent() != nullptr, true);
  CProgressSink progress;
  busy.SetProgressTarget(progress.Window(), kProgressMessage);
  ASSERT_TRUE(Open(busy, _standin.Url("/bytes?size=4000000"), kHttpGet));
  HANDLE thread = busy.Download(nullptr, nullptr);
  ASSERT_TRUE(progress.WaitForProgress(kTransferLimitMs));
  EXPECT_TRUE(idle.Stop(25000));  // no worker of its own: returns at once
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), Finish(busy, thread));
}

// The wait every caller of the client shares: the transfer's end, the
// abort (the transfer is stopped), or no transfer at all.
TEST_F(WinHttpWrapperTest, WaitOrStopTellsHowTheWaitEnded) {
  const CHandle abort(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  DWORD error = 1;
  {
    CWinHttpWrapper http;
    ASSERT_TRUE(Open(http, _standin.Url("/text?body=x"), kHttpGet));
    const HANDLE thread = http.Download(nullptr, nullptr);
    EXPECT_EQ(TransferEnd::kDone, WaitOrStop(http, thread, abort.Get(), 25000, &error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(0u, http.GetResult());
  }
  {
    ASSERT_TRUE(_standin.Set("/bytes", "pace_bytes=65536&pace_ms=20"));
    CWinHttpWrapper http;
    ASSERT_TRUE(Open(http, _standin.Url("/bytes?size=4000000"), kHttpGet));
    const HANDLE thread = http.Download(nullptr, nullptr);
    ASSERT_NE(nullptr, thread);
    SetEvent(abort.Get());
    EXPECT_EQ(TransferEnd::kAborted, WaitOrStop(http, thread, abort.Get(), 25000, &error));
    // Stopped: the worker has ended with the abort's result.
    EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), http.GetResult());
  }
  {
    CWinHttpWrapper http;
    SetLastError(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TransferEnd::kFailed, WaitOrStop(http, nullptr, abort.Get(), 25000, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), error);
  }
}

// A window's cancel and its owner's stop: either one aborts, a null one is
// passed over, and with both unset the transfer runs to its end.
TEST_F(WinHttpWrapperTest, WaitOrStopEndsOnAnyOfItsAborts) {
  const CHandle cancel(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  const CHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  DWORD error = 1;
  {
    CWinHttpWrapper http;
    ASSERT_TRUE(Open(http, _standin.Url("/text?body=x"), kHttpGet));
    const HANDLE thread = http.Download(nullptr, nullptr);
    EXPECT_EQ(TransferEnd::kDone,
              WaitOrStop(http, thread, {cancel.Get(), nullptr, stop.Get()}, 25000, &error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(0u, http.GetResult());
  }
  ASSERT_TRUE(_standin.Set("/bytes", "pace_bytes=65536&pace_ms=20"));
  for (const HANDLE fired : {stop.Get(), cancel.Get()}) {
    CWinHttpWrapper http;
    ASSERT_TRUE(Open(http, _standin.Url("/bytes?size=4000000"), kHttpGet));
    const HANDLE thread = http.Download(nullptr, nullptr);
    ASSERT_NE(nullptr, thread);
    SetEvent(fired);
    EXPECT_EQ(TransferEnd::kAborted,
              WaitOrStop(http, thread, {cancel.Get(), nullptr, stop.Get()}, 25000, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), http.GetResult());
    ResetEvent(fired);
  }
}

TEST_F(WinHttpWrapperTest, WorkerThatCannotSeeTheAbortIsEndedByForce) {
  ASSERT_TRUE(_standin.Set("/text", "stall=headers&stall_ms=20000"));
  CWinHttpWrapper http;
  http.SetTimeouts(HttpTimeouts{0, 5000, 5000, 20000});
  ASSERT_TRUE(Open(http, _standin.Url("/text?body=x"), kHttpGet));
  ASSERT_NE(nullptr, http.Download(nullptr, nullptr));
  ASSERT_TRUE(_standin.WaitForRequests(1, kTransferLimitMs));
  // Blocked in the wait for the headers, the worker never checks the event.
  EXPECT_FALSE(http.Stop(300));
  EXPECT_TRUE(_log.Contains("中断要求にタイムアウトしました"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_REQUEST_ABORTED), http.GetResult());
  // Idle again: the next transfer can be prepared.
  EXPECT_TRUE(http.SetRequest(_standin.Url("/text?body=x").c_str(), 0, nullptr, true));
}

TEST_F(WinHttpWrapperTest, RunEventIsNamedAfterTheConstructingThread) {
  CWinHttpWrapper http;
  CHandle opened(OpenEventA(SYNCHRONIZE, FALSE,
                            FormatString("EventHttpAbort_%lX", GetCurrentThreadId()).c_str()));
  EXPECT_TRUE(opened.IsValid());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened.Get(), 0));
}

TEST_F(WinHttpWrapperTest, DigestChallengeIsAnswered) {
  CWinHttpWrapper http;
  ASSERT_EQ(0u, Get(http, _standin.Url("/digest/all.man?x=1"), L"digest-user", L"digest-pass"));
  EXPECT_EQ("digest ok\r\n", ReplyText(http));
  const std::vector<StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_FALSE(requests[0].HasHeader("Authorization"));
  EXPECT_EQ(0u, requests[1].Header("Authorization").find("Digest username=\"digest-user\""));
  EXPECT_FALSE(_log.Contains("digest-pass"));

  CWinHttpWrapper wrong;
  EXPECT_EQ(kHttpStatusFlag | 401,
            Get(wrong, _standin.Url("/digest/all.man"), L"digest-user", L"bad"));
  CWinHttpWrapper anonymous;
  EXPECT_EQ(kHttpStatusFlag | 401, Get(anonymous, _standin.Url("/digest/all.man")));
}

TEST_F(WinHttpWrapperTest, DigestOverHttpsAndBasicAuthentication) {
  CWinHttpWrapper digest;
  EXPECT_EQ(0u, Get(digest, _standin.Url("/digest/data.bin", ovtest::kStandInHttps), L"digest-user",
                    L"digest-pass"));
  CWinHttpWrapper basic;
  EXPECT_EQ(0u, Get(basic, _standin.Url("/basic/x"), L"basic-user", L"basic-pass"));
  EXPECT_EQ("basic ok\r\n", ReplyText(basic));
}

TEST_F(WinHttpWrapperTest, MultipartUploadCarriesTheBoundary) {
  ASSERT_TRUE(ovtest::WriteFileBytes(_dir.File("unit.log"), std::string("log\0bytes", 9)));
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetLogFileParameters("DEV", 5, _dir.File("unit.log").c_str()));
  CConnectionFile connections(_dir.File("Connection.info"));
  connections.SetParameters(data);
  std::string body;
  ASSERT_TRUE(connections.BuildMultipartData(24, &body));

  CWinHttpWrapper http;
  ASSERT_TRUE(Open(http, _standin.Url("/pcapp/LogUploadAPI", ovtest::kStandInHttps), kHttpPost));
  ASSERT_EQ(0u,
            Finish(http, http.UploadMultiPart(body.data(), static_cast<DWORD>(body.size()),
                                              CConnectionFile::kBoundary, "multipart/form-data")));
  const std::vector<StandInRequest> requests = _standin.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("multipart/form-data; boundary=\"OstrovelleBoundary\"",
            requests[0].Header("Content-Type"));
  ASSERT_EQ(3u, requests[0].parts.size());
  EXPECT_EQ("ccid_head", requests[0].parts[0].name);
  EXPECT_EQ("00050000", requests[0].parts[0].content);
  EXPECT_EQ("unit.log", requests[0].parts[2].filename);
  EXPECT_EQ(std::string("log\0bytes", 9), requests[0].parts[2].content);
  EXPECT_TRUE(_log.Contains("_UploadThreadMultiPart - _UploadThread 終了 終了コード:0."));
}

TEST_F(WinHttpWrapperTest, RefusedStarts) {
  CWinHttpWrapper http;
  EXPECT_FALSE(http.OpenRequest(3, kAgent, L""));
  EXPECT_TRUE(_log.Contains("HTTPVerb指定が不正 HTTPVerbType:3"));
  ASSERT_TRUE(http.SetRequest("", 0, nullptr, true));
  EXPECT_FALSE(http.OpenRequest(kHttpPost, kAgent, L""));
  EXPECT_TRUE(_log.Contains("接続先URLが未設定"));
  ASSERT_TRUE(http.SetRequest("not a url", 0, nullptr, true));
  EXPECT_FALSE(http.OpenRequest(kHttpPost, kAgent, L""));
  EXPECT_TRUE(_log.Contains("接続先URL解析に失敗"));
  EXPECT_EQ(nullptr, http.Upload("a", 1, kForm, nullptr, nullptr));  // nothing open

  ASSERT_TRUE(Open(http, _standin.Url("/echo"), kHttpPost));
  EXPECT_FALSE(http.SetRequest(_standin.Url("/echo").c_str(), 0, nullptr, true));  // open
  SetLastError(0);
  EXPECT_EQ(nullptr, http.Upload("a", 1, nullptr, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(nullptr, http.UploadMultiPart("a", 1, nullptr, "multipart/form-data"));
  EXPECT_EQ(0u, Finish(http, http.Upload("a=1", 3, kForm, nullptr, nullptr)));
  EXPECT_TRUE(http.SetRequest(_standin.Url("/echo").c_str(), 0, nullptr, true));  // idle again
}

TEST_F(WinHttpWrapperTest, ClosedPortGivesThePlatformError) {
  // A listener that is closed again leaves a port nobody serves.
  CWinHttpWrapper http;
  const DWORD result = Post(http, "http://127.0.0.1:1/echo", "a=1");
  EXPECT_EQ(static_cast<DWORD>(ERROR_WINHTTP_CANNOT_CONNECT), result);
}

TEST_F(WinHttpWrapperTest, LongUploadsGetLongTimeouts) {
  const std::string small(CWinHttpWrapper::kLongUploadSize - 1, 'a');
  CWinHttpWrapper http;
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo"), small));
  EXPECT_FALSE(_log.Contains("WinHttpSetTimeouts設定"));
  const std::string large(CWinHttpWrapper::kLongUploadSize, 'a');
  ASSERT_EQ(0u, Post(http, _standin.Url("/echo"), large));
  EXPECT_TRUE(_log.Contains("WinHttpSetTimeouts設定 成功 [ERR:0x00000000]"));
  EXPECT_EQ(large.size(), http.GetReply().size());
}

TEST_F(WinHttpWrapperTest, SecretsInUrlsNeverReachTheLog) {
  ASSERT_TRUE(_standin.Set("/pcapp/DeviceNoUserAuthenticationAPI", "status=500"));
  CWinHttpWrapper http;
  EXPECT_EQ(
      kHttpStatusFlag | 500,
      Post(http, _standin.Url("/pcapp/DeviceNoUserAuthenticationAPI?nick=n&pass=Hush123"), ""));
  EXPECT_TRUE(_log.Contains("pass=****"));
  EXPECT_FALSE(_log.Contains("Hush123"));
}

TEST_F(WinHttpWrapperTest, EveryConnectionReachesItsStandInRoute) {
  ASSERT_TRUE(ovtest::WriteFileBytes(_dir.File("Connection.info"),
                                     _standin.ConnectionInfo(ovtest::kStandInHttps)));
  CConnectionFile connections(_dir.File("Connection.info"));
  for (int id = 0; id <= 30; ++id) {
    const std::string url = connections.GetUrl(id);
    ASSERT_EQ(0u, url.find("https://localhost:")) << id;
    CWinHttpWrapper http;
    // The weather files are behind digest authentication.
    const bool weather = id == 11 || id == 26;
    const DWORD result = weather ? Get(http, url + "all.man", L"rodiduvaveru4", L"Kv37dpwR")
                                 : Post(http, url, "a=1");
    EXPECT_EQ(0u, result) << id << " " << url;
  }
}

TEST_F(WinHttpWrapperTest, ProxyIsLookedUpWhenNoneIsGiven) {
  CWinHttpWrapper http;
  ASSERT_TRUE(http.SetRequest(_standin.Url("/echo").c_str(), 0, nullptr, true));
  ASSERT_TRUE(http.OpenRequest(kHttpPost, kAgent, nullptr));
  EXPECT_TRUE(_log.Contains("AutoConfigURL設定無し"));
  EXPECT_TRUE(_log.Contains("WinHttpOpen WINHTTP_NO_PROXY_NAME"));
  EXPECT_EQ(L"", CWinHttpWrapper::GetProcessProxy());
  EXPECT_EQ(0u, Finish(http, http.Upload("a=1", 3, kForm, nullptr, nullptr)));
}

}  // namespace

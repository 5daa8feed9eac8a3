// The reply analyzers against tables of replies: well-formed answers, server
// errors in both shapes, and replies that must never read as success.
#include <gtest/gtest.h>

#include <string>

#include "AnalyzeRegistData.h"
#include "TestSupport.h"

namespace {

enum class Analyzer { kUploadResult, kAuthentication, kLatestVersion, kPermission };

struct ReplyCase {
  const char* name;
  Analyzer analyzer;
  std::string body;
  uint32_t result;
  const char* version = "";  // outputs expected after the call
  const char* url = "";
  bool permitted = false;
  const char* logged = nullptr;  // an error line the call must write
};

uint32_t Analyze(const ReplyCase& c, std::string* url, std::string* version, bool* permitted) {
  const char* body = c.body.data();
  switch (c.analyzer) {
    case Analyzer::kUploadResult:
      return AnalyzeLogUploadResult(body, c.body.size());
    case Analyzer::kAuthentication:
      return AnalyzeUserAuthentication(body, c.body.size());
    case Analyzer::kLatestVersion:
      return AnalyzeLatestVersion(body, c.body.size(), url, version);
    case Analyzer::kPermission:
      return AnalyzeLogUploadPermission(body, c.body.size(), permitted);
  }
  return 0;
}

class ReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTest, GivesItsResultAndOutputs) {
  const ReplyCase& c = GetParam();
  ovtest::CLogCapture log;
  std::string url, version;
  bool permitted = false;
  EXPECT_EQ(c.result, Analyze(c, &url, &version, &permitted));
  EXPECT_EQ(c.version, version);
  EXPECT_EQ(c.url, url);
  EXPECT_EQ(c.permitted, permitted);
  if (c.logged != nullptr) {
    EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
  }
}

using A = Analyzer;
const uint32_t kBad = reply::kBadReply;

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTest,
    ::testing::Values(
        // The log upload's own answer.
        ReplyCase{"UploadDone", A::kUploadResult, "RET=0", 0},
        ReplyCase{"UploadDoneWithLineEnd", A::kUploadResult, "RET=0\r\n", 0},
        ReplyCase{"UploadRefused", A::kUploadResult, "RET=3", 0x80000003u},
        ReplyCase{"UploadNegative", A::kUploadResult, "RET=-1", 0xFFFFFFFFu},
        ReplyCase{"UploadRetWithoutDigits", A::kUploadResult, "RET=", kBad},
        ReplyCase{"UploadRetOk", A::kUploadResult, "RET=OK", kBad},
        ReplyCase{"UploadRetCutByGarbage", A::kUploadResult, "RET=0x", kBad},
        ReplyCase{"UploadHtml", A::kUploadResult, "<html>500</html>", kBad},
        ReplyCase{"UploadNulInside", A::kUploadResult, std::string("RET=0\0junk", 10), 0},
        // User authentication: one field.
        ReplyCase{"AuthOk", A::kAuthentication, "RET=0", 0},
        ReplyCase{"AuthRefusedInTheField", A::kAuthentication, "RET=12", 0x8000000Cu},
        ReplyCase{"AuthBareErrorIsHex", A::kAuthentication, "RET=12&X=1", 0x80000012u, "", "",
                  false, "サーバレスポンスエラー[SVRERR:18]"},
        ReplyCase{"AuthPlainOkIsNoConfirmation", A::kAuthentication, "OK", kBad, "", "", false,
                  "サーバレスポンスエラー[SVRERR:OK]"},
        ReplyCase{"AuthRetWithoutDigits", A::kAuthentication, "RET=", kBad},
        ReplyCase{"AuthHtmlPage", A::kAuthentication, "<html><body>busy</body></html>", kBad},
        // Latest version: three fields in any order.
        ReplyCase{"VersionAll", A::kLatestVersion, "RET=0&VER=1.2.3&URL=x", 0, "1.2.3", "x"},
        ReplyCase{"VersionAnyOrder", A::kLatestVersion, "URL=http://h/p?a=b&VER=2.0\r\n&RET=0", 0,
                  "2.0", "http://h/p?a=b"},
        ReplyCase{"VersionWithoutUrl", A::kLatestVersion, "RET=0&VER=1.2.3&FOO=x", kBad, "1.2.3"},
        ReplyCase{"VersionWithoutRet", A::kLatestVersion, "X=0&VER=1.2.3&URL=x", kBad, "1.2.3",
                  "x"},
        ReplyCase{"VersionBareError", A::kLatestVersion, "RET=12", 0x8000000Cu, "", "", false,
                  "サーバレスポンスエラー[SVRERR:12]"},
        ReplyCase{"VersionLaterRetWins", A::kLatestVersion, "RET=0&VER=1&RET=5", kBad, "1"},
        ReplyCase{"VersionServerErrorWithFields", A::kLatestVersion, "RET=7&VER=1&URL=u",
                  0x80000007u, "1", "u"},
        ReplyCase{"VersionHtml", A::kLatestVersion, "<html>gone</html>", kBad, "", "", false,
                  "サーバレスポンスエラー[SVRERR:<html>gone</html>]"},
        // Log upload permission: two fields.
        ReplyCase{"PermissionTrue", A::kPermission, "RET=0&VALID=true", 0, "", "", true},
        ReplyCase{"PermissionFalse", A::kPermission, "RET=0&VALID=FALSE", 0},
        ReplyCase{"PermissionRefused", A::kPermission, "RET=5&VALID=TRUE", 0x80000005u, "", "",
                  true},
        ReplyCase{"PermissionWithoutRet", A::kPermission, "X=0&VALID=TRUE", kBad, "", "", true},
        ReplyCase{"PermissionBareError", A::kPermission, "RET=5", 0x80000005u, "", "", false,
                  "AnalyzeLogUploadPermission - サーバレスポンスエラー[SVRERR:5]"},
        ReplyCase{"PermissionHtml", A::kPermission, "<html/>", kBad, "", "", false,
                  "AnalyzeLogUploadPermission - サーバレスポンスエラー[SVRERR:<html/>]"}),
    ovtest::CaseName());

TEST(ReplyTest, NoBodyIsABadReplyForEveryAnalyzer) {
  std::string url, version;
  bool permitted = false;
  for (const size_t length : {size_t{0}, size_t{5}}) {
    const char* body = length == 0 ? "RET=0" : nullptr;
    EXPECT_EQ(reply::kBadReply, AnalyzeLogUploadResult(body, length));
    EXPECT_EQ(reply::kBadReply, AnalyzeUserAuthentication(body, length));
    EXPECT_EQ(reply::kBadReply, AnalyzeLatestVersion(body, length, &url, &version));
    EXPECT_EQ(reply::kBadReply, AnalyzeLogUploadPermission(body, length, &permitted));
  }
}

TEST(ReplyTest, OnlyTheGivenLengthIsRead) {
  const char body[] = "RET=0&VER=1.2&URL=x";
  std::string url, version;
  // Cut after "RET=0&VER=1.2": two fields where three are needed, read as
  // the bare error form, which is never a success.
  EXPECT_EQ(reply::kServerError, AnalyzeLatestVersion(body, 13, &url, &version));
  EXPECT_TRUE(version.empty());
  EXPECT_EQ(0u, AnalyzeLogUploadResult(body, 5));
}

}  // namespace

// The user agent from a card's unit information file, and the browser helper.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CardMaker.h"
#include "ConnectionFile.h"
#include "OstrovelleLite/UserAgent.h"
#include "StandIn.h"
#include "TestSupport.h"
#include "WinHttpWrapper.h"

namespace {

TEST(UserAgent, FormatKnownAnswers) {
  EXPECT_EQ("11VuqTRNO/1.000203", CUserAgent::Format(0x2011, 0x01000203));
  EXPECT_EQ("00VuqTRNO/0.000000", CUserAgent::Format(0, 0));
  EXPECT_EQ("09VuqTRNO/1A.FFFFFF", CUserAgent::Format(0x2009, 0x1AFFFFFF));
}

class UserAgentCardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(_card.IsValid()); }

  ovtest::CTestCard _card;
  ovtest::CLogCapture _log{true};
};

TEST_F(UserAgentCardTest, ProgramRecordOfTheUnit) {
  ASSERT_TRUE(ovtest::CCardMaker()
                  .Model(9)
                  .AddRecord(0x30010002, 0x05000001, 0x2020, 0, "MAP")
                  .AddRecord(0x10000001, 0x01000203, 0x2011, 0)
                  .WriteCard(_card.Letter()));
  CUserAgent& agent = GetUserAgent(_card.Letter());
  EXPECT_EQ(_card.Letter(), agent.GetDrive());
  EXPECT_EQ("11VuqTRNO/1.000203", agent.GetUserAgentA());
  EXPECT_EQ(L"11VuqTRNO/1.000203", agent.GetUserAgentW());
}

TEST_F(UserAgentCardTest, MissingProgramRecordGivesZeros) {
  ASSERT_TRUE(ovtest::CCardMaker().Model(9).WriteCard(_card.Letter()));
  CUserAgent agent;
  agent.SetDrive(_card.Letter());
  EXPECT_TRUE(agent.Generate());
  EXPECT_EQ("00VuqTRNO/0.000000", agent.GetUserAgentA());
}

TEST_F(UserAgentCardTest, OtherModelEmptiesTheText) {
  ASSERT_TRUE(
      ovtest::CCardMaker().Model(9).AddRecord(0x10000001, 1, 0x2011, 0).WriteCard(_card.Letter()));
  CUserAgent agent;
  agent.SetDrive(_card.Letter());
  ASSERT_TRUE(agent.Generate());
  ASSERT_TRUE(ovtest::CCardMaker().Model(8).WriteCard(_card.Letter()));
  EXPECT_FALSE(agent.Generate());
  EXPECT_EQ("", agent.GetUserAgentA());
  EXPECT_TRUE(_log.Contains("UserAgent生成時のモデル不正 8"));
}

TEST_F(UserAgentCardTest, UnreadableCardKeepsTheText) {
  ASSERT_TRUE(ovtest::CCardMaker()
                  .Model(9)
                  .AddRecord(0x10000001, 0x02000001, 0x2012, 0)
                  .WriteCard(_card.Letter()));
  CUserAgent agent;
  EXPECT_FALSE(agent.Generate());  // no drive yet
  agent.SetDrive(_card.Letter());
  ASSERT_TRUE(agent.Generate());
  ASSERT_TRUE(DeleteFileA(_card.Path("PC\\NAVIINFO.DAT").c_str()));
  EXPECT_FALSE(agent.Generate());
  EXPECT_EQ("12VuqTRNO/2.000001", agent.GetUserAgentA());
  ASSERT_TRUE(ovtest::WriteFileBytes(_card.Path("PC\\NAVIINFO.DAT"), std::string(200, 'x')));
  EXPECT_FALSE(agent.Generate());
  EXPECT_EQ("12VuqTRNO/2.000001", agent.GetUserAgentA());
}

// A request carries the user agent of the card's unit to the server.
TEST_F(UserAgentCardTest, RequestsCarryTheUnitsUserAgent) {
  ovtest::CStandIn standin;
  ASSERT_TRUE(standin.IsRunning());
  ASSERT_TRUE(ovtest::CCardMaker()
                  .Model(9)
                  .AddRecord(0x10000001, 0x01000203, 0x2011, 0)
                  .WriteCard(_card.Letter()));
  ovtest::CTempDir dir;
  ASSERT_TRUE(ovtest::WriteFileBytes(dir.File("Connection.info"),
                                     standin.ConnectionInfo(ovtest::kStandInHttps)));
  CConnectionFile connections(dir.File("Connection.info"));
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetDeviceParameters("DEV", 1));
  connections.SetParameters(data);
  std::string body;
  ASSERT_TRUE(connections.BuildFormData(15, &body));

  CWinHttpWrapper http;
  ASSERT_TRUE(http.SetRequest(connections.GetUrl(15).c_str(), 0, nullptr, true));
  ASSERT_TRUE(http.OpenRequest(kHttpPost, GetUserAgent(_card.Letter()).GetUserAgentW(), L""));
  HANDLE thread = http.Upload(body.data(), static_cast<DWORD>(body.size()),
                              "application/x-www-form-urlencoded", nullptr, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
  ASSERT_EQ(0u, http.GetResult());
  const std::vector<ovtest::StandInRequest> requests = standin.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("/pcapp/TransmissionRateLimitAPI", requests[0].path);
  EXPECT_EQ("11VuqTRNO/1.000203", requests[0].Header("User-Agent"));
  EXPECT_EQ("DEV", requests[0].form.at("deviceno"));
}

struct ShellCall {
  std::string file;
  std::string parameters;
  std::string verb;
  std::string folder;
  INT show;
};
std::vector<ShellCall> g_calls;
INT_PTR g_first_result = 42;

HINSTANCE WINAPI RecordShellCall(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                                 INT show) {
  g_calls.push_back(ShellCall{file ? file : "", parameters ? parameters : "<none>",
                              verb ? verb : "", folder ? folder : "<none>", show});
  const INT_PTR result = g_calls.size() == 1 ? g_first_result : 42;
  return reinterpret_cast<HINSTANCE>(result);
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_first_result = 42;
    browsertest::SetShellExecute(&RecordShellCall);
  }
  void TearDown() override { browsertest::SetShellExecute(nullptr); }

  ovtest::CLogCapture _log{true};
};

TEST_F(BrowserTest, OpensTheAddressThroughTheShell) {
  EXPECT_TRUE(OpenDefaultBrowser("https://portal.example/top.html?a=1"));
  ASSERT_EQ(1u, g_calls.size());
  EXPECT_EQ("open", g_calls[0].verb);
  EXPECT_EQ("https://portal.example/top.html?a=1", g_calls[0].file);
  EXPECT_EQ("<none>", g_calls[0].parameters);
  EXPECT_EQ("", g_calls[0].folder);
  EXPECT_EQ(SW_SHOWNORMAL, g_calls[0].show);
}

TEST_F(BrowserTest, FallsBackOnInternetExplorer) {
  g_first_result = SE_ERR_NOASSOC;
  EXPECT_TRUE(OpenDefaultBrowser("http://maker.example/index.html"));
  ASSERT_EQ(2u, g_calls.size());
  EXPECT_EQ("iexplore.exe", g_calls[1].file);
  EXPECT_EQ("http://maker.example/index.html", g_calls[1].parameters);
  EXPECT_TRUE(_log.Contains("既定のブラウザ起動失敗 ShellExecute:0x0000001F"));
}

TEST_F(BrowserTest, RefusesWhatIsNotAWebAddress) {
  EXPECT_FALSE(OpenDefaultBrowser(nullptr));
  EXPECT_FALSE(OpenDefaultBrowser(""));
  EXPECT_FALSE(OpenDefaultBrowser("C:\\Windows\\system32\\calc.exe"));
  EXPECT_FALSE(OpenDefaultBrowser("file:///C:/x.html"));
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace

// The connection table, the URL replacement file and the three builders.
#include <gtest/gtest.h>

#include "ConnectionFile.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

class ConnectionFileTest : public ::testing::Test {
 protected:
  // A connection file object reading its replacements from the test's folder.
  CConnectionFile& Connections() { return _connections; }
  void WriteInfo(const std::string& text) {
    ASSERT_TRUE(ovtest::WriteFileBytes(_dir.File("Connection.info"), text));
  }

  ovtest::CTempDir _dir;
  ovtest::CLogCapture _log{true};
  CConnectionFile _connections{_dir.File("Connection.info")};
};

TEST_F(ConnectionFileTest, BuiltInTableWithoutReplacementFile) {
  EXPECT_FALSE(Connections().HasTestServerInfo());
  for (int id = 0; id <= 30; ++id) {
    const std::string url = Connections().GetUrl(id);
    const bool plain = id == 0 || id == 1 || id == 11;
    EXPECT_EQ(0u, url.find(plain ? "http://" : "https://")) << id << " " << url;
  }
  EXPECT_EQ("", Connections().GetUrl(31));
  EXPECT_EQ("", Connections().GetUrl(-1));
  EXPECT_NE(std::string::npos,
            Connections().GetUrl(4).find("/pcapp/DeviceNoUserAuthenticationAPI"));
  // The two traffic-data rows use two hosts.
  auto host = [](const std::string& url) {
    const size_t start = url.find("//") + 2;
    return url.substr(start, url.find('/', start) - start);
  };
  EXPECT_NE(host(Connections().GetUrl(11)), host(Connections().GetUrl(26)));
  EXPECT_EQ(host(Connections().GetUrl(4)), host(Connections().GetUrl(16)));
}

TEST_F(ConnectionFileTest, ReplacementFileChangesOnlyUrlsAndStopsAtAnEmptyLine) {
  WriteInfo(
      "4,http://127.0.0.1:9/t/x/pcapp/DeviceNoUserAuthenticationAPI\r\n"
      "99,http://127.0.0.1:9/nothing\r\n"
      "5\r\n"
      "abc,http://127.0.0.1:9/bad\r\n"
      "\"6\",\"http://127.0.0.1:9/probe,quoted\",ignored\n"
      "\r\n"
      "7,http://127.0.0.1:9/after-the-empty-line\r\n");
  EXPECT_TRUE(Connections().HasTestServerInfo());
  EXPECT_EQ("http://127.0.0.1:9/t/x/pcapp/DeviceNoUserAuthenticationAPI", Connections().GetUrl(4));
  EXPECT_EQ("https://pcapp.ostrovelle-ev.jp/pcapp/GetLatestPcaplAPI", Connections().GetUrl(5));
  EXPECT_EQ("http://127.0.0.1:9/probe,quoted", Connections().GetUrl(6));
  EXPECT_EQ(0u, Connections().GetUrl(7).find("https://probe."));
  EXPECT_TRUE(_log.Contains("接続ファイル不正 ID:99"));
  EXPECT_TRUE(_log.Contains("接続ファイル不正 行:4"));
  EXPECT_TRUE(_log.Contains("検証用接続情報あり"));

  // The parameter list of a replaced row stays.
  ConnectionParameterData data;
  data.SetUserParameters("n", "p", "D", 1);
  EXPECT_EQ(
      "http://127.0.0.1:9/t/x/pcapp/DeviceNoUserAuthenticationAPI"
      "?nick=n&pass=p&ccid_head=00010000&deviceno=D",
      Connections().BuildRequestUrl(4, &data));
}

TEST_F(ConnectionFileTest, OverlongLinesAreSkippedAndByteOrderMarkIgnored) {
  const std::string long_url = "http://h/" + std::string(1100, 'a');
  WriteInfo(
      "\xEF\xBB\xBF"
      "2,http://h/first\r\n3," +
      long_url + "\r\n4,http://h/last");
  EXPECT_EQ("http://h/first", Connections().GetUrl(2));
  EXPECT_EQ(0u, Connections().GetUrl(3).find("https://portal."));
  EXPECT_EQ("http://h/last", Connections().GetUrl(4));
}

TEST_F(ConnectionFileTest, UnreadableReplacementFileFailsThatCallOnly) {
  // A folder by the file's name cannot be opened as a file.
  ASSERT_TRUE(CreateDirectoryA(_dir.File("Connection.info").c_str(), nullptr));
  EXPECT_FALSE(Connections().Read());
  EXPECT_TRUE(_log.Contains("Connection.infoファイルオープン失敗"));
  EXPECT_EQ(0u, Connections().GetUrl(4).find("https://pcapp."));
}

TEST_F(ConnectionFileTest, RequestUrlQuery) {
  ConnectionParameterData data;
  data.SetParameter(200, "UA");
  data.SetIntParameter(201, 3);
  // Unset values give the key and "=" only.
  EXPECT_EQ(
      "https://portal.ostrovelle-ev.jp/evnavi/PcAppTopLite.html?pcsoft-userAgent=UA"
      "&functionCode=3&nickname=",
      Connections().BuildRequestUrl(2, &data));
  EXPECT_EQ("http://www.brennik.co.jp/car/ostrovelle/ostrovelle_ev/index.html",
            Connections().BuildRequestUrl(0, nullptr));
  EXPECT_EQ("", Connections().BuildRequestUrl(31, nullptr));

  WriteInfo("2,http://h/portal?a=1\r\n5,\r\n");
  CConnectionFile replaced(_dir.File("Connection.info"));
  EXPECT_EQ("http://h/portal?a=1&pcsoft-userAgent=UA&functionCode=3&nickname=",
            replaced.BuildRequestUrl(2, &data));
  EXPECT_EQ("", replaced.BuildRequestUrl(5, &data));
}

TEST_F(ConnectionFileTest, FormBody) {
  ConnectionParameterData data;
  data.SetDeviceParameters("DEV 1", 0x00120034);
  data.SetIntParameter(77, 123456);
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildFormData(14, &body));
  EXPECT_EQ("ccid_head=00520012&deviceno=DEV%201&speed=123456", body);
  EXPECT_TRUE(
      _log.Contains("送信データ(48byte)：ccid_head=00520012&deviceno=DEV%201&speed=123456"));
}

TEST_F(ConnectionFileTest, EveryTextOfAFormBodyIsEncoded) {
  ConnectionParameterData data;
  data.SetParameter(7, "CC");
  data.SetParameter(31, "U");
  data.SetIntParameter(30, 5);
  data.SetParameter(101, "Tom&Jerry=1");
  data.SetParameter(102, "NV 200+");
  data.SetParameter(103, "a%b");
  data.SetParameter(104, "1.0&fc=9");
  data.SetParameter(105, "2=3");
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildFormData(29, &body));
  EXPECT_EQ(
      "fc=05&ccid=CC&uid=U&nickname=Tom%26Jerry%3D1&navimodel=NV%20200%2B&maker=a%25b"
      "&aplver=1%2E0%26fc%3D9&mapver=2%3D3",
      body);
}

TEST_F(ConnectionFileTest, FormBodyRefusesMissingRequiredValue) {
  ConnectionParameterData data;
  data.SetCcidHeadParameter(8, 1);
  Connections().SetParameters(data);
  std::string body = "untouched";
  EXPECT_FALSE(Connections().BuildFormData(14, &body));
  EXPECT_EQ("untouched", body);
  EXPECT_TRUE(_log.Contains("送信データ作成失敗:必須データなし"));
  EXPECT_FALSE(Connections().BuildFormData(31, &body));
  EXPECT_TRUE(_log.Contains("送信データ作成失敗:該当リストなし"));
}

TEST_F(ConnectionFileTest, FormBodyOptionalValuesAndTheMaker) {
  ConnectionParameterData data;
  data.SetParameter(7, "CC");
  data.SetParameter(31, "U");
  data.SetIntParameter(30, 5);
  for (int id : {101, 102, 104, 105}) data.SetParameter(id, "v");
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildFormData(29, &body));
  // The unset maker is sent empty.
  EXPECT_EQ("fc=05&ccid=CC&uid=U&nickname=v&navimodel=v&maker=&aplver=v&mapver=v", body);

  // A left-out first parameter leaves the body beginning with "&".
  ConnectionParameterData circuit;
  Connections().SetParameters(circuit);
  EXPECT_FALSE(Connections().BuildFormData(13, &body));
  EXPECT_TRUE(_log.Contains("送信データ作成失敗\r\n"));
}

TEST_F(ConnectionFileTest, FormBodyAppendsFreePairsOnceInKeyOrder) {
  class Indexed final : public ConnectionParameterData {
   public:
    void Put(int id, int index, const std::string& value) {
      StoreIndexedValue(*FindRow(id), index, value);
    }
  } data;
  data.SetCcidHeadParameter(8, 1);
  data.SetParameter(3, "D");
  data.Put(72, 1, "0B");
  data.Put(72, 0, "0A");
  data.Put(73, 0, "");
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildFormData(15, &body));
  EXPECT_EQ("ccid_head=00010000&deviceno=D&type01_00=0A&type01_01=0B", body);
  ASSERT_TRUE(Connections().BuildFormData(15, &body));
  EXPECT_EQ("ccid_head=00010000&deviceno=D", body);
}

TEST_F(ConnectionFileTest, SecretsNeverReachTheLog) {
  ConnectionParameterData data;
  data.SetUserParameters("nick", "TopSecret1", "D", 1);
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildFormData(4, &body));
  EXPECT_NE(std::string::npos, body.find("pass=TopSecret1"));
  EXPECT_TRUE(_log.Contains("pass=****"));
  EXPECT_FALSE(_log.Contains("TopSecret1"));

  EXPECT_EQ("a=1&pass=****&otp=****&passx=2", MaskRequestSecrets("a=1&pass=x&otp=y&passx=2"));
  EXPECT_EQ("http://h/p?nick=n&pass=****", MaskRequestSecrets("http://h/p?nick=n&pass=s3"));
}

TEST_F(ConnectionFileTest, MultipartBodyCarriesTheFile) {
  const std::string log_bytes("line1\r\n\0binary\xFF", 15);
  ASSERT_TRUE(ovtest::WriteFileBytes(_dir.File("unit.log"), log_bytes));
  ConnectionParameterData data;
  ASSERT_TRUE(data.SetLogFileParameters("DEV", 0x00010002, _dir.File("unit.log").c_str()));
  Connections().SetParameters(data);
  std::string body;
  ASSERT_TRUE(Connections().BuildMultipartData(24, &body));
  const std::string expected =
      "--OstrovelleBoundary\r\n"
      "Content-Disposition: form-data; name=\"ccid_head\"\r\n\r\n00020001\r\n"
      "--OstrovelleBoundary\r\n"
      "Content-Disposition: form-data; name=\"deviceno\"\r\n\r\nDEV\r\n"
      "--OstrovelleBoundary\r\n"
      "Content-Disposition: form-data; name=\"file\"; filename=\"unit.log\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n" +
      log_bytes + "\r\n--OstrovelleBoundary--";
  EXPECT_EQ(expected, body);
  EXPECT_TRUE(_log.Contains(FormatString("送信データ(%dbyte)", static_cast<int>(body.size()))));
}

TEST_F(ConnectionFileTest, MultipartBodyRefusesMissingFileAndValues) {
  ConnectionParameterData data;
  data.SetLogFileParameters("DEV", 1, _dir.File("missing.log").c_str());
  Connections().SetParameters(data);
  std::string body;
  EXPECT_FALSE(Connections().BuildMultipartData(24, &body));
  EXPECT_TRUE(
      _log.Contains("送信データ作成失敗:ファイルオープン失敗 PATH:" + _dir.File("missing.log")));

  ASSERT_TRUE(ovtest::WriteFileBytes(_dir.File("empty.log"), ""));
  data.SetParameter(90, _dir.File("empty.log").c_str());
  Connections().SetParameters(data);
  EXPECT_FALSE(Connections().BuildMultipartData(24, &body));
  EXPECT_TRUE(_log.Contains("送信データ作成失敗:必須データなし"));
}

}  // namespace

// The weather charge against the stand-in: the two fetches with digest
// authentication (and the service's other answers to it), the card files in
// their fixed sizes, the link-file record, the URL of a unit of kind 2, the
// refusal of a hostile data file name, empty and failed replies, and abort.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "InfoTestSupport.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "info/InfoChargeWeather.h"

namespace {

using infotest::CardSpec;
using infotest::RunReport;
using WeatherPtr = std::unique_ptr<CInfoChargeWeather, ChargeDeleter>;

const char kInfoFile[] = "PC\\WEATHER\\WT_INFO.DAT";
const char kDataFile[] = "PC\\WEATHER\\WT_DATA.DAT";

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + 5) & 0xFF);
  return bytes;
}

// The management file the stand-in serves by default, at a chosen size.
std::string ManagementFile(size_t size = 537, const std::string& name = "WT000001.DAT") {
  std::string bytes = Pattern(524) + std::string(size > 524 ? size - 524 : 0, '\0');
  bytes.replace(524, name.size(), name);
  return bytes.substr(0, size);
}

std::string Hex(const std::string& bytes) {
  std::string text;
  for (const char c : bytes)
    text += FormatString("%02X", static_cast<unsigned>(static_cast<uint8_t>(c)));
  return text;
}

std::string FilledData(const std::string& reply) {
  std::string data = reply.substr(0, CInfoChargeWeather::kDataPartSize);
  data.resize(CInfoChargeWeather::kDataPartSize, '\0');
  while (data.size() < CInfoChargeWeather::kDataSize) data += "\x80\xFF\x80\xFF";
  return data;
}

class WeatherChargeTest : public infotest::CInfoChargeTest {
 protected:
  RunReport RunCharge() {
    WeatherPtr charge(new CInfoChargeWeather());
    return Run(*charge);
  }
  // The folder's scenario, for both files.
  bool SetFolder(const std::string& scenario, const char* folder = "/wlink/") {
    return standin.Set(folder, scenario);
  }
};

TEST_F(WeatherChargeTest, FetchesBothFilesWritesThemAndRaisesTheRecord) {
  const RunReport report = RunCharge();
  ASSERT_TRUE(report.finished);
  ASSERT_EQ(std::vector<uint32_t>({0x08000000}), report.errors);
  EXPECT_EQ(std::vector<uint32_t>({0, 25, 50, 75, 100}), report.progress);

  const std::vector<ovtest::StandInRequest> requests = Requests();
  std::vector<std::string> answered;
  for (const ovtest::StandInRequest& r : requests) {
    EXPECT_EQ("GET", r.method);
    if (r.HasHeader("Authorization")) answered.push_back(r.path);
  }
  EXPECT_EQ(std::vector<std::string>({"/wlink/all.man", "/wlink/WT000001.DAT"}), answered);
  EXPECT_EQ(0u, requests.back().Header("Authorization").find("Digest "));
  EXPECT_NE(std::string::npos, requests.back().Header("Authorization").find("rodiduvaveru4"));
  EXPECT_EQ("11VuqTRNO/1.000203", requests.back().Header("User-Agent"));

  EXPECT_EQ(ManagementFile(), CardFile(kInfoFile));
  EXPECT_EQ(FilledData(Pattern(29216)), CardFile(kDataFile));
  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdWeather, &record));
  EXPECT_EQ(0x0100000Au, record.Version());
  EXPECT_EQ(2, record.Status());
  EXPECT_EQ("\\PC\\WEATHER\\WT_DATA.DAT", record.SrcPath());
  EXPECT_EQ(0x11223344u, record.UnitWord());
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(2u, store.card_history[0].stage);
  EXPECT_EQ(0x0100000Au, store.card_history[0].data_version);
}

struct AuthCase {
  const char* name;
  const char* scenario;
};
void PrintTo(const AuthCase& c, std::ostream* os) { *os << c.name; }

class WeatherAuthTest : public WeatherChargeTest, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(WeatherAuthTest, EveryWayTheServiceAsksForTheCredentialsWorks) {
  ASSERT_TRUE(SetFolder(GetParam().scenario));
  EXPECT_EQ(0x08000000u, RunCharge().Last());
  EXPECT_EQ(ManagementFile(), CardFile(kInfoFile));
}

INSTANTIATE_TEST_SUITE_P(Modes, WeatherAuthTest,
                         ::testing::Values(AuthCase{"DigestOnly", "auth=digest_only"},
                                           AuthCase{"DigestOrBasic", "auth=digest"},
                                           AuthCase{"NoAuthentication", "auth=none"}),
                         ovtest::CaseName());

TEST_F(WeatherChargeTest, RefusedCredentialsEndBeforeTheDataFile) {
  ASSERT_TRUE(standin.Set("/wlink/all.man", "status=401"));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x0810000Eu, report.Last());
  for (const ovtest::StandInRequest& r : Requests()) EXPECT_EQ("/wlink/all.man", r.path);
  EXPECT_FALSE(CardHas(kInfoFile));
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(0x0810000Eu, store.card_history[0].result);
}

TEST_F(WeatherChargeTest, ShortFilesArePaddedToTheirSizes) {
  ASSERT_TRUE(SetFolder("man_size=530&data=" + Hex(Pattern(100))));
  ASSERT_EQ(0x08000000u, RunCharge().Last());
  const std::string info = CardFile(kInfoFile);
  ASSERT_EQ(537u, info.size());
  EXPECT_EQ(ManagementFile(530) + std::string(7, '\0'), info);
  const std::string data = CardFile(kDataFile);
  ASSERT_EQ(30800u, data.size());
  EXPECT_EQ(Pattern(100), data.substr(0, 100));
  EXPECT_EQ(std::string(29216 - 100, '\0'), data.substr(100, 29216 - 100));
  EXPECT_EQ(FilledData(Pattern(100)), data);
}

TEST_F(WeatherChargeTest, LongFilesAreCut) {
  ASSERT_TRUE(SetFolder("man=" + Hex(ManagementFile() + "tail") + "&data_size=40000"));
  ASSERT_EQ(0x08000000u, RunCharge().Last());
  EXPECT_EQ(ManagementFile(), CardFile(kInfoFile));
  EXPECT_EQ(FilledData(Pattern(40000)), CardFile(kDataFile));
}

TEST_F(WeatherChargeTest, UnitOfKindTwoFetchesFromItsOwnFolder) {
  CardSpec spec;
  spec.format_version = 0x02000000;
  MakeCard(spec);
  ASSERT_TRUE(SetFolder("name=WT36.DAT", "/wlink36/"));
  ASSERT_EQ(0x08000000u, RunCharge().Last());
  for (const ovtest::StandInRequest& r : Requests()) EXPECT_EQ(0u, r.path.find("/wlink36/"));
  EXPECT_EQ("/wlink36/WT36.DAT", Requests().back().path);
}

struct NameCase {
  const char* name;
  std::string file_name;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class WeatherNameTest : public WeatherChargeTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(WeatherNameTest, NameThatIsNoPlainFileIsNeverFetched) {
  ASSERT_TRUE(SetFolder("man=" + Hex(ManagementFile(537, GetParam().file_name))));
  CreateDirectoryA(card.Path("PC\\WEATHER").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path(kInfoFile), "earlier"));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x08200099u, report.Last());
  for (const ovtest::StandInRequest& r : Requests()) EXPECT_EQ("/wlink/all.man", r.path);
  EXPECT_EQ("earlier", CardFile(kInfoFile));
  EXPECT_FALSE(CardHas(kDataFile));
  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdWeather, &record));
  EXPECT_EQ(0x01000009u, record.Version());
}

INSTANTIATE_TEST_SUITE_P(
    Names, WeatherNameTest,
    ::testing::Values(NameCase{"ParentFolder", "../all.man"}, NameCase{"Slash", "a/b.DAT"},
                      NameCase{"Backslash", "a\\b.DAT"}, NameCase{"Query", "a.DAT?x=1"},
                      NameCase{"Fragment", "a#b"}, NameCase{"Escape", "%2E%2E"},
                      NameCase{"Blank", "WT 1.DAT"}, NameCase{"Dot", "."}, NameCase{"DotDot", ".."},
                      NameCase{"Empty", ""},
                      NameCase{"ControlCharacter", std::string("WT\x01.DAT")},
                      NameCase{"NotAscii", std::string("WT\x83\x5C.DAT")}),
    ovtest::CaseName());

TEST_F(WeatherChargeTest, EmptyDataFileIsNothingToWrite) {
  ASSERT_TRUE(SetFolder("data="));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x0820FF02u, report.Last());
  EXPECT_FALSE(CardHas(kInfoFile));
  EXPECT_TRUE(store.card_history.empty());
}

TEST_F(WeatherChargeTest, MissingDataFileIsAnHttpFailure) {
  ASSERT_TRUE(standin.Set("/wlink/WT000001.DAT", "status=404"));
  EXPECT_EQ(0x08100194u, RunCharge().Last());
  EXPECT_FALSE(CardHas(kInfoFile));
}

TEST_F(WeatherChargeTest, MissingRecordIsReportedAndRecordedWithItsCode) {
  CardSpec spec;
  spec.weather_version = 0;
  MakeCard(spec);
  const RunReport report = RunCharge();
  EXPECT_EQ(0x0830FF03u, report.Last());
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(0x0830FF03u, store.card_history[0].result);
  // The files went onto the card all the same.
  EXPECT_EQ(30800u, CardFile(kDataFile).size());
}

TEST_F(WeatherChargeTest, DataFileThatCannotBeWrittenLeavesTheOldOne) {
  ovtest::CPauseRecorder pauses;
  CreateDirectoryA(card.Path("PC\\WEATHER").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path(kDataFile), "old data"));
  ASSERT_TRUE(CreateDirectoryA(card.Path("PC\\WEATHER\\WT_DATA.DAT.tmp").c_str(), nullptr));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x0830000Au, report.Last());
  EXPECT_NE(0, report.details.back());
  EXPECT_EQ(537u, CardFile(kInfoFile).size());
  EXPECT_EQ("old data", CardFile(kDataFile));
  EXPECT_TRUE(log.Contains("天気予報データ 書込み時のファイルオープン失敗"));
}

TEST_F(WeatherChargeTest, AbortDuringTheDataFileEndsTheRun) {
  ASSERT_TRUE(standin.Set("/wlink/WT000001.DAT", "delay_ms=3000"));
  WeatherPtr charge(new CInfoChargeWeather());
  Begin(*charge);
  ASSERT_TRUE(standin.WaitForRequests(3, 30000));  // all.man twice, the data file once
  EXPECT_TRUE(charge->Abort(1000));
  const RunReport report = Collect(40000);
  ASSERT_TRUE(report.finished);
  EXPECT_EQ(0x0800FF00u, report.Last());
  EXPECT_FALSE(CardHas(kInfoFile));
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(3u, store.card_history[0].stage);
}

TEST(WeatherCredentialTest, FillsTwoCleanBuffers) {
  char user[64];
  char password[64];
  memset(user, 'x', sizeof(user));
  memset(password, 'x', sizeof(password));
  ASSERT_TRUE(SetWeatherDigestCredential(user, password));
  EXPECT_EQ(std::string("rodiduvaveru4") + std::string(51, '\0'), std::string(user, 64));
  EXPECT_EQ(std::string("Kv37dpwR") + std::string(56, '\0'), std::string(password, 64));
  EXPECT_FALSE(SetWeatherDigestCredential(nullptr, password));
  EXPECT_FALSE(SetWeatherDigestCredential(user, nullptr));
}

}  // namespace

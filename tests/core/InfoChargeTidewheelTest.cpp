// The probe-traffic charge against the stand-in: one-time credentials and
// their reuse, expiry and the second run, the traffic request's values, the
// reply's errors, the card files, the link-file record, abort and the
// twenty-minute repeat of the charge manager.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "ChargeKind.h"
#include "CoreManager.h"
#include "InfoTestSupport.h"
#include "RetryTestSupport.h"
#include "info/InfoChargeTidewheel.h"

namespace {

using infotest::CardSpec;
using infotest::RunReport;
using TidewheelPtr = std::unique_ptr<CInfoChargeTidewheel, ChargeDeleter>;

const char kOtpPath[] = "/probe/OFPB";
const char kQztPath[] = "/cgi-bin/qzt.cgi";
const char kDataFile[] = "PC\\PROBE\\RCVDAT.DAT.ENC";
const char kTimeFile[] = "PC\\PROBE\\RCVTIME.DAT";

// The stand-in's default traffic data: 300 bytes of its pattern.
std::string StandInTrafficData(size_t size = 300) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  return data;
}

SYSTEMTIME FixedTime() {
  SYSTEMTIME t = {};
  t.wYear = 2013;
  t.wMonth = 4;
  t.wDay = 5;
  t.wHour = 6;
  t.wMinute = 7;
  t.wSecond = 8;
  t.wMilliseconds = 9;
  return t;
}

class TidewheelChargeTest : public infotest::CInfoChargeTest {
 protected:
  TidewheelPtr MakeCharge() {
    TidewheelPtr charge(new CInfoChargeTidewheel());
    charge->SetClock(FixedTime);
    return charge;
  }
  RunReport RunCharge() {
    TidewheelPtr charge = MakeCharge();
    return Run(*charge);
  }
  // The paths of the requests so far, with the probe server's fc.
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (const ovtest::StandInRequest& r : Requests()) {
      const auto fc = r.form.find("fc");
      calls.push_back(r.path + (fc != r.form.end() ? "?fc=" + fc->second : ""));
    }
    return calls;
  }
  const std::string otp = std::string(kOtpPath) + "?fc=71";
};

TEST_F(TidewheelChargeTest, FirstRunFetchesCredentialsWritesTheCardAndRaisesTheRecord) {
  const RunReport report = RunCharge();
  ASSERT_TRUE(report.finished);
  ASSERT_EQ(std::vector<uint32_t>({0x04000000}), report.errors);
  EXPECT_EQ(pclink::kDataIdTraffic, static_cast<uint32_t>(report.details.back()));
  EXPECT_EQ(std::vector<uint32_t>({0, 25, 50, 75, 100}), report.progress);

  const std::vector<ovtest::StandInRequest> requests = Requests();
  ASSERT_EQ(2u, requests.size());
  const ovtest::StandInRequest& password = requests[0];
  EXPECT_EQ("POST", password.method);
  EXPECT_EQ(kOtpPath, password.path);
  EXPECT_EQ("71", password.form.at("fc"));
  EXPECT_EQ("DIRU0000000001", password.form.at("deviceNo"));
  EXPECT_EQ("00520012", password.form.at("halfCcid"));  // "%04d%04X" of low and high words
  EXPECT_EQ(0u, password.Header("Content-Type").find("application/x-www-form-urlencoded"));
  // The unit's program record names the unit to the servers.
  EXPECT_EQ("11VuqTRNO/1.000203", password.Header("User-Agent"));

  const ovtest::StandInRequest& traffic = requests[1];
  EXPECT_EQ(kQztPath, traffic.path);
  const std::map<std::string, std::string> expected = {{"ccid", "CCID0123456789AB"},
                                                       {"otp", "PW000001"},
                                                       {"map_ver", "‐/2.000291"},
                                                       {"vics", "121"},
                                                       {"comp_type", "0"},
                                                       {"class", "0"},
                                                       {"max", "61440"},
                                                       {"range", "3,3"},
                                                       {"geo", "tokyo"},
                                                       {"accuracy", "8"},
                                                       {"max_link", "7500"},
                                                       {"crypto_type", "1"},
                                                       {"target_point", "520000,140000"},
                                                       {"base_point", "404800,63200"},
                                                       {"map_year", "2012"}};
  for (const auto& field : expected) {
    SCOPED_TRACE(field.first);
    ASSERT_EQ(1u, traffic.form.count(field.first));
    EXPECT_EQ(field.second, traffic.form.at(field.first));
  }
  EXPECT_EQ(0u, traffic.form.count("vics_link_year"));

  EXPECT_EQ(StandInTrafficData(), CardFile(kDataFile));
  const std::string time = CardFile(kTimeFile);
  const std::string expected_time(
      "\x01\0\0\0\xDD\x07\x04\0\x05\0\x06\0\x07\0\x08\0\0\0\0\0\0\0\0\0", 24);
  EXPECT_EQ(expected_time, time);
  EXPECT_FALSE(CardHas("PC\\PROBE\\RCVDAT.DAT.ENC.tmp"));

  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdTraffic, &record));
  EXPECT_EQ(0x01000006u, record.Version());
  EXPECT_EQ(2, record.Status());
  EXPECT_EQ(0x2012, record.Year());
  EXPECT_EQ("\\PC\\PROBE\\RCVDAT.DAT.ENC", record.SrcPath());
  EXPECT_EQ("\\TRAFFIC", record.DstPath());
  EXPECT_EQ(0xA1B2C3D4u, record.UnitWord());
  EXPECT_EQ(0x5E, record.UnitByte());

  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(2u, store.card_history[0].stage);
  EXPECT_EQ(0x04000000u, store.card_history[0].result);
  EXPECT_EQ(0x01000006u, store.card_history[0].data_version);
}

TEST_F(TidewheelChargeTest, SecondRunOfTheCoreReusesTheCredentials) {
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  EXPECT_EQ(std::vector<std::string>({otp, kQztPath, kQztPath}), Calls());
  EXPECT_EQ("PW000001", Requests()[2].form.at("otp"));
}

TEST_F(TidewheelChargeTest, ExpiredCredentialsAreFetchedAgainInTheSameRun) {
  ASSERT_TRUE(standin.Set(kQztPath, "expire=1"));
  const RunReport report = RunCharge();
  ASSERT_TRUE(report.finished);
  // The first pass reports the expiry, the second its success.
  EXPECT_EQ(std::vector<uint32_t>({0x04200011, 0x04000000}), report.errors);
  EXPECT_EQ(std::vector<std::string>({otp, kQztPath, otp, kQztPath}), Calls());
  EXPECT_EQ("PW000002", Requests()[3].form.at("otp"));
  EXPECT_EQ(StandInTrafficData(), CardFile(kDataFile));
}

TEST_F(TidewheelChargeTest, ExpiryTwiceEndsTheRunAndWritesNothing) {
  ASSERT_TRUE(standin.Set(kQztPath, "expire=2"));
  const RunReport report = RunCharge();
  ASSERT_TRUE(report.finished);
  EXPECT_EQ(0x04200011u, report.Last());
  EXPECT_EQ(std::vector<std::string>({otp, kQztPath, otp, kQztPath}), Calls());
  EXPECT_FALSE(CardHas(kDataFile));
  EXPECT_FALSE(CardHas(kTimeFile));
  // The next run of the core starts with new credentials.
  ASSERT_TRUE(standin.Set(kQztPath, "expire=0"));
  EXPECT_EQ(0x04000000u, RunCharge().Last());
  EXPECT_EQ(otp, Calls()[4]);
}

struct ErrorCase {
  const char* name;
  const char* otp_scenario;
  const char* qzt_scenario;
  uint32_t word;
  size_t requests;
};
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class TidewheelErrorTest : public TidewheelChargeTest,
                           public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(TidewheelErrorTest, EndsWithTheCodeAndLeavesTheCardAlone) {
  const ErrorCase& c = GetParam();
  // Data of an earlier run stays as it was.
  CreateDirectoryA(card.Path("PC\\PROBE").c_str(), nullptr);
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path(kDataFile), "earlier data"));
  if (*c.otp_scenario) {
    ASSERT_TRUE(standin.Set(kOtpPath, c.otp_scenario));
  }
  if (*c.qzt_scenario) {
    ASSERT_TRUE(standin.Set(kQztPath, c.qzt_scenario));
  }
  const RunReport report = RunCharge();
  ASSERT_TRUE(report.finished);
  EXPECT_EQ(c.word, report.Last());
  EXPECT_EQ(c.requests, Requests().size());
  EXPECT_EQ("earlier data", CardFile(kDataFile));
  EXPECT_FALSE(CardHas(kTimeFile));
  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdTraffic, &record));
  EXPECT_EQ(0x01000005u, record.Version());
  // A failure is recorded with its own code; nothing to do is not recorded.
  if ((c.word & 0xFFFF) == 0xFF02) {
    EXPECT_TRUE(store.card_history.empty());
  } else {
    ASSERT_EQ(1u, store.card_history.size());
    EXPECT_EQ(4u, store.card_history[0].stage);
    EXPECT_EQ(c.word, store.card_history[0].result);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TidewheelErrorTest,
    ::testing::Values(
        ErrorCase{"PasswordC04", "otp_code=C04", "", 0x04200204, 1},
        ErrorCase{"PasswordE98", "otp_code=E98", "", 0x04200298, 1},
        ErrorCase{"PasswordE99", "otp_code=E99", "", 0x04200299, 1},
        ErrorCase{"PasswordUnknown", "otp_code=X01", "", 0x042002FF, 1},
        ErrorCase{"PasswordWithoutItsCharacters", "otp_reply=524553554C543D4330300D0A434349443D",
                  "", 0x042002FF, 1},
        ErrorCase{"PasswordEmpty", "otp_reply=", "", 0x04200299, 1},
        ErrorCase{"PasswordServerDown", "status=503", "", 0x041001F7, 1},
        ErrorCase{"TrafficServerDown", "", "status=500", 0x041001F4, 2},
        ErrorCase{"Error0001", "", "qzt_error=0001", 0x04200010, 2},
        ErrorCase{"Error0010", "", "qzt_error=0010", 0x04200017, 2},
        ErrorCase{"Error0100NothingToDo", "", "qzt_error=0100", 0x0400FF02, 2},
        ErrorCase{"Error0102", "", "qzt_error=0102", 0x04200014, 2},
        ErrorCase{"Error0104", "", "qzt_error=0104", 0x04200015, 2},
        ErrorCase{"Error0105", "", "qzt_error=0105", 0x04200016, 2},
        ErrorCase{"ErrorFFFE", "", "qzt_error=FFFE", 0x04200012, 2},
        ErrorCase{"ErrorUnknown", "", "qzt_error=4242", 0x04200099, 2},
        ErrorCase{"EmptyReply", "", "qzt_reply=", 0x0420000F, 2},
        ErrorCase{"UnknownType", "", "qzt_reply=41024142", 0x04200099, 2},
        ErrorCase{"AnnouncesMoreThanReceived", "", "qzt_reply=4F0A41424344", 0x04000099, 2},
        ErrorCase{"LengthSmallerThanItsField", "", "qzt_reply=4F80000241", 0x04000099, 2},
        ErrorCase{"ShorterThanItsField", "", "qzt_reply=4FC000", 0x04000099, 2}),
    ovtest::CaseName());

TEST_F(TidewheelChargeTest, ReplyCodeC03IsReportedAfterTheFilesWereWritten) {
  ASSERT_TRUE(standin.Set(kOtpPath, "otp_code=C03"));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x04200203u, report.Last());
  EXPECT_EQ(StandInTrafficData(), CardFile(kDataFile));
  // Registered (C01) is success; a reply code means VICS without probes.
  EXPECT_EQ("113", Requests()[1].form.at("vics"));
}

TEST_F(TidewheelChargeTest, ReplyCodeC01EndsWithSuccess) {
  ASSERT_TRUE(standin.Set(kOtpPath, "otp_code=C01"));
  EXPECT_EQ(0x04000000u, RunCharge().Last());
}

TEST_F(TidewheelChargeTest, ProbeSendingOffAsksWithoutProbesAndSucceeds) {
  CardSpec spec;
  spec.probe_send = false;
  MakeCard(spec);
  EXPECT_EQ(0x04000000u, RunCharge().Last());
  EXPECT_EQ("113", Requests()[1].form.at("vics"));
}

TEST_F(TidewheelChargeTest, UnitOfKindTwoSendsTheLinkYear) {
  CardSpec spec;
  spec.format_version = 0x02000000;
  MakeCard(spec);
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  const ovtest::StandInRequest traffic = Requests()[1];
  EXPECT_EQ(kQztPath, traffic.path);
  EXPECT_EQ("2011", traffic.form.at("vics_link_year"));
  EXPECT_EQ(0u, traffic.form.count("map_year"));
}

TEST_F(TidewheelChargeTest, OversizeTrailerIsWrittenWithItsMarkCleared) {
  ASSERT_TRUE(standin.Set(kQztPath, "data=0102030405060708&trailer=0123"));
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  EXPECT_EQ(std::string("\x01\x02\x03\x00\x04\x01\x23\x00", 8), CardFile(kDataFile));
  EXPECT_TRUE(log.Contains("渋滞情報サイズ超過(続行) 0123"));
}

TEST_F(TidewheelChargeTest, WideLengthFieldsCarryTheWholeData) {
  ASSERT_TRUE(standin.Set(kQztPath, "size=70000&field=4"));
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  EXPECT_EQ(StandInTrafficData(70000), CardFile(kDataFile));
}

TEST_F(TidewheelChargeTest, SharedStatusMarkBecomesFour) {
  CardSpec spec;
  spec.traffic_status = 0xFFF;
  MakeCard(spec);
  ASSERT_EQ(0x04000000u, RunCharge().Last());
  CPcLinkRecord record;
  ASSERT_TRUE(LinkRecord(pclink::kDataIdTraffic, &record));
  EXPECT_EQ(4, record.Status());
}

// A record missing from either file is a failure, recorded with its code:
// without the record the unit would never see the new data.
TEST_F(TidewheelChargeTest, MissingRecordIsReportedAndRecordedWithItsCode) {
  CardSpec without;
  without.traffic_version = 0;
  struct {
    const char* name;
    bool link_only;
    const char* line;
  } const cases[] = {
      {"unit information file", false, "お出かけ管理ファイル 更新データ取得失敗"},
      {"link file", true, "お出かけ管理ファイル 更新処理失敗[ERR:0x00000490]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeCard(CardSpec());
    if (c.link_only) {
      MakeLinkFile(without);
    } else {
      MakeCard(without);
    }
    store.card_history.clear();
    EXPECT_EQ(0x0430FF03u, RunCharge().Last());
    ASSERT_EQ(1u, store.card_history.size());
    EXPECT_EQ(4u, store.card_history[0].stage);
    EXPECT_EQ(0x0430FF03u, store.card_history[0].result);
    EXPECT_TRUE(log.Contains(c.line));
    CPcLinkRecord record;
    EXPECT_FALSE(LinkRecord(pclink::kDataIdTraffic, &record));
  }
}

TEST_F(TidewheelChargeTest, DataFileThatCannotBeCreatedKeepsTheTimeFileAndTheDetail) {
  ovtest::CPauseRecorder pauses;
  // A folder where the data file's temporary file must go.
  ASSERT_TRUE(CreateDirectoryA(card.Path("PC\\PROBE").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(card.Path("PC\\PROBE\\RCVDAT.DAT.ENC.tmp").c_str(), nullptr));
  const RunReport report = RunCharge();
  EXPECT_EQ(0x0430000Au, report.Last());
  EXPECT_NE(0, report.details.back());
  EXPECT_EQ(24u, CardFile(kTimeFile).size());
  EXPECT_FALSE(CardHas(kDataFile));
  EXPECT_TRUE(log.Contains("QZTまたは、Tidewheel渋滞情報データ書込み時のファイルオープン失敗"));
}

TEST_F(TidewheelChargeTest, AbortWhileWaitingForTheServerEndsTheRun) {
  // A slow server: the transfer sees the abort when its reply comes.
  ASSERT_TRUE(standin.Set(kQztPath, "delay_ms=3000"));
  TidewheelPtr charge = MakeCharge();
  Begin(*charge);
  ASSERT_TRUE(standin.WaitForRequests(2, 30000));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(charge->Abort(1000));
  const RunReport report = Collect(40000);
  ASSERT_TRUE(report.finished);
  EXPECT_LT(GetTickCount() - start, 20000u);
  EXPECT_EQ(0x0400FF00u, report.Last());
  EXPECT_FALSE(CardHas(kDataFile));
  ASSERT_EQ(1u, store.card_history.size());
  EXPECT_EQ(3u, store.card_history[0].stage);
}

// The charge manager reserves the charge again after twenty minutes of its
// clock, and the second run reuses the credentials of the first.
TEST_F(TidewheelChargeTest, RepeatsAfterTwentyMinutesOfTheManagersClock) {
  DWORD now = 1000;
  CoreManagerArgs args;
  args.own_window = window.Get();
  args.notify_window = window.Get();
  args.drive = card.Letter();
  args.tick = [&] { return now; };
  CCoreManager manager(args);
  auto pump_until_idle = [&] {
    return coretest::PumpUntil([&] { return manager.ReservedKinds().empty(); }, 60000, &manager,
                               window.Get());
  };
  manager.OnRequestCharge(0, CHARGE_KIND_TIDEWHEEL);
  ASSERT_TRUE(pump_until_idle());
  ASSERT_EQ(2u, Requests().size());

  now += 1200000;  // not more than twenty minutes yet
  manager.CheckRepeatCharge();
  EXPECT_TRUE(manager.ReservedKinds().empty());
  now += 1;
  manager.CheckRepeatCharge();
  EXPECT_EQ(std::vector<uint32_t>({CHARGE_KIND_TIDEWHEEL}), manager.ReservedKinds());
  ASSERT_TRUE(pump_until_idle());
  EXPECT_EQ(std::vector<std::string>({otp, kQztPath, kQztPath}), Calls());
  EXPECT_EQ(std::vector<uint32_t>({CHARGE_KIND_TIDEWHEEL}), manager.RepeatKinds());
}

}  // namespace

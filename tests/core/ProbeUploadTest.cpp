// The probe upload charge against the stand-in probe server, on a test
// card with trip folders built by our fixtures: a full upload, refused
// consents and failed calls that keep their folders, units closed by size,
// the consent cache, aborts, switched-off sending, damaged trips, archived
// zones with nicknames, and the real core process running the charge.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "Handle.h"
#include "OstrovelleLite/UserListFile.h"
#include "ProbeFixture.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "probe/ProbeUpload.h"

namespace {

using namespace probetest;
using coretest::CRecorderWindow;
using coretest::Msg;
using coretest::PumpUntil;
using ovtest::StandInRequest;

constexpr DWORD kTimeoutMs = 60000;
constexpr uint32_t kWordKind = CHARGE_KIND_PROBE << 24;

// A trip of one "DRVHISREC.DH3" (or DH5) piece with `count` records.
std::string TripBytes(const std::string& ccid, uint8_t seed, const char* piece = "DRVHISREC.DH3",
                      uint32_t count = 4) {
  TripFile trip;
  trip.ccid = ccid;
  trip.uid = "UID" + ccid.substr(ccid.size() - 7);
  trip.blocks = {PieceBlock(piece, DrvHisPiece(1, count, Records(count, 25, seed)))};
  return BuildTripFile(trip);
}

// The form fields of a request to the probe path (before "&dat=") and the
// bytes after it.
struct ProbeCall {
  std::map<std::string, std::string> form;
  bool has_data = false;
  std::string data;
  std::string user_agent;
  int Fc() const { return form.count("fc") ? atoi(form.at("fc").c_str()) : 0; }
};

ProbeCall Parse(const StandInRequest& request) {
  ProbeCall call;
  const size_t dat = request.body.find("&dat=");
  const std::string form = request.body.substr(0, dat);
  for (const std::string& pair : SplitString(form, "&")) {
    const size_t eq = pair.find('=');
    call.form[pair.substr(0, eq)] = eq == std::string::npos ? std::string() : pair.substr(eq + 1);
  }
  call.has_data = dat != std::string::npos;
  if (call.has_data) call.data = request.body.substr(dat + 5);
  call.user_agent = request.Header("User-Agent");
  return call;
}

// The send-data blocks of an "OFCD" container; false when its frame is bad.
bool ParseContainer(const std::string& data, std::vector<std::string>* blocks) {
  if (data.size() < 28 || data.compare(0, 6, "OFCD01") != 0 ||
      data.compare(data.size() - 4, 4, "DCFO") != 0) {
    return false;
  }
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
  const uint32_t count =
      p[12] | (p[13] << 8) | (p[14] << 16) | (static_cast<uint32_t>(p[15]) << 24);
  size_t pos = 24;
  for (uint32_t i = 0; i < count; ++i) {
    if (pos + 8 > data.size()) return false;
    uint64_t size = 0;
    for (int b = 7; b >= 0; --b) size = (size << 8) | p[pos + b];
    pos += 8;
    if (size > data.size() - 4 - pos) return false;
    blocks->push_back(data.substr(pos, static_cast<size_t>(size)));
    pos += static_cast<size_t>(size);
  }
  return pos + 4 == data.size();
}

class ProbeChargeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(_card.IsValid());
    ASSERT_TRUE(_standin.IsRunning());
    const std::string info = _root.Root() + "Connection.info";
    ASSERT_TRUE(ovtest::WriteFileBytes(info, _standin.ConnectionInfo()));
    SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("OV_CONNECTION_INFO", nullptr);
    probeuploadtest::SetUnitSourceLimit(0);
  }

  // The unit information file: link-file kind 1 or 2, the send switch.
  void MakeCard(int type, bool send = true) {
    ovtest::CCardMaker maker;
    maker.FormatVersion(type == 1 ? 0x01000000 : 0x02000000)
        .Model(9)
        .DeviceNo("DIRU0000000042")
        .AddRecord(0x10000001, 0x01000203, 0x2011, 0);
    maker.DataHeaderBytes()[34] = send ? 1 : 0;
    ASSERT_TRUE(maker.WriteCard(_card.Letter()));
  }
  std::string TripFolder(const std::string& name) const { return _card.Path("PROBE\\" + name); }
  std::string AddTrip(const std::string& name, const std::string& bytes) {
    return WriteTrip(_card.Root(), name, bytes);
  }
  bool TripExists(const std::string& name) const { return PathFileExists(TripFolder(name)); }

  // Runs the charge on its worker; the code it reported.
  uint32_t Run() {
    CProbeUpload charge(_card.Letter(), _window.Get());
    charge.SetStore(&_store);
    EXPECT_TRUE(charge.Start());
    EXPECT_TRUE(PumpUntil([&] { return _window.Count(Msg(kMsgNotifyFinish)) > 0; }, kTimeoutMs));
    return LastCode();
  }
  uint32_t LastCode() const {
    const auto errors = _window.Of(Msg(kMsgNotifyError));
    if (errors.empty()) return 0xFFFFFFFF;
    EXPECT_EQ(kWordKind, errors.back().wparam & 0xFF000000);
    return static_cast<uint32_t>(errors.back().wparam & 0xFFFFFF);
  }
  std::vector<ProbeCall> Calls() const {
    std::vector<ProbeCall> calls;
    for (const StandInRequest& r : _standin.Requests()) {
      if (r.path == "/probe/OFPB") calls.push_back(Parse(r));
    }
    return calls;
  }
  static std::vector<int> Fcs(const std::vector<ProbeCall>& calls) {
    std::vector<int> out;
    for (const ProbeCall& c : calls) out.push_back(c.Fc());
    return out;
  }
  std::vector<uint32_t> Progress() const {
    std::vector<uint32_t> out;
    for (const auto& m : _window.Of(Msg(kMsgNotifyProgress))) {
      out.push_back(static_cast<uint32_t>(m.wparam));
    }
    return out;
  }
  bool TempHasBlocks() const {
    WIN32_FIND_DATAA data;
    CFindHandle find(FindFirstFileA((GetTemporaryFolder() + "*.DAT").c_str(), &data));
    return find.IsValid();
  }

  ovtest::CScopedDataRoot _root;
  ovtest::CLogCapture _log;
  ovtest::CTestCard _card;
  ovtest::CStandIn _standin;
  coretest::CFakeStore _store;
  CRecorderWindow _window;
};

TEST_F(ProbeChargeTest, FullUploadSendsOneUnitAndDeletesItsFolders) {
  MakeCard(1);
  AddTrip("20240102030405", TripBytes("CCID000000000001", 1));
  AddTrip("20240101000000", TripBytes("CCID000000000001", 2));
  ASSERT_EQ(0u, Run()) << _log.Text();

  const std::vector<ProbeCall> calls = Calls();
  ASSERT_EQ((std::vector<int>{41, 44, 43}), Fcs(calls));
  for (const ProbeCall& call : calls) {
    EXPECT_EQ("CCID000000000001", call.form.at("ccid"));
    EXPECT_EQ("UID0000001", call.form.at("uid"));
    EXPECT_EQ("11VuqTRNO/1.000203", call.user_agent);
  }
  EXPECT_FALSE(calls[0].has_data);
  ASSERT_TRUE(calls[1].has_data);
  std::vector<std::string> blocks;
  ASSERT_TRUE(ParseContainer(calls[1].data, &blocks));
  ASSERT_EQ(2u, blocks.size());
  // In folder order: the earlier trip first.
  const std::vector<std::string> times = {"20240101000000", "20240102030405"};
  const std::vector<uint8_t> seeds = {2, 1};
  for (size_t i = 0; i < 2; ++i) {
    SendFile sent;
    ASSERT_TRUE(ParseSendFile(blocks[i], &sent));
    ASSERT_EQ(1u, sent.blocks.size());
    EXPECT_EQ(times[i] + "/DRVHISREC.DH3", sent.blocks[0].name);
    std::string joined;
    ASSERT_TRUE(Gunzip(sent.blocks[0].packed, &joined));
    EXPECT_EQ(DrvHisPiece(1, 4, Records(4, 25, seeds[i])), joined);
  }
  EXPECT_FALSE(TripExists("20240102030405"));
  EXPECT_FALSE(TripExists("20240101000000"));
  EXPECT_TRUE(PathFileExists(_card.Path("PROBE"))) << "only the trip folders go";
  EXPECT_FALSE(TempHasBlocks());

  const std::vector<uint32_t> progress = Progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(0u, progress.front());
  EXPECT_EQ(100u, progress.back());
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1], progress[i]);
  ASSERT_EQ(1u, _store.probe_log.size());
  EXPECT_EQ(0u, _store.probe_log[0].second.stage);
  EXPECT_EQ(kWordKind, _store.probe_log[0].second.result);
}

struct KeptCase {
  const char* name;
  const char* scenario;  // the first unit's reply
  std::vector<int> calls;
};
void PrintTo(const KeptCase& c, std::ostream* os) { *os << c.name; }

class ProbeKeptTest : public ProbeChargeTest, public ::testing::WithParamInterface<KeptCase> {};

// A unit the server did not take keeps its folders, even though a later
// unit completes and deletes its own.
TEST_P(ProbeKeptTest, UnitNotTakenKeepsItsFoldersAfterALaterUnitCompletes) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  AddTrip("20240102000000", TripBytes("CCID000000000002", 2));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", GetParam().scenario));
  EXPECT_EQ(0u, Run()) << _log.Text();
  EXPECT_EQ(GetParam().calls, Fcs(Calls()));
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_FALSE(TripExists("20240102000000"));
  EXPECT_FALSE(TempHasBlocks());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ProbeKeptTest,
    ::testing::Values(KeptCase{"ConsentRefused", "41=C03", {41, 41, 44, 43}},
                      KeptCase{"UploadFailed", "44=S02", {41, 44, 41, 44, 43}},
                      KeptCase{"CompletionFailed", "43=R01", {41, 44, 43, 41, 44, 43}}),
    ovtest::CaseName());

struct FailureCase {
  const char* name;
  const char* scenario;
  uint32_t code;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ProbeFailureTest : public ProbeChargeTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ProbeFailureTest, OnlyUnitFailingIsReportedAndKeepsItsFolder) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", GetParam().scenario));
  EXPECT_EQ(GetParam().code, Run());
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_FALSE(TempHasBlocks());
  ASSERT_EQ(1u, _store.probe_log.size());
  EXPECT_EQ(4u, _store.probe_log[0].second.stage);
  EXPECT_EQ(kWordKind | GetParam().code, _store.probe_log[0].second.result);
}

INSTANTIATE_TEST_SUITE_P(Replies, ProbeFailureTest,
                         ::testing::Values(FailureCase{"ConsentC07", "41=C07", 0x200207},
                                           FailureCase{"UploadS05", "44=S05", 0x200305},
                                           FailureCase{"CompletionR05", "43=R05", 0x200405},
                                           FailureCase{"ServerError", "41=E99", 0x200499},
                                           FailureCase{"UnknownWord", "41=X01", 0x102},
                                           FailureCase{"ReplyWithoutWord", "41=MISSING", 0x102},
                                           FailureCase{"HttpStatus", "status=500", 0x100000 | 500}),
                         ovtest::CaseName());

TEST_F(ProbeChargeTest, HttpFailureIsTheDetailOfTheReport) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", "status=503"));
  EXPECT_EQ(0x100000u | 503, Run());
  EXPECT_EQ(static_cast<LPARAM>(0x10000000 | 503), _window.Of(Msg(kMsgNotifyError)).back().lparam);
  EXPECT_TRUE(_log.Contains("9の要求失敗") || _log.Contains("8の要求失敗"));
}

TEST_F(ProbeChargeTest, SameUserAnotherYearIsAnotherUnitAskedOnce) {
  MakeCard(1);
  // The value of a trip file's identity is its model: DH3 and DH5 differ.
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1, "DRVHISREC.DH3"));
  AddTrip("20240102000000", TripBytes("CCID000000000001", 2, "DRVHISREC.DH5"));
  EXPECT_EQ(0u, Run());
  EXPECT_EQ((std::vector<int>{41, 44, 43, 44, 43}), Fcs(Calls()));
  EXPECT_TRUE(_log.Contains("データ年度変化 次ファイルへ"));
  EXPECT_TRUE(_log.Contains("CheckConsent 取得済み"));
  EXPECT_FALSE(TripExists("20240101000000"));
  EXPECT_FALSE(TripExists("20240102000000"));
}

TEST_F(ProbeChargeTest, UnitsClosedBySizeWaitForTheNextCompletedNotice) {
  MakeCard(1);
  // Each trip joins to 108 bytes: one per unit under a limit of 150.
  probeuploadtest::SetUnitSourceLimit(150);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  AddTrip("20240102000000", TripBytes("CCID000000000001", 2));
  AddTrip("20240103000000", TripBytes("CCID000000000001", 3));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", "43=R02"));
  // The last unit's notice fails: nothing was confirmed, nothing goes.
  EXPECT_EQ(0u, Run());
  EXPECT_EQ((std::vector<int>{41, 44, 44, 44, 43}), Fcs(Calls()));
  EXPECT_TRUE(_log.Contains("送信元データサイズ超過(SUM:108 + THIS:108) 次ファイルへ"));
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_TRUE(TripExists("20240102000000"));
  EXPECT_TRUE(TripExists("20240103000000"));

  // Next run, the notice goes through: every folder uploaded so far goes.
  _window.Clear();
  _store.probe_log.clear();
  ASSERT_TRUE(_standin.Reset());
  EXPECT_EQ(0u, Run());
  EXPECT_EQ((std::vector<int>{41, 44, 44, 44, 43}), Fcs(Calls()));
  EXPECT_FALSE(TripExists("20240101000000"));
  EXPECT_FALSE(TripExists("20240102000000"));
  EXPECT_FALSE(TripExists("20240103000000"));
}

TEST_F(ProbeChargeTest, FirstBlockJoinsHoweverLarge) {
  MakeCard(1);
  probeuploadtest::SetUnitSourceLimit(50);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  EXPECT_EQ(0u, Run());
  EXPECT_EQ((std::vector<int>{41, 44, 43}), Fcs(Calls()));
  EXPECT_FALSE(TripExists("20240101000000"));
}

TEST_F(ProbeChargeTest, AbortDuringTheUploadKeepsEverything) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", "44=TRICKLE&no_length=1"));
  CProbeUpload charge(_card.Letter(), _window.Get());
  charge.SetStore(&_store);
  ASSERT_TRUE(charge.Start());
  ASSERT_TRUE(_standin.WaitForRequests(2, kTimeoutMs));
  EXPECT_TRUE(charge.Abort(kTimeoutMs));
  ASSERT_TRUE(PumpUntil([&] { return _window.Count(Msg(kMsgNotifyFinish)) > 0; }, kTimeoutMs));
  EXPECT_EQ(CHARGE_RESULT_ABORT, LastCode());
  EXPECT_TRUE(_log.Contains("プローブAPI待機時のキャンセル"));
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_FALSE(TempHasBlocks());
  ASSERT_EQ(1u, _store.probe_log.size());
  EXPECT_EQ(3u, _store.probe_log[0].second.stage);
}

TEST_F(ProbeChargeTest, ServerAbortMarkIsAnAbort) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  AddTrip("20240102000000", TripBytes("CCID000000000002", 2));
  ASSERT_TRUE(_standin.Set("/probe/OFPB", "41=ABT"));
  EXPECT_EQ(CHARGE_RESULT_ABORT, Run());
  EXPECT_EQ(std::vector<int>{41}, Fcs(Calls())) << "the charge ends at once";
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_TRUE(TripExists("20240102000000"));
}

TEST_F(ProbeChargeTest, SendingSwitchedOffSkipsWithoutHistory) {
  MakeCard(1, false);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  EXPECT_EQ(CHARGE_RESULT_SKIP, Run());
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(_store.probe_log.empty());
  EXPECT_TRUE(_log.Contains("CProbeUpload::_CheckSetting() RET:非送信設定"));
}

TEST_F(ProbeChargeTest, NothingToSendEndsWithNoData) {
  MakeCard(1);
  CreateFolderTree(TripFolder("20240101000000"));
  ovtest::WriteFileBytes(TripFolder("20240101000000") + "\\other.dat", "x");
  EXPECT_EQ(CHARGE_RESULT_NODATA, Run());
  EXPECT_TRUE(_store.probe_log.empty());
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(_log.Contains("送信対象ファイル無し"));
}

TEST_F(ProbeChargeTest, DamagedTripStaysAndTheOthersGo) {
  MakeCard(1);
  std::string damaged = TripBytes("CCID000000000001", 1);
  damaged.resize(100);
  AddTrip("20240101000000", damaged);
  AddTrip("20240102000000", TripBytes("CCID000000000001", 2));
  // Header only: nothing the server could take, so its folder goes.
  TripFile empty;
  empty.end_mark = false;
  AddTrip("20240103000000", BuildTripFile(empty));
  EXPECT_EQ(0u, Run());
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_FALSE(TripExists("20240102000000"));
  EXPECT_FALSE(TripExists("20240103000000"));
  EXPECT_TRUE(_log.Contains("プローブ送信ファイル作成失敗 ERR:0x00000000 Ret:0x0000010C"));
}

TEST_F(ProbeChargeTest, OnlyDamagedTripsReportTheReaderCode) {
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1).substr(0, 100));
  EXPECT_EQ(0x10Cu, Run());
  EXPECT_TRUE(TripExists("20240101000000"));
  EXPECT_TRUE(Calls().empty());
  ASSERT_EQ(1u, _store.probe_log.size());
  EXPECT_EQ(4u, _store.probe_log[0].second.stage);
}

std::string ZoneBytes(const std::string& device, uint8_t seed) {
  ZoneArchive archive;
  archive.device_number = device;
  ZoneEntry entry;
  entry.name = "a";
  entry.v1 = 1;
  entry.v2 = 2;
  entry.records = Records(2, 32, seed);
  archive.expanded = ExpandedArchive({entry});
  return BuildZoneArchive(archive);
}

TEST_F(ProbeChargeTest, ArchivesSendTheNicknameAndTheUnitsIdentity) {
  MakeCard(2);
  CUserListFile users;
  ASSERT_TRUE(users.Save("DEV0000000000001", "たろう", 0, nullptr, 0));
  AddTrip("20240101000000", ZoneBytes("DEV0000000000001", 1));
  AddTrip("20240102000000", ZoneBytes("DEV0000000000099", 2));
  EXPECT_EQ(0x10Bu, Run()) << "one archive had no nickname";
  const std::vector<ProbeCall> calls = Calls();
  ASSERT_EQ((std::vector<int>{97, 98, 99}), Fcs(calls));
  // Texts go as the parameter table has them: raw, or percent-encoded.
  const auto sent_as = [](const std::string& value, const std::string& text) {
    return value == text || value == PercentEncode(text);
  };
  for (const ProbeCall& call : calls) {
    EXPECT_EQ("CCID000000000002", call.form.at("ccid"));
    EXPECT_PRED2(sent_as, call.form.at("nickname"), "たろう");
  }
  EXPECT_PRED2(sent_as, calls[1].form.at("navimodel"), "NV-200");
  EXPECT_PRED2(sent_as, calls[1].form.at("maker"), "MAKER");
  EXPECT_PRED2(sent_as, calls[1].form.at("aplver"), "1.000203");
  EXPECT_PRED2(sent_as, calls[1].form.at("mapver"), "12.345678");
  std::vector<std::string> blocks;
  ASSERT_TRUE(ParseContainer(calls[1].data, &blocks));
  ASSERT_EQ(1u, blocks.size());
  SendFile sent;
  ASSERT_TRUE(ParseSendFile(blocks[0], &sent));
  EXPECT_EQ("20240101000000/DRVHISREC.DH7", sent.blocks.at(0).name);
  EXPECT_FALSE(TripExists("20240101000000"));
  EXPECT_TRUE(TripExists("20240102000000"));
  EXPECT_TRUE(_log.Contains("ニックネームが存在しないデータ Dev=DEV0000000000099"));
}

// The core as a real process runs the charge it is asked for.
TEST_F(ProbeChargeTest, TheCoreRunsTheProbeCharge) {
  CHandle lock(CreateMutexA(nullptr, FALSE, "OvTestCoreProcessLock"));
  ASSERT_TRUE(lock);
  const DWORD locked = WaitForSingleObject(lock.Get(), 600000);
  ASSERT_TRUE(locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED);
  MakeCard(1);
  AddTrip("20240101000000", TripBytes("CCID000000000001", 1));
  std::string core = std::string(OV_CORE_EXE_RELATIVE);
  ReplaceAll(core, "/", "\\");
  std::string line = ovtest::ExecutableFolder() + core +
                     FormatString(" /d %c /w %08X /p prb", _card.Letter(),
                                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(_window.Get())));
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(
      CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  const CHandle thread(pi.hThread);
  CHandle process(pi.hProcess);
  const bool reported = PumpUntil(
      [&] {
        for (const auto& m : _window.Of(Msg(kMsgNotifyError))) {
          if (m.wparam == kWordKind) return true;
        }
        return false;
      },
      kTimeoutMs);
  const HWND window = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
  if (window) PostMessageA(window, Msg(kMsgRequestEnd), 0, 0);
  const bool ended =
      PumpUntil([&] { return WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0; }, kTimeoutMs);
  if (!ended) TerminateProcess(process.Get(), 1);
  ReleaseMutex(lock.Get());
  ASSERT_TRUE(reported) << ovtest::ReadFileOrEmpty(_root.Root() + "Log\\Ostrovelle_Core.log");
  EXPECT_TRUE(ended);
  EXPECT_EQ((std::vector<int>{41, 44, 43}), Fcs(Calls()));
  EXPECT_FALSE(TripExists("20240101000000"));
}

}  // namespace

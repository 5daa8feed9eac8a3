// The music charge on a simulated card: the interval, both selection rules,
// the caps and the card's own limits, a full card, abort during a copy,
// files that fail, a missing PC folder, and the pieces (caps, progress,
// orders, the search by extension) on their own.
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "ChunkedCopy.h"
#include "CoreTestSupport.h"
#include "Folders.h"
#include "MusicFileLib.h"
#include "MusicFileUtil.h"
#include "MusicTestSupport.h"
#include "RetryTestSupport.h"
#include "StringUtil.h"
#include "music/MusicCharge.h"
#include "music/MusicFileLibImpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

namespace {

using coretest::CFakeStore;
using coretest::CRecorderWindow;
using coretest::Msg;
using coretest::PumpUntil;
using musictest::FileExistsW;
using musictest::MakeMp3;
using musictest::SetWriteTime;
using musictest::WriteFileW;

constexpr DWORD kRunTimeoutMs = 120000;

// A wide path from an ASCII format.
#define WIDE_FORMAT(...) ToWide(FormatString(__VA_ARGS__))

SYSTEMTIME Time(WORD year, WORD month, WORD day) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = 12;
  return t;
}
const SYSTEMTIME kNow = Time(2024, 5, 10);

// The pieces of the charge, open to the tests.
class CMusicChargeProbe final : public CMusicCharge {
 public:
  using CMusicCharge::_ChooseDeletions;
  using CMusicCharge::_IsLimitOver;
  using CMusicCharge::_NotifyProgress;
  using CMusicCharge::_RescueDeletions;
  using CMusicCharge::DeleteList;
  using CMusicCharge::RandomExchange;
  using CMusicCharge::Settings;
};

// A generator that shuffles nothing: every index is the last one.
class CNoShuffle final : public CMusicCharge::CRandomGenerator {
 public:
  void Seed() override {}
  std::int64_t operator()(std::int64_t n) override { return n - 1; }
};

// The card's free space as the test tells it: answers in order, the last
// repeated; on the call numbered abort_on_call the charge's abort event is
// set first.
struct FreeSpaceScript {
  std::vector<std::uint64_t> answers;
  int calls = 0;
  int abort_on_call = 0;
  std::string abort_event;
};
FreeSpaceScript g_free;

bool ScriptedFreeSpace(const wchar_t*, std::uint64_t* free_bytes) {
  const int call = ++g_free.calls;
  if (call == g_free.abort_on_call) {
    CHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, g_free.abort_event.c_str()));
    SetEvent(event.Get());
  }
  const size_t index = std::min(static_cast<size_t>(call - 1), g_free.answers.size() - 1);
  *free_bytes = g_free.answers[index];
  return true;
}

class CScriptedFreeSpace final {
 public:
  explicit CScriptedFreeSpace(std::vector<std::uint64_t> answers, int abort_on_call = 0) {
    g_free = FreeSpaceScript();
    g_free.answers = std::move(answers);
    g_free.abort_on_call = abort_on_call;
    libmusic::freespacetest::SetFreeSpaceQuery(&ScriptedFreeSpace);
  }
  ~CScriptedFreeSpace() { libmusic::freespacetest::SetFreeSpaceQuery(nullptr); }
  CScriptedFreeSpace(const CScriptedFreeSpace&) = delete;
  CScriptedFreeSpace& operator=(const CScriptedFreeSpace&) = delete;
};

// Every file below a folder, by path relative to it.
void ListTree(const std::wstring& folder, const std::wstring& relative,
              std::set<std::wstring>* out) {
  WIN32_FIND_DATAW fd;
  const std::wstring path = relative.empty() ? folder : folder + L"\\" + relative;
  CFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &fd));
  if (!find) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListTree(folder, child, out);
    } else {
      out->insert(child);
    }
  } while (FindNextFileW(find.Get(), &fd));
}

class MusicChargeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.IsValid());
    ASSERT_TRUE(CreateDirectories(GetSettingFolder()));
    config.InitMusic(false);
    config.SetMusicFolderW(pc);
    config.SetChargeInterval(0);
    config.SetChargeLimit(0);
    config.SetAutoChargeType(0);
    config.SetRandomPercent(0);
  }

  std::wstring Pc(const std::wstring& relative) const { return pc + L"\\" + relative; }
  std::wstring Sd(const std::wstring& relative = std::wstring()) const {
    return relative.empty() ? sd : sd + L"\\" + relative;
  }
  void PutPc(const std::wstring& relative, const std::string& bytes = MakeMp3(),
             std::uint64_t time = 0) {
    ASSERT_TRUE(WriteFileW(Pc(relative), bytes)) << ToMultiByte(relative);
    if (time) {
      ASSERT_TRUE(SetWriteTime(Pc(relative), time));
    }
  }
  void PutSd(const std::wstring& relative, const std::string& bytes = MakeMp3()) {
    ASSERT_TRUE(WriteFileW(Sd(relative), bytes)) << ToMultiByte(relative);
  }
  std::set<std::wstring> CardFiles() const {
    std::set<std::wstring> files;
    ListTree(sd, std::wstring(), &files);
    return files;
  }

  // Saves the settings and runs one charge until it has finished.
  void Run(std::unique_ptr<CMusicCharge::CRandomGenerator> random = nullptr) {
    ASSERT_TRUE(config.SaveMusic());
    charge.reset(new CMusicCharge());
    charge->SetDriveLetter(card.Letter());
    charge->SetTargetWindow(window.Get());
    charge->SetStore(&store);
    charge->SetClock([] { return kNow; });
    if (random) charge->SetRandomGenerator(std::move(random));
    ASSERT_TRUE(charge->Start());
    ASSERT_TRUE(PumpUntil([&] { return window.Count(Msg(kMsgNotifyFinish)) > 0; }, kRunTimeoutMs));
  }
  std::vector<WPARAM> ErrorWords() const {
    std::vector<WPARAM> words;
    for (const auto& m : window.Of(Msg(kMsgNotifyError))) words.push_back(m.wparam);
    return words;
  }
  std::vector<WPARAM> Progress() const {
    std::vector<WPARAM> percents;
    for (const auto& m : window.Of(Msg(kMsgNotifyProgress))) percents.push_back(m.wparam);
    return percents;
  }
  std::vector<std::pair<uint32_t, uint32_t>> History() const {
    std::vector<std::pair<uint32_t, uint32_t>> stages;
    for (const auto& r : store.card_history) stages.emplace_back(r.stage, r.result & 0xFFFFFF);
    return stages;
  }
  std::string LastAutoCharge() const {
    char text[64] = {};
    GetPrivateProfileStringA("Music", "LastAutoCharge", "", text, sizeof(text),
                             config.GetIniPath().c_str());
    return text;
  }
  static std::string AbortEventName() {
    return FormatString("Event_Core_Abort_%08X_test%lu", static_cast<unsigned>(CHARGE_KIND_MUSIC),
                        GetCurrentProcessId());
  }

  ovtest::CScopedDataRoot root;
  ovtest::CTestCard card;
  ovtest::CTempDir dir;
  const std::wstring pc = ToWide(dir.Path()) + L"PCミュージック";
  const std::wstring sd = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(card.Letter()));
  COstrovelleConfig config;
  CRecorderWindow window;
  CFakeStore store;
  std::unique_ptr<CMusicCharge, ChargeDeleter> charge;
};

constexpr WPARAM kDone = 0x10000000;
constexpr WPARAM kNoData = 0x1000FF02;

}  // namespace

TEST_F(MusicChargeTest, IntervalRefusesARecentChargeOnly) {
  ovtest::CLogCapture log;
  ASSERT_TRUE(CreateDirectoryW(pc.c_str(), nullptr));
  config.SetChargeInterval(3);
  const std::string two_days_ago = COstrovelleConfig::FormatDate(Time(2024, 5, 8));
  ASSERT_TRUE(WritePrivateProfileStringA("Music", "LastAutoCharge", two_days_ago.c_str(),
                                         config.GetIniPath().c_str()));
  Run();
  EXPECT_EQ(std::vector<WPARAM>{0x1000FF01}, ErrorWords());
  EXPECT_TRUE(log.Contains("Auto-Charge Interval Shortage : setting[3] passed[2.000000]"));
  EXPECT_TRUE(store.card_history.empty());

  // Never charged, or charged "in the future" by a clock set back: it runs.
  for (const char* last : {"", "20300101120000"}) {
    window.Clear();
    ASSERT_TRUE(
        WritePrivateProfileStringA("Music", "LastAutoCharge", last, config.GetIniPath().c_str()));
    Run();
    EXPECT_EQ(std::vector<WPARAM>{kNoData}, ErrorWords()) << last;
  }
}

TEST_F(MusicChargeTest, EmptyPcAndEmptyCardHaveNothingToDo) {
  ASSERT_TRUE(CreateDirectoryW(pc.c_str(), nullptr));
  Run();
  EXPECT_EQ(std::vector<WPARAM>{kNoData}, ErrorWords());
  EXPECT_EQ((std::vector<WPARAM>{15, 30, 99}), Progress());
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 0x000000}, {2, 0}}), History());
  EXPECT_EQ("", LastAutoCharge());
  EXPECT_TRUE(FileExistsW(Sd()));
}

TEST_F(MusicChargeTest, NewestFirstRefillsByFolderAndAlbumOrderWithinTheCount) {
  config.SetChargeLimit(2);
  config.SetLimitFileCount(20);
  for (int i = 1; i <= 12; ++i) {
    PutPc(WIDE_FORMAT("Rock\\NewA\\a%02d.mp3", i), MakeMp3(L"Disc", i), 133000000000000000ull);
  }
  struct BFile {
    const wchar_t* name;
    const wchar_t* album;
    int track;
  };
  const BFile b_files[] = {{L"b01", L"Beta", 2},  {L"b02", L"Beta", 1},     {L"b03", L"Alpha", -1},
                           {L"b04", L"Alpha", 9}, {L"b05", L"", 1},         {L"b06", L"", -1},
                           {L"b07", L"", 3},      {L"b08", L"アルバム", 1}, {L"b09", L"", -1},
                           {L"b10", L"Alpha", 1}, {L"b11", L"Beta", 3},     {L"b12", L"", 2}};
  for (const BFile& f : b_files) {
    PutPc(std::wstring(L"NewB\\") + f.name + L".mp3", MakeMp3(f.album, f.track),
          132900000000000000ull);
  }
  PutPc(L"OldC\\c.mp3", MakeMp3(), 132800000000000000ull);
  PutSd(L"Gone\\old1.mp3");
  PutSd(L"old2.mp3");
  PutSd(L"Gone\\old3.mp3.TMP", "left by a crash");

  Run();
  EXPECT_EQ(std::vector<WPARAM>{kDone}, ErrorWords());
  std::set<std::wstring> expected;
  for (int i = 1; i <= 12; ++i) expected.insert(WIDE_FORMAT("NewA\\a%02d.mp3", i));
  for (const wchar_t* name : {L"b10", L"b04", L"b03", L"b02", L"b01", L"b11", L"b08", L"b05"}) {
    expected.insert(std::wstring(L"NewB\\") + name + L".mp3");
  }
  EXPECT_EQ(expected, CardFiles());
  EXPECT_FALSE(FileExistsW(Sd(L"Gone")));
  EXPECT_EQ(100u, Progress().back());
  EXPECT_EQ("20240510120000", LastAutoCharge());
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 0}, {2, 0}}), History());
}

TEST_F(MusicChargeTest, NewestFirstWithoutThePcFolderFailsAndDeletesNothing) {
  PutSd(L"Keep\\a.mp3");
  PutSd(L"b.mp3");
  Run();
  EXPECT_EQ(std::vector<WPARAM>{0x10000011}, ErrorWords());
  EXPECT_EQ((std::set<std::wstring>{L"Keep\\a.mp3", L"b.mp3"}), CardFiles());
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 0}, {4, 0}}), History());

  // The card's own music folder is no PC folder either.
  window.Clear();
  config.SetMusicFolderW(sd);
  Run();
  EXPECT_EQ(std::vector<WPARAM>{0x10000011}, ErrorWords());
  EXPECT_EQ((std::set<std::wstring>{L"Keep\\a.mp3", L"b.mp3"}), CardFiles());
}

TEST_F(MusicChargeTest, NewestFirstKeepsToTheCardsFolderLimit) {
  ovtest::CLogCapture log;
  // Folders of other content stay through the deletion and count.
  for (int i = 0; i < 298; ++i) PutSd(WIDE_FORMAT("Other%03d\\readme.txt", i), "x");
  PutPc(L"A\\a.mp3", MakeMp3(), 133000000000000000ull);
  PutPc(L"B\\b.mp3", MakeMp3(), 132900000000000000ull);
  PutPc(L"C\\c.mp3", MakeMp3(), 132800000000000000ull);
  Run();
  EXPECT_EQ(std::vector<WPARAM>{kDone}, ErrorWords());
  EXPECT_TRUE(FileExistsW(Sd(L"A\\a.mp3")));
  EXPECT_TRUE(FileExistsW(Sd(L"B\\b.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"C")));
  EXPECT_TRUE(log.Contains("SDのフォルダ数が上限（300 個）のため対象外：C\\c.mp3"));
}

TEST_F(MusicChargeTest, RandomWithoutExchangeAddsWhatFitsAndSkipsWhatIsThere) {
  config.SetAutoChargeType(1);
  const std::string song = MakeMp3();
  PutSd(L"Kept\\k1.mp3", MakeMp3(L"card copy"));
  PutSd(L"Kept\\k2.mp3");
  PutPc(L"Any\\Kept\\k1.mp3", song);
  for (int i = 1; i <= 6; ++i) PutPc(WIDE_FORMAT("New\\n%d.mp3", i), song);
  // Room for three more at selection; the copies then see plenty.
  CScriptedFreeSpace free_space({3 * song.size() + song.size() / 2, 1ull << 40});
  Run(std::make_unique<CNoShuffle>());
  EXPECT_EQ(std::vector<WPARAM>{kDone}, ErrorWords());
  const std::set<std::wstring> files = CardFiles();
  EXPECT_EQ(5u, files.size());
  EXPECT_EQ(3, std::count_if(files.begin(), files.end(),
                             [](const std::wstring& f) { return f.rfind(L"New\\", 0) == 0; }));
  EXPECT_EQ(MakeMp3(L"card copy"), ovtest::ReadFileOrEmpty(ToMultiByte(Sd(L"Kept\\k1.mp3"))));
}

TEST_F(MusicChargeTest, RandomExchangeWithNothingToBringInKeepsTheCard) {
  config.SetAutoChargeType(1);
  config.SetRandomPercent(100);
  PutSd(L"Kept\\k1.mp3");
  PutSd(L"Kept\\k2.mp3");
  PutSd(L"k3.mp3");
  // Its card path is taken: nothing new can come in.
  PutPc(L"Any\\Kept\\k1.mp3", MakeMp3(L"PC copy"));
  Run(std::make_unique<CNoShuffle>());
  EXPECT_EQ(std::vector<WPARAM>{kNoData}, ErrorWords());
  EXPECT_EQ((std::set<std::wstring>{L"Kept\\k1.mp3", L"Kept\\k2.mp3", L"k3.mp3"}), CardFiles());
  EXPECT_EQ(MakeMp3(), ovtest::ReadFileOrEmpty(ToMultiByte(Sd(L"Kept\\k1.mp3"))));
}

TEST_F(MusicChargeTest, RandomDeletesBeyondTheSizeCapFirst) {
  config.SetAutoChargeType(1);
  config.SetChargeLimit(1);
  config.SetLimitSize(100);
  ASSERT_TRUE(CreateDirectoryW(pc.c_str(), nullptr));
  // Three 40 MiB files (sparse): 120 MiB is over the cap, 80 MiB is not.
  for (const wchar_t* name : {L"Big\\1.mp3", L"Big\\2.mp3", L"Big\\3.mp3"}) {
    PutSd(name);
    CFileHandle file(
        CreateFileW(Sd(name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = 40ll * 1048576;
    ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
  }
  Run(std::make_unique<CNoShuffle>());
  EXPECT_EQ(std::vector<WPARAM>{kDone}, ErrorWords());
  EXPECT_EQ(2u, CardFiles().size());
}

TEST_F(MusicChargeTest, FullCardDuringTheCopiesIsSuccessWithWhatWasCopied) {
  const std::string song = MakeMp3();
  PutPc(L"A\\1.mp3", song);
  PutPc(L"A\\2.mp3", song);
  PutPc(L"A\\3.mp3", song);
  CScriptedFreeSpace free_space({1ull << 40, song.size() + libmusic::kCardSpareBytes, song.size()});
  Run();
  EXPECT_EQ(std::vector<WPARAM>{kDone}, ErrorWords());
  EXPECT_EQ(1u, CardFiles().size());
  EXPECT_EQ("20240510120000", LastAutoCharge());
}

TEST_F(MusicChargeTest, AbortDuringACopyCancelsItAndLeavesNoTemporary) {
  ovtest::CLogCapture log;
  copytest::SetChunkSize(4096);
  PutPc(L"A\\1.mp3");
  PutPc(L"A\\2.mp3", MakeMp3(L"", -1, 200));
  PutSd(L"old.mp3");
  // Free space is asked by the selection, then before the first copy; room
  // for just that one has it asked again before the second copy, where
  // the abort comes.
  const std::uint64_t first = MakeMp3().size() + libmusic::kCardSpareBytes;
  CScriptedFreeSpace free_space({1ull << 40, first, 1ull << 40}, 3);
  g_free.abort_event = AbortEventName();
  Run();
  copytest::SetChunkSize(0);
  EXPECT_EQ(std::vector<WPARAM>{0x1000FF00}, ErrorWords());
  EXPECT_EQ(std::set<std::wstring>{L"A\\1.mp3"}, CardFiles());
  EXPECT_TRUE(
      log.Contains("CMusicFileLibImpl::TransferFile - 一時ファイル作成失敗[ERR:0x000004D3]"));
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 0}, {3, 0}}), History());
  EXPECT_EQ("", LastAutoCharge());
}

TEST_F(MusicChargeTest, AFileThatCannotBeCopiedIsReportedAfterTheOthers) {
  ovtest::CPauseRecorder pauses;
  PutPc(L"A\\1.mp3", MakeMp3(L"", 1));
  PutPc(L"A\\2.mp3", MakeMp3(L"", 2));
  // A folder where the copy of 2.mp3 must go: the move into place fails.
  ASSERT_TRUE(musictest::CreateFoldersW(Sd(L"A\\2.mp3")));
  Run();
  ASSERT_EQ(1u, window.Count(Msg(kMsgNotifyError)));
  EXPECT_EQ(0x10000010u, window.Of(Msg(kMsgNotifyError))[0].wparam);
  EXPECT_NE(0, window.Of(Msg(kMsgNotifyError))[0].lparam);
  EXPECT_TRUE(FileExistsW(Sd(L"A\\1.mp3")));
  EXPECT_FALSE(FileExistsW(Sd(L"A\\2.mp3.TMP")));
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 0}, {4, 0x10}}), History());
  EXPECT_EQ("", LastAutoCharge());
}

// A copy onto a card file of the same name that fails, in the copy or in
// the move into place: the card keeps the old file under its name and no
// temporary.
struct FailedCopyCase {
  std::string name;
  bool hold_source;  // else the card's file is held open
  const char* line;
};

void PrintTo(const FailedCopyCase& c, std::ostream* out) { *out << c.name; }

class MusicChargeFailedCopyTest : public MusicChargeTest,
                                  public ::testing::WithParamInterface<FailedCopyCase> {};

TEST_P(MusicChargeFailedCopyTest, LeavesTheOldFileAndNoTemporary) {
  ovtest::CPauseRecorder pauses;
  ovtest::CLogCapture log;
  PutPc(L"A\\1.mp3", MakeMp3(L"new"));
  PutSd(L"A\\1.mp3", "old");
  {
    // Another program has the file open and shares no deletion.
    const std::wstring held_path = GetParam().hold_source ? Pc(L"A\\1.mp3") : Sd(L"A\\1.mp3");
    const CFileHandle held(
        CreateFileW(held_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    CMusicFileLibImpl lib(pc, sd, nullptr);
    EXPECT_FALSE(lib.TransferFile(Pc(L"A\\1.mp3"), Sd(L"A\\1.mp3")));
    EXPECT_NE(0u, lib.GetSystemError());
  }
  EXPECT_EQ("old", ovtest::ReadFileOrEmpty(ToMultiByte(Sd(L"A\\1.mp3"))));
  EXPECT_EQ(std::set<std::wstring>{L"A\\1.mp3"}, CardFiles());
  EXPECT_TRUE(log.Contains(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MusicChargeFailedCopyTest,
    ::testing::Values(FailedCopyCase{"SourceCannotBeRead", true,
                                     "CMusicFileLibImpl::TransferFile - 一時ファイル作成失敗"},
                      FailedCopyCase{"CardFileCannotBeReplaced", false,
                                     "CMusicFileLibImpl::TransferFile - ファイル転送失敗"}),
    [](const ::testing::TestParamInfo<FailedCopyCase>& p) { return p.param.name; });

struct LimitCase {
  std::string name;
  int auto_type;
  int limit;
  std::int64_t count;
  std::uint64_t bytes;
  bool over;
  const char* line;
};

void PrintTo(const LimitCase& c, std::ostream* out) { *out << c.name; }

class MusicChargeLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(MusicChargeLimit, HoldsForTheFirstCapExceeded) {
  const LimitCase& c = GetParam();
  ovtest::CScopedDataRoot root;
  ovtest::CLogCapture log;
  CMusicChargeProbe probe;
  probe.Settings().SetAutoChargeType(c.auto_type);
  probe.Settings().SetChargeLimit(c.limit);
  probe.Settings().SetLimitSize(100);
  probe.Settings().SetLimitFileCount(20);
  EXPECT_EQ(c.over, probe._IsLimitOver(c.count, c.bytes));
  if (c.line) {
    EXPECT_TRUE(log.Contains(c.line));
  }
}

constexpr std::uint64_t kMiB = 1048576;
INSTANTIATE_TEST_SUITE_P(
    Caps, MusicChargeLimit,
    ::testing::Values(
        LimitCase{"FiveThousandFilesAllowed", 0, 0, 5000, 0, false, nullptr},
        LimitCase{"FileFiveThousandAndOne", 0, 0, 5001, 0, true, "最大ファイル数に達しました。"},
        LimitCase{"RandomTwoGibAllowed", 1, 0, 1, 0x80000000ull, false, nullptr},
        LimitCase{"RandomOverTwoGib", 1, 0, 1, 0x80000001ull, true,
                  "ランダム転送の上限に達しました。"},
        LimitCase{"NewestFirstHasNoTwoGibCap", 0, 0, 1, 0x100000000ull, false, nullptr},
        LimitCase{"SizeCapAllowed", 0, 1, 1, 100 * kMiB, false, nullptr},
        LimitCase{"SizeCapExceeded", 0, 1, 1, 100 * kMiB + 1, true,
                  "ファイルサイズ制限（100 MB）に達しました。"},
        LimitCase{"CountCapAllowed", 0, 2, 20, 1ull << 40, false, nullptr},
        LimitCase{"CountCapExceeded", 0, 2, 21, 0, true, "ファイル数制限（20 個）に達しました。"}),
    ovtest::CaseName());

// The random run's deletion phases on a shuffled card of files of 10 MiB
// each: what the caps force out and the exchanged share are planned from
// the front; then planned deletions stay while the room allows.
struct ExchangeCase {
  std::string name;
  int files;
  int limit;  // 0 none, 1 size (30 MiB), 2 count (2 files)
  int percent;
  std::uint64_t room;
  size_t planned;
  std::vector<std::wstring> deleted;
};

void PrintTo(const ExchangeCase& c, std::ostream* out) { *out << c.name; }

class MusicChargeExchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(MusicChargeExchange, PlansThenRescuesDeletions) {
  const ExchangeCase& c = GetParam();
  ovtest::CScopedDataRoot root;
  CMusicChargeProbe probe;
  probe.Settings().SetAutoChargeType(1);
  probe.Settings().SetChargeLimit(c.limit);
  probe.Settings().SetLimitSize(30);
  probe.Settings().SetLimitFileCount(2);
  probe.Settings().SetRandomPercent(c.percent);
  std::vector<libmusic::CMusicFileInfo> files(static_cast<size_t>(c.files));
  CMusicChargeProbe::RandomExchange x;
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].file_name = L"A\\" + std::to_wstring(i) + L".mp3";
    files[i].size = 10 * 1048576;
    x.card_files.push_back(&files[i]);
    x.card_bytes += files[i].size;
  }
  ASSERT_TRUE(probe._ChooseDeletions(&x));
  EXPECT_EQ(c.planned, x.kept_from);
  EXPECT_EQ(static_cast<std::int64_t>(files.size() - c.planned), x.kept_count);
  EXPECT_EQ((files.size() - c.planned) * 10 * 1048576, x.kept_bytes);
  x.room = c.room;
  probe._RescueDeletions(&x);
  EXPECT_EQ(c.deleted, probe.DeleteList());
}

constexpr std::uint64_t kTenMiB = 10 * 1048576;
INSTANTIATE_TEST_SUITE_P(
    Phases, MusicChargeExchange,
    ::testing::Values(
        ExchangeCase{"NothingToExchange", 3, 0, 0, 0, 0, {}},
        ExchangeCase{"SizeCapForcesOut", 5, 1, 0, 0, 2, {L"A\\0.mp3", L"A\\1.mp3"}},
        ExchangeCase{"CountCapForcesOut", 4, 2, 0, 0, 2, {L"A\\0.mp3", L"A\\1.mp3"}},
        ExchangeCase{"HalfExchanged", 4, 0, 50, 0, 2, {L"A\\0.mp3", L"A\\1.mp3"}},
        ExchangeCase{"RoomKeepsTheFirst", 4, 0, 50, kTenMiB + 1, 2, {L"A\\1.mp3"}},
        ExchangeCase{"RoomKeepsAll", 4, 0, 50, 3 * kTenMiB, 2, {}},
        ExchangeCase{"CapStopsTheRescue", 5, 1, 0, 5 * kTenMiB, 2, {L"A\\0.mp3", L"A\\1.mp3"}}),
    ovtest::CaseName());

TEST(MusicChargeProgress, PhasesMapOntoTheBarAndNeverGoBack) {
  ovtest::CScopedDataRoot root;
  CRecorderWindow window;
  CMusicChargeProbe probe;
  probe.SetTargetWindow(window.Get());
  const int calls[][3] = {{3, 1, 1},   {1, 1, 1},  {2, 1, 1}, {4, 0, 10}, {4, 5, 10},
                          {4, 10, 10}, {5, -1, 3}, {5, 1, 3}, {5, 9, 3},  {6, 1, 1}};
  for (const auto& c : calls) probe._NotifyProgress(c[0], c[1], c[2]);
  ASSERT_TRUE(PumpUntil([&] { return window.Count(Msg(kMsgNotifyProgress)) >= 5; }, 5000));
  std::vector<WPARAM> percents;
  for (const auto& m : window.Of(Msg(kMsgNotifyProgress))) {
    percents.push_back(m.wparam);
    EXPECT_EQ(CHARGE_KIND_MUSIC, static_cast<uint32_t>(m.lparam));
  }
  EXPECT_EQ((std::vector<WPARAM>{15, 22, 30, 52, 99}), percents);
}

TEST(MusicChargeOrder, FoldersNewestFirstAndFilesInAlbumOrder) {
  libmusic::CMusicFolderInfo older, newer;
  older.newest_time = 5;
  newer.newest_time = 6;
  EXPECT_TRUE(CompareMusicFolderNewFirst(&newer, &older));
  EXPECT_FALSE(CompareMusicFolderNewFirst(&older, &newer));
  EXPECT_FALSE(CompareMusicFolderNewFirst(&older, &older));

  auto file = [](const wchar_t* album, int track, const wchar_t* path) {
    libmusic::CMusicFileInfo info;
    info.album = album;
    info.track_number = track;
    info.file_name = path;
    return info;
  };
  // Each before the next.
  const libmusic::CMusicFileInfo order[] = {
      file(L"A", 1, L"z"), file(L"A", 2, L"a"), file(L"A", -1, L"a"), file(L"B", 0, L"a"),
      file(L"", 1, L"z"),  file(L"", 1, L"zz"), file(L"", -1, L"a")};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_TRUE(CompareMusicFileInAlbumOrder(&order[i], &order[i + 1])) << i;
    EXPECT_FALSE(CompareMusicFileInAlbumOrder(&order[i + 1], &order[i])) << i;
  }
}

TEST(MusicChargeFind, FilesByExtensionBelowAFolder) {
  ovtest::CTempDir dir;
  const std::wstring root = ToWide(dir.Path()) + L"T";
  for (const wchar_t* name : {L"a.TMP", L"x\\b.tmp", L"x\\y\\\u0132.Tmp", L"c.mp3", L"d.tmpx"}) {
    ASSERT_TRUE(WriteFileW(root + L"\\" + name, "x"));
  }
  std::vector<std::wstring> found;
  ASSERT_TRUE(CMusicCharge::FindFilesByExt(&found, root.c_str(), L".TMP"));
  std::sort(found.begin(), found.end());
  EXPECT_EQ((std::vector<std::wstring>{root + L"\\a.TMP", root + L"\\x\\b.tmp",
                                       root + L"\\x\\y\\\u0132.Tmp"}),
            found);
  found.clear();
  ASSERT_TRUE(CMusicCharge::FindFilesByExt(&found, root.c_str(), nullptr));
  EXPECT_EQ(5u, found.size());
  EXPECT_FALSE(CMusicCharge::FindFilesByExt(&found, nullptr, L".TMP"));
  found.clear();
  EXPECT_TRUE(CMusicCharge::FindFilesByExt(&found, (root + L"\\none").c_str(), L".TMP"));
  EXPECT_TRUE(found.empty());
}

// The music charge; see MusicCharge.h.
#include "music/MusicCharge.h"

#include "ChargeKind.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileUtil.h"
#include "StringUtil.h"
#include "music/CardMusicPlan.h"
#include "music/MusicFileLibImpl.h"
#include "util/CoreFileUtil.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cwctype>

using libmusic::CMusicFileInfo;
using libmusic::CMusicFileInfoList;
using libmusic::CMusicFolderInfo;
using libmusic::CMusicFolderInfoList;

namespace {

// The charge's own result codes.
constexpr uint32_t kCodeAbort = 1235;
constexpr uint32_t kCodeSelectionFailed = 17;
constexpr uint32_t kCodeFailed = 16;

constexpr std::int64_t kMaxChargeFiles = 5000;
constexpr std::uint64_t kRandomCapBytes = 0x80000000ull;
constexpr std::uint64_t kMebibyte = 1048576;

// The "%u GB + %u Byte" halves of a byte count.
unsigned Gigabytes(std::uint64_t bytes) { return static_cast<unsigned>(bytes >> 30); }
unsigned RestBytes(std::uint64_t bytes) { return static_cast<unsigned>(bytes & 0x3FFFFFFFu); }

std::string ForLog(const std::wstring& path) { return ToMultiByte(path); }

std::uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Days since 1899-12-30 (an OLE automation date); 0 for a time that is not
// one (never set).
double OleDate(const SYSTEMTIME& time) {
  static const std::uint64_t epoch = [] {
    SYSTEMTIME base = {};
    base.wYear = 1899;
    base.wMonth = 12;
    base.wDay = 30;
    FILETIME file_time = {};
    SystemTimeToFileTime(&base, &file_time);
    return ToUint64(file_time);
  }();
  FILETIME file_time = {};
  if (!SystemTimeToFileTime(&time, &file_time)) return 0.0;
  const std::uint64_t value = ToUint64(file_time);
  if (value < epoch) return 0.0;
  return static_cast<double>(value - epoch) / 864000000000.0;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool ExtensionEquals(const wchar_t* name, const wchar_t* extension) {
  if (!extension) return true;
  const wchar_t* dot = std::wcsrchr(name, L'.');
  if (!dot) return false;
  for (; *dot && *extension; ++dot, ++extension) {
    if (std::towlower(*dot) != std::towlower(*extension)) return false;
  }
  return *dot == *extension;
}

std::uint64_t TotalSize(const std::vector<const CMusicFileInfo*>& files, size_t from = 0) {
  std::uint64_t total = 0;
  for (size_t i = from; i < files.size(); ++i) total += files[i]->size;
  return total;
}

}  // namespace

bool CompareMusicFolderNewFirst(const CMusicFolderInfo* a, const CMusicFolderInfo* b) {
  return a->newest_time > b->newest_time;
}

bool CompareMusicFileInAlbumOrder(const CMusicFileInfo* a, const CMusicFileInfo* b) {
  if (a->album.empty() != b->album.empty()) return !a->album.empty();
  if (a->album != b->album) return a->album < b->album;
  const unsigned track_a = static_cast<unsigned>(a->track_number);
  const unsigned track_b = static_cast<unsigned>(b->track_number);
  if (track_a != track_b) return track_a < track_b;
  return a->file_name < b->file_name;
}

void CMusicCharge::CRandomGenerator::Seed() { srand(static_cast<unsigned>(time(nullptr))); }

std::int64_t CMusicCharge::CRandomGenerator::operator()(std::int64_t n) {
  return static_cast<std::int64_t>(rand() / 32767.0 * static_cast<double>(n)) % n;
}

CMusicCharge::CMusicCharge()
    : CCharge(CHARGE_KIND_MUSIC), _random(std::make_unique<CRandomGenerator>()) {}

// The worker must be gone before the members it uses.
CMusicCharge::~CMusicCharge() { ReapThread(); }

SYSTEMTIME CMusicCharge::Now() const {
  if (_clock) return _clock();
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

bool CMusicCharge::FindFilesByExt(std::vector<std::wstring>* list, const wchar_t* folder,
                                  const wchar_t* extension) {
  if (!folder || !list) {
    OV_LOG(kLogError, "CMusicCharge::FindFilesByExt - error[%08X]",
           static_cast<unsigned>(ERROR_INVALID_PARAMETER));
    return false;
  }
  const std::wstring base = folder;
  WIN32_FIND_DATAW entry = {};
  CFindHandle find(FindFirstFileW((base + L"\\*").c_str(), &entry));
  if (!find) {
    OV_LOG(kLogError, "CMusicCharge::FindFilesByExt - error[%08X]",
           static_cast<unsigned>(GetLastError()));
    return true;
  }
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring path = base + L'\\' + entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!FindFilesByExt(list, path.c_str(), extension)) return false;
    } else if (ExtensionEquals(entry.cFileName, extension)) {
      list->push_back(path);
    }
  } while (FindNextFileW(find.Get(), &entry));
  return true;
}

uint32_t CMusicCharge::_Proc() {
  _settings.LoadMusic();
  if (!_IsChargeInterval()) {
    _NotifyError(CHARGE_RESULT_SKIP, 0);
    return CHARGE_RESULT_SUCCESS;
  }
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "リスト作成時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  Initialize();
  _NotifyProgress(3, 1, 1);

  CMusicFileLibImpl lib(_pc_folder, _sd_folder, this);
  bool selected = false;
  if (_settings.GetAutoChargeType() == 0) {
    OV_LOG(kLogInfo, "更新日時の新しい順");
    selected = _SelectFilesNewFirst(lib);
  } else {
    OV_LOG(kLogInfo, "ランダムに並べ替え");
    selected = _SelectFilesRandom(lib);
  }
  if (!selected) {
    Finalize(_abort_seen ? kCodeAbort : kCodeSelectionFailed, 0);
    return CHARGE_RESULT_SUCCESS;
  }

  OV_LOG(kLogInfo, "削除処理開始（%d 個）", static_cast<int>(_delete_list.size()));
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "データ削除時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  OV_LOG(kLogInfo, "◆SDの音楽ファイル削除開始");
  // Emptied folders go: they would count against the card's folder limit.
  const bool deleted = lib.DeleteMusicFile(_delete_list, true);
  OV_LOG(kLogInfo, "◆SDの音楽ファイル削除完了");
  if (!deleted) return FinishFailedStep(lib);
  _NotifyProgress(4, 1, 1);

  OV_LOG(kLogInfo, "転送処理開始（%d 個）", static_cast<int>(_transfer_list.size()));
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "データ転送開始時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  OV_LOG(kLogInfo, "◆PCからSDへファイル転送開始");
  const bool transferred = lib.TransferFile(_transfer_list);
  OV_LOG(kLogInfo, "◆PCからSDへファイル転送完了");
  // A full card is no failure: what was copied stays.
  if (!transferred && lib.GetErrorCode() != libmusic::kMusicErrorCardFull) {
    return FinishFailedStep(lib);
  }
  _NotifyProgress(5, 1, 1);
  const bool nothing = _delete_list.empty() && _transfer_list.empty();
  Finalize(nothing ? CHARGE_RESULT_NODATA : CHARGE_RESULT_SUCCESS, 0);
  return CHARGE_RESULT_SUCCESS;
}

uint32_t CMusicCharge::FinishFailedStep(const CMusicFileLibImpl& lib) {
  if (lib.GetErrorCode() == libmusic::kMusicErrorAborted) {
    Finalize(kCodeAbort, 0);
  } else {
    Finalize(kCodeFailed, lib.GetSystemError());
  }
  return CHARGE_RESULT_SUCCESS;
}

bool CMusicCharge::_IsChargeInterval() {
  const int interval = _settings.GetChargeInterval();
  if (interval <= 0) return true;
  const double passed = OleDate(Now()) - OleDate(_settings.GetLastAutoCharge());
  // A last charge in the future (a clock set back) says nothing: run.
  if (passed < 0.0 || passed >= interval) return true;
  OV_LOG(kLogInfo, "Auto-Charge Interval Shortage : setting[%d] passed[%f]", interval, passed);
  return false;
}

void CMusicCharge::Initialize() {
  OV_LOG(kLogInfo, "CMusicCharge::Initialize - Start Auto-Charge.");
  _last_progress = 0;
  _abort_seen = 0;
  _transfer_list.clear();
  _delete_list.clear();
  _pc_folder = _settings.GetMusicFolderW();
  while (_pc_folder.size() > 3 && _pc_folder.back() == L'\\') _pc_folder.pop_back();
  _sd_folder = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(GetDriveLetter()));
  if (!PathIsDirectory(_sd_folder)) PathCreateDirectory(_sd_folder);

  // Left-overs of copies a crash interrupted.
  std::vector<std::wstring> left_overs;
  FindFilesByExt(&left_overs, _sd_folder.c_str(), L".TMP");
  for (const std::wstring& path : left_overs) DeleteFileW(path.c_str());

  _SaveHistory(kHistoryStart, 0, 0, 0, 0);
}

void CMusicCharge::Finalize(uint32_t code, DWORD system_error) {
  uint32_t posted = code;
  LPARAM detail = 0;
  HistoryStage stage = kHistoryFailed;
  uint32_t recorded = 0;
  switch (code) {
    case CHARGE_RESULT_SUCCESS:
      CCharge::_NotifyProgress(100);
      _settings.SaveLastAutoCharge(Now());
      stage = kHistoryDone;
      break;
    case CHARGE_RESULT_NODATA:
      stage = kHistoryDone;
      break;
    case kCodeAbort:
      posted = CHARGE_RESULT_ABORT;
      stage = kHistoryAborted;
      break;
    case kCodeSelectionFailed:
      break;
    default:
      if (_IsExistSD()) {
        posted = kCodeFailed;
        detail = static_cast<LPARAM>(system_error);
      } else {
        posted = CHARGE_RESULT_NOSD;
      }
      recorded = posted;
      break;
  }
  _NotifyError(posted, detail);
  _SaveHistory(stage, recorded, 0, 0, 0);
  _transfer_list.clear();
  _delete_list.clear();
  _last_progress = 0;
  OV_LOG(kLogInfo, "CMusicCharge::Finalize - End Auto-Charge. [%08X]", static_cast<unsigned>(code));
}

bool CMusicCharge::_IsLimitOver(std::int64_t count, std::uint64_t bytes) {
  if (count > kMaxChargeFiles) {
    OV_LOG(kLogInfo, "最大ファイル数に達しました。");
    return true;
  }
  if (_settings.GetAutoChargeType() == 1 && bytes > kRandomCapBytes) {
    OV_LOG(kLogInfo, "ランダム転送の上限に達しました。");
    return true;
  }
  const int limit = _settings.GetChargeLimit();
  if (limit == 1 &&
      bytes > static_cast<std::uint64_t>(std::max(_settings.GetLimitSize(), 0)) * kMebibyte) {
    OV_LOG(kLogInfo, "ファイルサイズ制限（%d MB）に達しました。", _settings.GetLimitSize());
    return true;
  }
  if (limit == 2 && count > _settings.GetLimitFileCount()) {
    OV_LOG(kLogInfo, "ファイル数制限（%d 個）に達しました。", _settings.GetLimitFileCount());
    return true;
  }
  return false;
}

void CMusicCharge::_NotifyProgress(int phase, int step, int total) {
  const int c = step < 0 ? 0 : step >= total ? 100 : static_cast<int>(step * 100LL / total);
  int percent = 0;
  switch (phase) {
    case 1:
      percent = c * 5 / 100;
      break;
    case 2:
      percent = c * 5 / 100 + 5;
      break;
    case 3:
      percent = c * 5 / 100 + 10;
      break;
    case 4:
      percent = c * 15 / 100 + 15;
      break;
    case 5:
      percent = c * 69 / 100 + 30;
      break;
    default:
      return;
  }
  if (percent <= _last_progress) return;
  OV_LOG(kLogInfo, "ミュージックチャージ進捗：%3d ％", percent);
  CCharge::_NotifyProgress(static_cast<uint32_t>(percent));
  _last_progress = percent;
}

bool CMusicCharge::AbortSeen() {
  if (!_IsAbort()) return false;
  _abort_seen = 1;
  return true;
}

bool CMusicCharge::PcFolderPresent() const {
  // A missing folder (an unplugged drive) must not pass for an empty one:
  // the card would be emptied to match it. Nor may the PC's music be the
  // card's: its files would be deleted before they were copied.
  const bool on_card =
      _pc_folder.size() >= 2 && _pc_folder[1] == L':' &&
      std::towupper(_pc_folder[0]) == std::towupper(static_cast<wchar_t>(GetDriveLetter()));
  if (!_pc_folder.empty() && !on_card && PathIsDirectory(_pc_folder)) return true;
  OV_LOG(kLogError, "PC音楽フォルダ無し [%s]", ForLog(_pc_folder).c_str());
  return false;
}

std::uint64_t CMusicCharge::RoomAfter(std::uint64_t deleted_bytes) {
  return libmusic::GetDriveFreeSpace(_sd_folder.c_str()) + deleted_bytes;
}

bool CMusicCharge::ListCard(CMusicFileLibImpl& lib, CMusicFileInfoList* card) {
  if (lib.FindMusicFiles(card, _sd_folder.c_str(), nullptr, true)) return true;
  if (lib.GetErrorCode() == libmusic::kMusicErrorAborted) _abort_seen = 1;
  return false;
}

void CMusicCharge::Shuffle(FileRefs* files) {
  for (size_t i = 1; i < files->size(); ++i) {
    std::int64_t j = (*_random)(static_cast<std::int64_t>(i + 1));
    if (j < 0 || j > static_cast<std::int64_t>(i)) j = static_cast<std::int64_t>(i);
    std::swap((*files)[i], (*files)[static_cast<size_t>(j)]);
  }
}

namespace {

// Logs the stop of a selection at a file that does not fit the room.
void LogNoRoom(std::uint64_t room) {
  OV_LOG(kLogInfo, "これ以上SDカードに入りません（空き容量： %u GB + %u Byte）", Gigabytes(room),
         RestBytes(room));
}

// The card's own limits, beside the caps of the settings: a file for a new
// folder is skipped once the card has all the folders it may have; no file
// goes once it has all the files.
bool StopsAtCardLimit(CCardMusicPlan::Fit fit, const std::wstring& path, bool* skip) {
  *skip = false;
  if (fit == CCardMusicPlan::Fit::kTooManyFiles) {
    OV_LOG(kLogInfo, "SDの音楽ファイル数が上限（%d 個）に達しました。",
           libmusic::kMaxCardMusicFiles);
    return true;
  }
  if (fit == CCardMusicPlan::Fit::kTooManyFolders) {
    OV_LOG(kLogInfo, "SDのフォルダ数が上限（%d 個）のため対象外：%s",
           libmusic::kMaxCardMusicFolders, ForLog(path).c_str());
    *skip = true;
  }
  return false;
}

}  // namespace

bool CMusicCharge::_SelectFilesNewFirst(CMusicFileLibImpl& lib) {
  if (!PcFolderPresent()) return false;
  CMusicFileInfoList card;
  if (!ListCard(lib, &card)) return false;
  OV_LOG(kLogInfo, "転送前のSD音楽ファイル数：%d個", static_cast<int>(card.Size()));
  std::uint64_t card_bytes = 0;
  for (const auto& file : card.Items()) card_bytes += file->size;
  OV_LOG(kLogInfo, "削除予定ファイル数：%d個 サイズ： %u GB + %u Byte",
         static_cast<int>(card.Size()), Gigabytes(card_bytes), RestBytes(card_bytes));
  const std::uint64_t room = RoomAfter(card_bytes);
  OV_LOG(kLogInfo, "削除後のSDカード空き容量（予想）：%u GB + %u Byte", Gigabytes(room),
         RestBytes(room));
  _NotifyProgress(1, 1, 1);

  CCardMusicPlan plan;
  if (!plan.Survey(_sd_folder, [this] { return AbortSeen(); })) return false;
  for (const auto& file : card.Items()) plan.Delete(file->file_name);

  CMusicFolderInfoList folders;
  if (!lib.FindMusicFileFolder(&folders, _pc_folder.c_str(), nullptr)) {
    if (lib.GetErrorCode() == libmusic::kMusicErrorAborted) _abort_seen = 1;
    return false;
  }
  std::vector<const CMusicFolderInfo*> order;
  for (const auto& folder : folders.Items()) order.push_back(folder.get());
  std::sort(order.begin(), order.end(), CompareMusicFolderNewFirst);
  _NotifyProgress(2, 1, 1);

  std::int64_t count = 0;
  std::uint64_t bytes = 0;
  bool full = false;
  for (const CMusicFolderInfo* folder : order) {
    if (full) break;
    if (AbortSeen()) return false;
    FileRefs files;
    for (const auto& file : folder->files.Items()) files.push_back(file.get());
    std::sort(files.begin(), files.end(), CompareMusicFileInAlbumOrder);
    for (const CMusicFileInfo* file : files) {
      if (AbortSeen()) return false;
      const std::wstring card_path = libmusic::MakeTransferPath(file->file_name, nullptr);
      // Two PC folders of one name share a card folder: the first copy wins.
      if (plan.IsTaken(card_path)) continue;
      const std::uint64_t total = bytes + file->size;
      if (_IsLimitOver(count + 1, total)) {
        full = true;
        break;
      }
      if (total >= room) {
        LogNoRoom(room);
        full = true;
        break;
      }
      bool skip = false;
      if (StopsAtCardLimit(plan.Check(card_path), card_path, &skip)) {
        full = true;
        break;
      }
      if (skip) continue;
      _transfer_list.push_back(file->file_name);
      OV_LOG(kLogInfo, "転送対象[%d]：%s", static_cast<int>(count),
             ForLog(file->file_name).c_str());
      plan.Add(card_path);
      bytes = total;
      ++count;
    }
  }
  for (const auto& file : card.Items()) {
    OV_LOG(kLogInfo, "削除対象[%d]：%s", static_cast<int>(_delete_list.size()),
           ForLog(file->file_name).c_str());
    _delete_list.push_back(file->file_name);
  }
  return true;
}

bool CMusicCharge::_SelectFilesRandom(CMusicFileLibImpl& lib) {
  if (!PcFolderPresent()) return false;
  _random->Seed();
  RandomExchange exchange;
  if (!_ListCardShuffled(lib, &exchange)) return false;
  if (!_ChooseDeletions(&exchange)) return false;
  if (!_ChooseTransfers(lib, &exchange)) return false;
  _RescueDeletions(&exchange);
  return true;
}

bool CMusicCharge::_ListCardShuffled(CMusicFileLibImpl& lib, RandomExchange* x) {
  OV_LOG(kLogInfo, "◆転送前のSD音楽ファイル検索開始 [%s]", ForLog(_sd_folder).c_str());
  if (!ListCard(lib, &x->card)) return false;
  OV_LOG(kLogInfo, "◆転送前のSD音楽ファイル検索完了");
  OV_LOG(kLogInfo, "転送前のSD音楽ファイル数：%d個", static_cast<int>(x->card.Size()));
  OV_LOG(kLogInfo, "◆転送前のSD音楽ファイルの並べ替え開始");
  for (const auto& file : x->card.Items()) x->card_files.push_back(file.get());
  Shuffle(&x->card_files);
  OV_LOG(kLogInfo, "◆転送前のSD音楽ファイルの並べ替え完了");
  _NotifyProgress(1, 1, 1);
  x->card_bytes = TotalSize(x->card_files);
  OV_LOG(kLogInfo, "転送前サイズ： %u GB + %u Byte", Gigabytes(x->card_bytes),
         RestBytes(x->card_bytes));

  if (!x->plan.Survey(_sd_folder, [this] { return AbortSeen(); })) return false;
  for (const CMusicFileInfo* file : x->card_files) x->plan.Take(file->file_name);
  return true;
}

bool CMusicCharge::_ChooseDeletions(RandomExchange* x) {
  const FileRefs& card_files = x->card_files;
  size_t& kept_from = x->kept_from;
  std::uint64_t forced = 0;
  while (kept_from < card_files.size() &&
         _IsLimitOver(static_cast<std::int64_t>(card_files.size() - kept_from),
                      x->card_bytes - forced)) {
    if (AbortSeen()) return false;
    forced += card_files[kept_from]->size;
    x->plan.Delete(card_files[kept_from]->file_name);
    ++kept_from;
  }
  OV_LOG(kLogInfo, "強制削除： %u GB + %u Byte", Gigabytes(forced), RestBytes(forced));
  const int percent = _settings.GetRandomPercent();
  const std::uint64_t exchange =
      (x->card_bytes - forced) / 100 * static_cast<std::uint64_t>(std::max(percent, 0));
  OV_LOG(kLogInfo, "入替割合：%d％ 入替サイズ： %u GB + %u Byte", percent, Gigabytes(exchange),
         RestBytes(exchange));
  std::uint64_t exchanged = 0;
  while (kept_from < card_files.size() && exchanged < exchange) {
    if (AbortSeen()) return false;
    exchanged += card_files[kept_from]->size;
    x->plan.Delete(card_files[kept_from]->file_name);
    ++kept_from;
  }
  const std::uint64_t deleted = forced + exchanged;
  OV_LOG(kLogInfo, "削除予定ファイル数：%d個 サイズ： %u GB + %u Byte", static_cast<int>(kept_from),
         Gigabytes(deleted), RestBytes(deleted));
  x->kept_bytes = x->card_bytes - deleted;
  x->kept_count = static_cast<std::int64_t>(card_files.size() - kept_from);
  OV_LOG(kLogInfo, "SD内に残す音楽ファイル数：%d個 サイズ：%u GB + %u Byte",
         static_cast<int>(x->kept_count), Gigabytes(x->kept_bytes), RestBytes(x->kept_bytes));
  x->room = RoomAfter(deleted);
  OV_LOG(kLogInfo, "削除後のSDカード空き容量（予想）：%u GB + %u Byte", Gigabytes(x->room),
         RestBytes(x->room));
  return true;
}

bool CMusicCharge::_ChooseTransfers(CMusicFileLibImpl& lib, RandomExchange* x) {
  OV_LOG(kLogInfo, "◆転送前のPC音楽ファイルの検索開始");
  CMusicFileInfoList pc;
  if (!lib.FindMusicFiles(&pc, _pc_folder.c_str(), nullptr, true)) {
    if (lib.GetErrorCode() == libmusic::kMusicErrorAborted) _abort_seen = 1;
    return false;
  }
  OV_LOG(kLogInfo, "◆転送前のPC音楽ファイルの検索完了");
  OV_LOG(kLogInfo, "◆転送前のPC音楽ファイルの並べ替え開始");
  FileRefs pc_files;
  for (const auto& file : pc.Items()) pc_files.push_back(file.get());
  Shuffle(&pc_files);
  OV_LOG(kLogInfo, "◆転送前のPC音楽ファイルの並べ替え完了");
  _NotifyProgress(2, 1, 1);

  for (const CMusicFileInfo* file : pc_files) {
    if (AbortSeen()) return false;
    // A file already on the card (kept or to be deleted) or already chosen
    // is skipped before the room is weighed: it would not be copied anyway.
    const std::wstring card_path = libmusic::MakeTransferPath(file->file_name, nullptr);
    if (x->plan.IsTaken(card_path)) continue;
    if (!FitsTheRoom(*x, file->size)) break;
    bool skip = false;
    if (StopsAtCardLimit(x->plan.Check(card_path), card_path, &skip)) break;
    if (skip) continue;
    _transfer_list.push_back(file->file_name);
    x->plan.Add(card_path);
    ++x->chosen_count;
    x->chosen_bytes += file->size;
  }
  return true;
}

void CMusicCharge::_RescueDeletions(RandomExchange* x) {
  // Files planned for deletion stay on the card while there is room left.
  size_t rescue_end = 0;
  for (; rescue_end < x->kept_from; ++rescue_end) {
    const CMusicFileInfo* file = x->card_files[rescue_end];
    if (!FitsTheRoom(*x, file->size)) break;
    // Its folder may have been given up for a new one.
    if (x->plan.Check(file->file_name) != CCardMusicPlan::Fit::kFits) break;
    x->plan.Keep(file->file_name);
    ++x->kept_count;
    x->kept_bytes += file->size;
    x->rescued += file->size;
  }
  for (size_t i = rescue_end; i < x->kept_from; ++i) {
    _delete_list.push_back(x->card_files[i]->file_name);
  }
}

bool CMusicCharge::FitsTheRoom(const RandomExchange& x, std::uint64_t size) {
  if (_IsLimitOver(x.kept_count + x.chosen_count + 1, x.kept_bytes + x.chosen_bytes + size)) {
    return false;
  }
  if (x.chosen_bytes + x.rescued + size >= x.room) {
    LogNoRoom(x.room);
    return false;
  }
  return true;
}

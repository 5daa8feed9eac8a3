// The music charge (kind 16, "msc"): fills the card's music folder
// ("E:\AV\MUSIC") from the user's music folder on the PC by the music
// settings: how often it may run, newest-first refill or a random exchange
// of a share of the card's music, and a cap by size or by file count.
//
// Threads: made and started by the charge manager on the main thread; the
// run (_Proc and everything below it, the library's hooks included) is on
// the charge's worker thread. The abort event is the only thing another
// thread touches.
#pragma once

#include "Charge.h"
#include "MusicFileInfo.h"
#include "MusicFolderInfo.h"
#include "files/CoreConfig.h"
#include "music/CardMusicPlan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMusicFileLibImpl;

// The two orders of the selections: newest folder first; within a folder
// files with an album before those without, by album, then by track number
// (a missing one last), then by path.
bool CompareMusicFolderNewFirst(const libmusic::CMusicFolderInfo* a,
                                const libmusic::CMusicFolderInfo* b);
bool CompareMusicFileInAlbumOrder(const libmusic::CMusicFileInfo* a,
                                  const libmusic::CMusicFileInfo* b);

class CMusicCharge : public CCharge {
 public:
  // The random index of the shuffles, on the C library's generator, seeded
  // once per random run. Tests give one of their own.
  class CRandomGenerator {
   public:
    virtual ~CRandomGenerator() = default;
    virtual void Seed();
    // An index below n (n > 0).
    virtual std::int64_t operator()(std::int64_t n);
  };
  // The local time now; tests give a clock of their own.
  using Clock = std::function<SYSTEMTIME()>;

  CMusicCharge();
  ~CMusicCharge() override;

  void SetClock(Clock clock) { _clock = std::move(clock); }
  void SetRandomGenerator(std::unique_ptr<CRandomGenerator> random) { _random = std::move(random); }

  // Appends folder\...\name for every file below the folder whose
  // extension equals extension (case-insensitive; null takes every file).
  // False for a null folder or a failed sub-folder; a folder that cannot be
  // listed holds nothing.
  static bool FindFilesByExt(std::vector<std::wstring>* list, const wchar_t* folder,
                             const wchar_t* extension);

 protected:
  uint32_t _Proc() override;

  void Initialize();
  void Finalize(uint32_t code, DWORD system_error);
  bool _IsChargeInterval();
  bool _SelectFilesNewFirst(CMusicFileLibImpl& lib);
  bool _SelectFilesRandom(CMusicFileLibImpl& lib);
  bool _IsLimitOver(std::int64_t count, std::uint64_t bytes);
  void _NotifyProgress(int phase, int step, int total);

  core::COstrovelleConfig& Settings() { return _settings; }
  // The random run in its four phases. The card's files in shuffled order
  // are card_files; the first kept_from of them are planned for deletion,
  // the rest stay. Each phase returns false on an abort or a failed search.
  using FileRefs = std::vector<const libmusic::CMusicFileInfo*>;
  struct RandomExchange {
    libmusic::CMusicFileInfoList card;
    FileRefs card_files;
    CCardMusicPlan plan;
    std::uint64_t card_bytes = 0;
    size_t kept_from = 0;
    std::int64_t kept_count = 0;
    std::uint64_t kept_bytes = 0;
    // The card's free bytes once the planned deletions are made.
    std::uint64_t room = 0;
    std::int64_t chosen_count = 0;
    std::uint64_t chosen_bytes = 0;
    // Bytes of planned deletions kept after all.
    std::uint64_t rescued = 0;
  };
  // Lists and shuffles the card's music, and surveys the card.
  bool _ListCardShuffled(CMusicFileLibImpl& lib, RandomExchange* x);
  // Plans deletions from the front of the shuffled card: first what the
  // caps force out, then the share the settings exchange.
  bool _ChooseDeletions(RandomExchange* x);
  // Chooses shuffled PC files that are not on the card, while they fit.
  bool _ChooseTransfers(CMusicFileLibImpl& lib, RandomExchange* x);
  // Keeps planned deletions while room is left; the rest form the
  // deletion list.
  void _RescueDeletions(RandomExchange* x);

  const std::vector<std::wstring>& TransferList() const { return _transfer_list; }
  const std::vector<std::wstring>& DeleteList() const { return _delete_list; }
  void SetMusicFolders(const std::wstring& pc_folder, const std::wstring& sd_folder) {
    _pc_folder = pc_folder;
    _sd_folder = sd_folder;
  }

 private:
  friend class CMusicFileLibImpl;

  // The abort test of the selection loops: sets the abort flag.
  bool AbortSeen();
  bool PcFolderPresent() const;
  // The card's free bytes plus those the deletions give back.
  std::uint64_t RoomAfter(std::uint64_t deleted_bytes);
  bool ListCard(CMusicFileLibImpl& lib, libmusic::CMusicFileInfoList* card);
  void Shuffle(FileRefs* files);
  SYSTEMTIME Now() const;
  uint32_t FinishFailedStep(const CMusicFileLibImpl& lib);
  // Whether one more file of size fits the caps and the room (logs a stop
  // for the room).
  bool FitsTheRoom(const RandomExchange& x, std::uint64_t size);

  core::COstrovelleConfig _settings;
  std::wstring _pc_folder;
  std::wstring _sd_folder;
  std::vector<std::wstring> _transfer_list;
  std::vector<std::wstring> _delete_list;
  int _last_progress = 0;
  int _abort_seen = 0;
  Clock _clock;
  std::unique_ptr<CRandomGenerator> _random;
};

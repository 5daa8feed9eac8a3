// The music-file library as the music charge uses it: its hooks tied to the
// charge's abort event and progress, and each file copied to a temporary
// name on the card, with progress and abort, written through, then renamed
// into place while still open (moved after its close when that fails).
// Lives on the charge's worker thread for one run.
#pragma once

#include "MusicFileLib.h"

#include <string>

class CMusicCharge;

class CMusicFileLibImpl final : public libmusic::CMusicFileLib {
 public:
  // charge may be null: then no hook aborts or reports anything.
  CMusicFileLibImpl(const std::wstring& pc_folder, const std::wstring& sd_folder,
                    CMusicCharge* charge);

  using libmusic::CMusicFileLib::TransferFile;

  // Asks the charge's abort event, at most every kAbortAskIntervalMs.
  bool IsAbort() override;
  HANDLE GetAbortEvent() override;
  bool TransferFile(const std::wstring& source, const std::wstring& destination) override;
  void OnTransferProgress(int done, int total) override;
  void OnDeleteProgress(int done, int total) override;

 private:
  static DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER done,
                                     LARGE_INTEGER stream_size, LARGE_INTEGER stream_done,
                                     DWORD stream, DWORD reason, HANDLE source, HANDLE target,
                                     void* data);

  static constexpr double kAbortAskIntervalMs = 20;

  // Whether the charge's abort event is set; within the interval after a
  // question that found it clear, only when always is set.
  bool AskAbort(bool always);

  CMusicCharge* _charge;  // not owned
  bool _asked = false;
  double _last_clear_ms = 0;  // NowMs of the last question that found no abort
};

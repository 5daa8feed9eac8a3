// The map charge's questions to the main program: the download
// confirmation, the unsent-probe question and the card-clear question,
// each posted to the core's window and answered on a pair of named events
// ("Global\EVOVMap..." for yes, the same with "No" appended for no); and
// the agreement of what to download that follows from the answers. The
// charge owns one and drives it through Agree() and Ask(); tests reach the
// single questions. Its log lines name the charge's steps
// (CMapCharge::_NotifyDownload, ...), as they always have: logs are read by
// them.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place); the main program sets the answers from its own process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CoreConnectionParameterData.h"
#include "Handle.h"
#include "OvWindows.h"
#include "map/DownloadList.h"

class CMapQuestions final {
 public:
  enum Question { kQuestionCardClear = 0, kQuestionDownload, kQuestionVerify, kQuestionProbe };
  enum Answer { kAnswerYes = 0, kAnswerNo, kAnswerAbort, kAnswerWaitFailed };

  // What the questions take from the charge that asks them. The pointers
  // name the charge's own members (not owned): the unit's identity as _Init
  // read it, the line speed and estimate of the confirmation, the records
  // chosen for the run, the plan of the download they become, the map
  // update mark and the error code and detail.
  struct Context {
    // Posts a registered message of the core to the core's window.
    std::function<void(const char* message, WPARAM wparam, LPARAM lparam)> post;
    // The charge's abort event (not owned; may be null).
    std::function<HANDLE()> abort_event;
    std::function<char()> drive_letter;
    const uint32_t* ccid_head = nullptr;
    const std::string* device_no = nullptr;
    const uint32_t* line_speed = nullptr;
    const uint64_t* estimate_total = nullptr;
    CDownloadList* chosen = nullptr;
    CDownloadList* download_list = nullptr;
    std::vector<core::ConnectionParameterData>* download_parameters = nullptr;
    bool* map_update = nullptr;
    uint32_t* error_code = nullptr;
    uint32_t* error_detail = nullptr;
  };

  explicit CMapQuestions(Context context) : _context(std::move(context)) {}
  ~CMapQuestions() = default;
  CMapQuestions(const CMapQuestions&) = delete;
  CMapQuestions& operator=(const CMapQuestions&) = delete;

  // The yes event's name ("Global\EVOVMapDownload"); the no event's is this
  // with "No" appended. Tests running side by side give a tag that is
  // appended to every name.
  static std::string EventName(Question question, bool yes);
  static void SetEventTag(const std::string& tag);

  // Creates (or opens) the answer events of every question; part of _Init.
  void OpenEvents();

  // Resets both answers, posts the question, then waits for an answer, the
  // abort or a failed wait (wait_error: its platform error).
  Answer Ask(Question question, const char* message, WPARAM wparam, LPARAM lparam,
             DWORD* wait_error);

  // Whether and what to download: the plan from the chosen records, asking
  // the download confirmation when a map update the PC lacks is among them.
  // False with the error code set when the run must end (0 when it may go
  // on with what it has).
  bool Agree();
  // The download confirmation; false with the error code set when the run
  // must end (0 when it may go on with what it has).
  bool NotifyDownload();
  // 0 failed or aborted, 1 go on, 2 declined.
  int NoSendProbe();
  // Unsent probe data lies on the card.
  bool IsNoSendProbe();
  // The download plan and its request parameters from the chosen records;
  // records carrying the update mark only when include_marked.
  bool CreateDownloadParam(bool include_marked);

 private:
  uint32_t& ErrorCode() { return *_context.error_code; }
  uint32_t& ErrorDetail() { return *_context.error_detail; }

  Context _context;
  CHandle _answers[4][2];  // [question][yes, no]
};

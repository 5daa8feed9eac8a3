// The map charge's run-test helpers; see MapChargeRunSupport.h.
#include "MapChargeRunSupport.h"

#include <atomic>
#include <map>
#include <thread>

#include "CoreMessages.h"
#include "StringUtil.h"

namespace maptest {

namespace {

CardSpace g_space;

}  // namespace

std::string AnswerEvent(CMapQuestions::Question question, bool yes) {
  return CMapQuestions::EventName(question, yes);
}

Reply Yes(CMapQuestions::Question question) {
  if (question == CMapQuestions::kQuestionProbe)
    return {kMsgNoSendProbe, 0, AnswerEvent(question, true)};
  const WPARAM kind = question == CMapQuestions::kQuestionDownload ? 3 : 239;
  return {kMsgMapLicense, kind, AnswerEvent(question, true)};
}

Reply No(CMapQuestions::Question question) {
  Reply reply = Yes(question);
  reply.event = AnswerEvent(question, false);
  return reply;
}

bool PumpAnswering(coretest::CRecorderWindow& window, const std::function<bool()>& done,
                   const std::vector<Reply>& replies, DWORD limit_ms) {
  // Answers given so far, per question message and kind.
  std::map<std::pair<UINT, WPARAM>, size_t> answered;
  size_t next = 0;
  const auto answer = [&] {
    while (next < replies.size()) {
      const Reply& r = replies[next];
      const UINT id = coretest::Msg(r.message);
      size_t asked = 0;
      for (const coretest::RecordedMessage& m : window.Of(id)) asked += m.wparam == r.wparam;
      size_t& given = answered[{id, r.wparam}];
      if (asked <= given) break;
      const CHandle event(CreateEventA(nullptr, FALSE, FALSE, r.event.c_str()));
      SetEvent(event.Get());
      ++given;
      ++next;
    }
    return done();
  };
  return coretest::PumpUntil(answer, limit_ms);
}

bool RunAnswering(coretest::CRecorderWindow& window, const std::function<void()>& step,
                  const std::vector<Reply>& replies, DWORD limit_ms) {
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    step();
    ended = true;
  });
  const bool in_time = PumpAnswering(
      window, [&] { return ended.load(); }, replies, limit_ms);
  if (!in_time) {
    for (const Reply& r : replies) {
      const CHandle event(CreateEventA(nullptr, FALSE, FALSE, r.event.c_str()));
      SetEvent(event.Get());
    }
  }
  worker.join();
  // Messages posted at the end of the step are still in the queue.
  coretest::PumpUntil([] { return false; }, 0);
  return in_time;
}

CScopedEnvironment::CScopedEnvironment(const char* name, const std::string& value) : _name(name) {
  SetEnvironmentVariableA(name, value.c_str());
}

CScopedEnvironment::~CScopedEnvironment() { SetEnvironmentVariableA(_name.c_str(), nullptr); }

CHeldChecker::CHeldChecker(const std::string& tag)
    : _release(CreateEventA(nullptr, TRUE, FALSE, ("OvTestChkdsk_" + tag).c_str())),
      _started(CreateEventA(nullptr, TRUE, FALSE, ("OvTestChkdsk_" + tag + "_started").c_str())),
      _done(CreateEventA(nullptr, TRUE, FALSE, ("OvTestChkdsk_" + tag + "_done").c_str())),
      _environment("OV_CHKDSK_HOLD", "OvTestChkdsk_" + tag) {}

CHeldChecker::~CHeldChecker() {
  Release();
  // A checker still on its way would outlive the events and hold the test's
  // output open: let it end first.
  if (WaitStarted(0)) WaitDone(30000);
}

bool CHeldChecker::WaitStarted(DWORD limit_ms) const {
  return WaitForSingleObject(_started.Get(), limit_ms) == WAIT_OBJECT_0;
}

bool CHeldChecker::WaitDone(DWORD limit_ms) const {
  return WaitForSingleObject(_done.Get(), limit_ms) == WAIT_OBJECT_0;
}

void SetCardSpace(const CardSpace& space) { g_space = space; }

BOOL WINAPI TestDiskSpace(LPCSTR, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total,
                          PULARGE_INTEGER total_free) {
  if (!g_space.known) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if (free_to_caller) free_to_caller->QuadPart = g_space.free;
  if (total) total->QuadPart = g_space.total;
  if (total_free) total_free->QuadPart = g_space.free;
  return TRUE;
}

}  // namespace maptest

// Helpers of the tests of the map charge's run and questions: the main
// program's side of a question (seeing it posted, then setting the named
// answer), the disk checker's stand-in steered through the environment,
// and a card space of the test's choosing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CoreTestSupport.h"
#include "Handle.h"
#include "OvWindows.h"
#include "map/MapCharge.h"

namespace maptest {

// One answer the test gives: when the message (with that wParam) has
// reached the window one more time, the named event is set.
struct Reply {
  const char* message;
  WPARAM wparam;
  std::string event;
};

// The answer event of a question as the charge names it in this test.
std::string AnswerEvent(CMapQuestions::Question question, bool yes);
Reply Yes(CMapQuestions::Question question);
Reply No(CMapQuestions::Question question);

// Pumps this thread's messages and answers the questions in order until
// done() holds; false after limit_ms.
bool PumpAnswering(coretest::CRecorderWindow& window, const std::function<bool()>& done,
                   const std::vector<Reply>& replies, DWORD limit_ms = 30000);

// Runs the step on a thread of its own while this thread pumps the window
// and answers; false when the step had not ended after limit_ms (every
// answer event is then set so that the step ends).
bool RunAnswering(coretest::CRecorderWindow& window, const std::function<void()>& step,
                  const std::vector<Reply>& replies, DWORD limit_ms = 30000);

// Sets an environment variable for the life of the object; programs the
// test starts inherit it.
class CScopedEnvironment final {
 public:
  CScopedEnvironment(const char* name, const std::string& value);
  ~CScopedEnvironment();
  CScopedEnvironment(const CScopedEnvironment&) = delete;
  CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

 private:
  std::string _name;
};

// A disk checker that starts and then waits for the test: Release() lets it
// end; the destructor releases it too.
class CHeldChecker final {
 public:
  explicit CHeldChecker(const std::string& tag);
  ~CHeldChecker();
  CHeldChecker(const CHeldChecker&) = delete;
  CHeldChecker& operator=(const CHeldChecker&) = delete;

  bool WaitStarted(DWORD limit_ms) const;
  void Release() const { SetEvent(_release.Get()); }
  // Whether it ended by itself after its release (it was not killed).
  bool WaitDone(DWORD limit_ms) const;

 private:
  CHandle _release;
  CHandle _started;
  CHandle _done;
  CScopedEnvironment _environment;
};

// The card's space as GetDiskFreeSpaceExA would give it, for
// CMapCharge::SetDiskSpaceSource; `known` false makes the query fail.
struct CardSpace {
  bool known = true;
  uint64_t total = 0;
  uint64_t free = 0;
};
void SetCardSpace(const CardSpace& space);
BOOL WINAPI TestDiskSpace(LPCSTR root, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total,
                          PULARGE_INTEGER total_free);

}  // namespace maptest

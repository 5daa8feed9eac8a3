// The first registration's user check: reads the unit's card, asks the
// user-authentication service (connection 4) whether the nickname and
// password belong to a customer and, when they do, adds the unit's user to
// the user list. The check runs on a thread of its own and reports only by
// posting 0x8004 (0, result) to its window; the result codes below are the
// registration's message codes without their category (0x40000000).
//
// The password is sent in the request's form and never written to a log.
#pragma once

#include <cstdint>
#include <string>

#include "OvWindows.h"

namespace regist {

constexpr UINT kCheckDone = 0x8004;
constexpr uint32_t kOk = 0;
constexpr uint32_t kCancelled = 0xFF00;
constexpr uint32_t kCardUnreadable = 0xFF06;
constexpr uint32_t kFormFailed = 0x40FF05;
constexpr uint32_t kWaitFailed = 0x40FFFF;
constexpr uint32_t kTransferError = 0x100000;  // or-ed with the client's error
constexpr uint32_t kServerError = 0x200000;    // or-ed with the analyzer's code
constexpr uint32_t kUserListFailed = 0x400001;
constexpr uint32_t kNoWindow = 255;  // nothing posted
// The registration's message category, or-ed with a result for its text.
constexpr uint32_t kCategory = 0x40000000;
// The message codes of an empty nickname or password and of the question
// before the window closes unregistered.
constexpr uint32_t kNoNickname = 0x40000002;
constexpr uint32_t kNoPassword = 0x40000003;
constexpr uint32_t kQuitQuestion = 0x40000004;
constexpr const char* kCancelEventName = "EventInitializationCancel";
constexpr int kAuthenticationConnection = 4;
constexpr int kRegistrationPageConnection = 3;
constexpr int kRegistrationPageFunction = 100;

// What the registration takes from the unit's information file.
struct UnitCard {
  char drive = 0;
  std::string device_no;
  uint32_t ccid = 0;
  int unit_value = 0;
  // Usable: a device number and a CCID.
  bool IsUsable() const { return !device_no.empty() && ccid != 0; }
};

// The first unit card among the drives; false when there is none (*card
// stays empty).
bool FindUnitCard(UnitCard* card);

// One check. The object must outlive its thread; the window joins the
// thread before it lets the object go.
class CUserCheck final {
 public:
  // events: any of them set stops the check (the named cancel event and the
  // window's own stop signal); not owned.
  CUserCheck(HWND window, std::string nickname, std::string password, HANDLE cancel_event,
             HANDLE stop_event);
  ~CUserCheck();
  CUserCheck(const CUserCheck&) = delete;
  CUserCheck& operator=(const CUserCheck&) = delete;

  // The thread's entry; the context is the object.
  static unsigned __stdcall ThreadMain(void* context);
  // The check itself, on the calling thread, without the post.
  uint32_t Check();

 private:
  bool Cancelled() const;
  uint32_t Ask(const UnitCard& card, const std::string& user_agent);
  uint32_t AddUser(const UnitCard& card, const std::string& user_agent);

  HWND _window;  // not owned
  std::string _nickname;
  std::string _password;
  HANDLE _cancel_event;  // not owned
  HANDLE _stop_event;    // not owned
};

}  // namespace regist

// One request of an information charge to its server: open the HTTP client
// on the URL, send (a form POST or a GET with credentials), and wait for the
// transfer's end or the charge's abort event. Each charge gives the log
// texts of its own request.
//
// Threads: runs on the charge's worker thread; the abort event is set by the
// main thread. The client is built on the calling thread, so its run event
// is that thread's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OvWindows.h"

// The log texts of one request. The first, second and last are followed
// by "[ERR:0x%08X]" or "[nResponse:0x%08X]", the wait failure by
// " ERR:0x%08X".
struct InfoTransferTexts {
  const char* open_failed;     // the client cannot take the URL
  const char* connect_failed;  // the request cannot be opened or started
  const char* aborted_early;   // abort before sending (mark "..")
  const char* aborted;         // abort while waiting
  const char* wait_failed;
  const char* http_failed;
};

struct InfoTransfer {
  std::string url;
  int verb = 0;           // HttpVerb
  std::string form_body;  // POST only
  std::wstring user;      // GET only; empty: none
  std::wstring password;
  HANDLE abort_event = nullptr;  // not owned
  char drive = 0;                // the card whose unit names the user agent
  const InfoTransferTexts* texts = nullptr;
};

// Codes of the information charges' transfers.
constexpr uint32_t kInfoConnectFlag = 0x100000;  // OR a system error or an HTTP result
constexpr uint32_t kInfoWaitFailed = 0xFFFF;

// 0 with the reply, 0xFF00 aborted, 0xFFFF wait failure, or kInfoConnectFlag
// OR the system error (set-up) or the HTTP result with bit 28 cleared. On a
// failure of the transfer itself, *http_result holds the client's result.
uint32_t RunInfoTransfer(const InfoTransfer& transfer, std::vector<char>* reply,
                         DWORD* http_result);

// The user agent of the unit on that card.
std::wstring InfoUserAgent(char drive);

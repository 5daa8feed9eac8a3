// The map charge's completion notices: the stored download notices go to
// the server per unit and CCID, at most 100 in one request; the file keeps
// every notice until the server took it, and those it does not take stay
// for the next run. The charge owns one and drives it through SendStored();
// tests reach it the same way.
// Its log lines name the charge's step (CMapCharge::_EndNotify), as they
// always have.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CompleteNotifyFile.h"
#include "HttpExchange.h"

class CWinHttpWrapper;

class CMapNotices final {
 public:
  // What the notices take from the charge that sends them. error_code is
  // the charge's own (not owned).
  struct Context {
    std::function<bool()> is_aborted;
    // Sends one form POST and waits for it or for the charge's abort.
    std::function<void(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                       HttpExchange* exchange)>
        post_form;
    uint32_t* error_code = nullptr;
  };

  explicit CMapNotices(Context context) : _context(std::move(context)) {}
  ~CMapNotices() = default;
  CMapNotices(const CMapNotices&) = delete;
  CMapNotices& operator=(const CMapNotices&) = delete;

  // Sends every stored notice; false when one could not be had or sent.
  bool SendStored();
  // The notices of one unit and CCID, in requests of at most 100; those
  // the server did not take are added to unsent.
  bool Send(uint32_t ccid, const std::string& device_no,
            const std::vector<CompleteNotifyRecord>& notices,
            std::vector<CompleteNotifyRecord>* unsent);

 private:
  // One request; false when the server did not take it.
  bool SendRequest(uint32_t ccid, const std::string& device_no,
                   const std::vector<CompleteNotifyRecord>& notices);

  Context _context;
};

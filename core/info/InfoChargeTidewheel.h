// CInfoChargeTidewheel: the probe-traffic information charge (kind 4). It
// obtains one-time credentials from the probe server (kept in the shared
// data store for the following runs of the core), asks the traffic server
// for the information around the unit, writes the reply's data and the time
// of fetching onto the card for the unit, and raises the traffic record of
// the card's link file. The charge manager repeats it every twenty minutes.
//
// Threads: built, started and deleted on the main thread; everything else
// runs on the charge's worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Charge.h"
#include "CoreConnectionParameterData.h"
#include "info/InfoTransfer.h"

class CInfoChargeTidewheel final : public CCharge {
 public:
  // The one-time credentials, also the bytes kept under the data store's key.
  struct Credentials {
    char ccid[17];      // 16 characters and a NUL
    char password[11];  // 8 characters, a NUL and two bytes of padding
    uint32_t result;    // the probe-send result or the reply value of the password request
    SYSTEMTIME acquired;
  };

  static constexpr uint32_t kResultProbeSendOff = 257;
  static constexpr uint32_t kDataIdTrafficMap = 0x30020001;

  CInfoChargeTidewheel();
  ~CInfoChargeTidewheel() override;

  uint32_t _CheckProbeSendSetting();
  uint32_t GetOneTimePassword();
  uint32_t TidewheelRequest();
  // The reply's type and, for an error reply, its number.
  uint32_t CheckServerResponse(uint32_t size, const uint8_t* reply);
  // The data part of a reply of type 0x4F; the oversize trailer's mark is
  // cleared in place. Nothing outside the reply is ever given as data.
  uint32_t CheckTrafficData(uint8_t* reply, uint32_t size, uint8_t** data, uint32_t* length);
  uint32_t AcquisitiondatePreservation();
  // Takes a one-time-password reply into the credentials and the store.
  uint32_t TakeOneTimePasswordReply(const std::string& reply);

  const Credentials& GetCredentials() const { return _credentials; }
  DWORD GetDetail() const { return _detail; }
  // Tests give the local time of their own.
  void SetClock(std::function<SYSTEMTIME()> clock) { _clock = std::move(clock); }

 protected:
  uint32_t _Proc() override;

 private:
  uint32_t Fail(uint32_t code, LPARAM detail);
  // Builds the form of the connection from the parameters (none: they
  // could not be set) and posts it.
  uint32_t PostForm(int connection, const core::ConnectionParameterData* parameters,
                    const char* no_body_text, const InfoTransferTexts& texts,
                    std::vector<char>* reply);
  uint32_t WriteTrafficData(const uint8_t* data, uint32_t length);
  void ClearCredentials();
  SYSTEMTIME Now() const;
  std::string CardPath(const char* path) const;

  Credentials _credentials;
  DWORD _detail = 0;
  std::function<SYSTEMTIME()> _clock;
};

static_assert(sizeof(CInfoChargeTidewheel::Credentials) == 48, "kept as 48 bytes");
static_assert(offsetof(CInfoChargeTidewheel::Credentials, result) == 28, "result word at 28");
static_assert(offsetof(CInfoChargeTidewheel::Credentials, acquired) == 32, "time at 32");

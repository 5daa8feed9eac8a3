// CInfoChargeWeather: the weather information charge (kind 8). It fetches
// the weather service's management file "all.man" and the data file that
// it names, both with digest authentication, writes them onto the card in
// the fixed sizes the unit reads, and raises the weather record of the
// card's link file.
//
// Threads: built, started and deleted on the main thread; everything else
// runs on the charge's worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Charge.h"

// Clears both 64-byte buffers and copies the service's user name and
// password into them; false when a buffer is missing.
bool SetWeatherDigestCredential(char* user, char* password);

class CInfoChargeWeather final : public CCharge {
 public:
  static constexpr size_t kInfoSize = 537;
  static constexpr size_t kDataSize = 30800;
  static constexpr size_t kDataPartSize = 29216;  // the reply's part; the fill pattern follows
  static constexpr size_t kNameOffset = 524;      // the data file's name in the management file
  static constexpr size_t kCredentialSize = 64;

  // WritingWeatherData's choice.
  static constexpr int kWriteData = 0;
  static constexpr int kWriteInfo = 1;

  CInfoChargeWeather();
  ~CInfoChargeWeather() override;

  uint32_t GetWtInfo();
  uint32_t GetWtData();
  uint32_t WritingWeatherData(int which);

  // The data file's name from the management buffer; empty unless it is a
  // plain file name that can go into the URL as it is.
  std::string GetDataFileName() const;
  const uint8_t* GetInfoBuffer() const { return _info; }
  const uint8_t* GetDataBuffer() const { return _data; }
  DWORD GetDetail() const { return _detail; }

 protected:
  uint32_t _Proc() override;

 private:
  uint32_t Fetch(bool info, std::vector<char>* reply);
  uint32_t Fail(uint32_t code);

  uint8_t _info[kInfoSize];
  uint8_t _data[kDataSize];
  DWORD _detail = 0;
};

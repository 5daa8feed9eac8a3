// The map charge's line-speed test: the test file's address, two timed
// downloads of it, the report of the speed and the server's threshold. The
// charge owns one and drives it through Run(); tests reach the single
// exchanges and the reply readers. Its log lines name the charge's steps
// (CMapCharge::_SpeedTest, ...), as they always have: logs are read by them.
//
// Threads: used on the charge's worker only (or a test's thread in its
// place); the charge's state it names in its context is the worker's too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HttpExchange.h"
#include "OvWindows.h"

class CWinHttpWrapper;
namespace core {
class COstrovelleConfig;
}  // namespace core

// Modes of one server exchange of the line-speed test.
enum SpeedExchangeMode : uint32_t {
  kSpeedModeMeasure = 0x10000,  // time the download of the test file
  kSpeedModeAddress = 0x70000,  // the test file's address
  kSpeedModeReport = 0x80000,   // report the measured speed
  kSpeedModeLimit = 0x90000,    // the server's threshold
};

class CMapSpeedTest final {
 public:
  // What the test takes from the charge that runs it. The pointers name the
  // charge's own members (not owned): the unit's identity as _Init read it,
  // the settings, and the error code and line speed the run goes on with.
  struct Context {
    std::function<bool()> card_present;
    // Sends one form POST and waits for it or for the charge's abort.
    std::function<void(CWinHttpWrapper& http, const std::string& url, const std::string& body,
                       HttpExchange* exchange)>
        post_form;
    std::function<DWORD()> tick;
    core::COstrovelleConfig* config = nullptr;
    const uint32_t* ccid_head = nullptr;
    const std::string* device_no = nullptr;
    uint32_t* error_code = nullptr;
    uint32_t* line_speed = nullptr;
  };

  explicit CMapSpeedTest(Context context) : _context(std::move(context)) {}
  ~CMapSpeedTest() = default;
  CMapSpeedTest(const CMapSpeedTest&) = delete;
  CMapSpeedTest& operator=(const CMapSpeedTest&) = delete;

  // True when the line speed is known, non-zero and not below the server's
  // threshold; false with the error code set otherwise.
  bool Run();
  // One server exchange of the test. value: in for the address request
  // (the current speed) and the report; out for the measurement and the
  // threshold.
  bool MeasurementSpeedOfLine(uint32_t mode, std::string* address, uint32_t* value);

  // Replies: 0 success, 1 empty or without the value, server code OR
  // 0x10000000 for a refusal. The replies carry no NUL; sizes are explicit.
  static uint32_t AnalyzeSpeedTestUri(std::string* address, size_t size, const char* reply);
  static uint32_t AnalyzeThreshold(const char* reply, size_t size, uint32_t* threshold);
  static uint32_t AnalyzeSpeedReport(const char* reply, size_t size);

 private:
  bool RunSteps();
  bool MeasurementSteps(uint32_t mode, std::string* address, uint32_t* value);
  bool BuildRequest(uint32_t mode, uint32_t value, std::string* url, std::string* body);
  // The speed of a file of size bytes that took from start until now.
  void FinishMeasurement(size_t size, DWORD start, uint32_t* speed);
  bool AnalyzeReply(uint32_t mode, const std::vector<char>& reply, std::string* address,
                    uint32_t* value);
  void SaveSpeedOfLine(uint32_t speed);

  uint32_t& ErrorCode() { return *_context.error_code; }
  uint32_t& LineSpeed() { return *_context.line_speed; }

  Context _context;
};

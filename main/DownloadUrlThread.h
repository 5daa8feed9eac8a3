// CDownloadUrlThread: the launcher's question to the service for the page
// where the newest program can be downloaded (connection id 5). It runs on a
// thread of its own, keeps the reply's "URL" value and posts its result to
// the window it was given: message (0, result), 0 for success, else the
// result code of the failure (kUrl* below).
//
// One question at a time: Start refuses while one runs. The owner reads
// Url() after the result came (the thread has then ended) and calls Join;
// Stop aborts a running question and waits for its thread (the window's
// destruction). The object belongs to the owner's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Handle.h"
#include "OvWindows.h"

namespace ui {

// The results the thread posts.
constexpr uint32_t kUrlOk = 0;
constexpr uint32_t kUrlNoRequestData = 0xFF05;
constexpr uint32_t kUrlHttpFailed = 0x10FF04;
constexpr uint32_t kUrlNoUserAgent = 0x40FF07;
constexpr uint32_t kUrlWaitFailed = 0x40FFFF;
constexpr uint32_t kUrlTransferError = 0x100000;  // + the transfer error
constexpr uint32_t kUrlServerError = 0x200000;    // | the analyser's error

class CDownloadUrlThread final {
 public:
  CDownloadUrlThread();
  ~CDownloadUrlThread();
  CDownloadUrlThread(const CDownloadUrlThread&) = delete;
  CDownloadUrlThread& operator=(const CDownloadUrlThread&) = delete;

  // Starts the question for the card (0: the last user's user agent); the
  // result is posted to `window` as `message`. False while one runs or
  // when the thread cannot start.
  bool Start(HWND window, UINT message, char drive);
  bool IsRunning() const { return static_cast<bool>(_thread); }
  // Waits for the thread after its result came; the URL stays.
  void Join();
  // Aborts a running question and waits for its thread.
  void Stop();
  // The reply's URL; empty until a question succeeded.
  const std::string& Url() const;

 private:
  class CJob;
  std::unique_ptr<CJob> _job;
  CHandle _stop_event;
  CHandle _thread;
};

}  // namespace ui

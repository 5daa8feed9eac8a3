// One worker thread of the manual window: a first-in-first-out queue of
// requests, run one after another, each result posted to the window as
// OVEVMusicManual (wParam the result kind, lParam the request; wParam 10
// carries a percentage).
//
// Threads: the owner (the window's thread) constructs the worker, starts it,
// queues requests, aborts it and destroys it; the worker thread takes the
// requests. The queue is guarded by the worker's lock, held only to append,
// take or delete. The abort event is sticky: once set it stays set until the
// owner starts a fresh thread, so every test of it (the thread loop, the
// library's abort test, the copy's progress routine) sees it. Results leave
// the worker only as posted messages.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "Handle.h"
#include "OvWindows.h"
#include "Threads.h"

class CMusicFileThreadRequest;

constexpr char kMsgMusicManual[] = "OVEVMusicManual";
// wParam of OVEVMusicManual that carries a percentage (0 when a copy or a
// deletion starts).
constexpr WPARAM kMusicManualProgress = 10;

class CMusicFileThread {
 public:
  // name: "MusicFile", "PCFileList" or "SDFileList".
  explicit CMusicFileThread(const std::string& name);
  // Aborts the thread (1000 ms) and then waits for it as long as it takes:
  // nothing it uses is freed before it has ended.
  virtual ~CMusicFileThread();
  CMusicFileThread(const CMusicFileThread&) = delete;
  CMusicFileThread& operator=(const CMusicFileThread&) = delete;

  // True when a thread runs; otherwise starts a fresh one (the abort event
  // cleared). A thread that ended, or that was aborted and is still ending,
  // is collected first.
  virtual bool Start();
  // Stops the thread: sets the abort event, waits up to timeout_ms and
  // deletes every waiting request. False when there was no thread.
  virtual bool Abort(DWORD timeout_ms);

  // Appends the request and wakes the thread; the worker owns it from now on.
  void Enqueue(std::unique_ptr<CMusicFileThreadRequest> request);

  void SetTargetWindow(HWND window) { _target.store(window); }
  HWND TargetWindow() const { return _target.load(); }
  const std::string& Name() const { return _name; }
  UINT ManualMessage() const { return _message; }

  // Whether the abort event is set; it is not consumed.
  bool IsAborting() const;
  HANDLE AbortEvent() const { return _abort_event.Get(); }
  // Whether a thread exists that has not ended.
  bool IsRunning() const;
  size_t QueuedCount();

  // Posts a percentage of the running job.
  void PostProgress(int percent) const;
  // Hands the request to the target window; when the post fails the request
  // is deleted here. False then.
  bool PostResult(std::unique_ptr<CMusicFileThreadRequest> request) const;

 private:
  static unsigned __stdcall ThreadProc(void* self);
  unsigned Run();
  std::unique_ptr<CMusicFileThreadRequest> Take();
  void DeleteQueued();
  bool CreateEvents();

  const std::string _name;
  const UINT _message;
  std::atomic<HWND> _target{nullptr};  // not owned
  CHandle _thread;                     // owner's thread only
  unsigned _thread_id = 0;             // owner's thread only
  CHandle _request_event;              // manual-reset: set while the queue holds requests
  CHandle _abort_event;                // manual-reset: sticky until the next Start
  lib::wfc::CCriticalSection _lock;
  std::deque<std::unique_ptr<CMusicFileThreadRequest>> _queue;  // guarded by _lock
};

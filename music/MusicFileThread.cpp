// The manual window's worker threads; see MusicFileThread.h.
#include "MusicFileThread.h"

#include <process.h>

#include "Log.h"
#include "MusicFileThreadRequest.h"
#include "_WindowPolicy.h"

namespace {

// How long Start waits for an aborted thread that has not ended yet.
constexpr DWORD kEndingThreadWaitMs = 5000;
constexpr DWORD kDestructorAbortMs = 1000;

}  // namespace

CMusicFileThread::CMusicFileThread(const std::string& name)
    : _name(name), _message(RegisterWindowMessageA(kMsgMusicManual)) {}

CMusicFileThread::~CMusicFileThread() {
  if (_thread) Abort(kDestructorAbortMs);
  if (_thread) {
    // The thread still uses this object: wait for it, however long it takes.
    const DWORD start = GetTickCount();
    WaitForSingleObject(_thread.Get(), INFINITE);
    OV_LOG(kLogInfo, "スレッド終了待ち[%s][%lu ms]", _name.c_str(),
           static_cast<unsigned long>(GetTickCount() - start + kDestructorAbortMs));
    _thread.Reset();
  }
  DeleteQueued();
}

bool CMusicFileThread::CreateEvents() {
  // Unnamed: nobody outside this process waits on them, and named ones
  // would be shared by every instance of the program on the desktop.
  if (!_request_event) _request_event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!_abort_event) _abort_event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return _request_event && _abort_event;
}

bool CMusicFileThread::IsRunning() const {
  return _thread && WaitForSingleObject(_thread.Get(), 0) == WAIT_TIMEOUT;
}

bool CMusicFileThread::IsAborting() const {
  return _abort_event && WaitForSingleObject(_abort_event.Get(), 0) == WAIT_OBJECT_0;
}

bool CMusicFileThread::Start() {
  if (_thread) {
    if (IsRunning() && !IsAborting()) return true;
    // An aborted thread may still be on its way out; the abort event can be
    // cleared only once it has gone.
    if (WaitForSingleObject(_thread.Get(), kEndingThreadWaitMs) == WAIT_TIMEOUT) {
      OV_LOG(kLogError, "処理スレッド開始失敗 ERR:0x%08X.", static_cast<unsigned>(WAIT_TIMEOUT));
      return false;
    }
    _thread.Reset();
    _thread_id = 0;
  }
  if (!CreateEvents()) {
    OV_LOG(kLogError, "処理スレッド開始失敗 ERR:0x%08X.", static_cast<unsigned>(GetLastError()));
    return false;
  }
  ResetEvent(_abort_event.Get());
  {
    lib::wfc::CLock lock(&_lock);
    // Requests left by a thread that ended are taken by the new one.
    if (_queue.empty()) {
      ResetEvent(_request_event.Get());
    } else {
      SetEvent(_request_event.Get());
    }
  }
  unsigned id = 0;
  const uintptr_t thread = _beginthreadex(nullptr, 0, &ThreadProc, this, 0, &id);
  if (!thread) {
    OV_LOG(kLogError, "処理スレッド開始失敗 ERR:0x%08X.", static_cast<unsigned>(GetLastError()));
    return false;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  _thread_id = id;
  OV_LOG(kLogInfo, "処理スレッドを開始しました。");
  return true;
}

bool CMusicFileThread::Abort(DWORD timeout_ms) {
  if (!_thread) {
    OV_LOG(kLogError, "処理中断時のスレッドなし.");
    DeleteQueued();
    return false;
  }
  SetEvent(_abort_event.Get());
  SetEvent(_request_event.Get());
  if (WaitForSingleObject(_thread.Get(), timeout_ms) == WAIT_OBJECT_0) {
    _thread.Reset();
    _thread_id = 0;
  } else {
    OV_LOG(kLogError, "スレッド終了待ちタイムアウト[%s]", _name.c_str());
  }
  OV_LOG(kLogInfo, "スレッド処理を中断しました.");
  DeleteQueued();
  return true;
}

void CMusicFileThread::Enqueue(std::unique_ptr<CMusicFileThreadRequest> request) {
  if (!request) return;
  lib::wfc::CLock lock(&_lock);
  _queue.push_back(std::move(request));
  if (_request_event) SetEvent(_request_event.Get());
}

size_t CMusicFileThread::QueuedCount() {
  lib::wfc::CLock lock(&_lock);
  return _queue.size();
}

void CMusicFileThread::DeleteQueued() {
  std::deque<std::unique_ptr<CMusicFileThreadRequest>> dropped;
  {
    lib::wfc::CLock lock(&_lock);
    dropped.swap(_queue);
  }
  for (const auto& request : dropped) {
    OV_LOG(kLogInfo, "処理待ちリクエストを削除します.[%d]", static_cast<int>(request->kind));
  }
}

std::unique_ptr<CMusicFileThreadRequest> CMusicFileThread::Take() {
  lib::wfc::CLock lock(&_lock);
  std::unique_ptr<CMusicFileThreadRequest> request;
  if (!_queue.empty()) {
    request = std::move(_queue.front());
    _queue.pop_front();
  }
  if (_queue.empty()) ResetEvent(_request_event.Get());
  return request;
}

void CMusicFileThread::PostProgress(int percent) const {
  const HWND target = TargetWindow();
  if (target) PostMessageA(target, _message, kMusicManualProgress, static_cast<LPARAM>(percent));
}

bool CMusicFileThread::PostResult(std::unique_ptr<CMusicFileThreadRequest> request) const {
  if (!request) return false;
  const WPARAM kind = request->kind;
  const HWND target = TargetWindow();
  request->SetPosted(true);
  // A null window would post to this thread's own queue, where nobody reads.
  if (target && PostMessageA(target, _message, kind, reinterpret_cast<LPARAM>(request.get()))) {
    request.release();  // the window owns it now
    return true;
  }
  OV_LOG(kLogError, "応答送信失敗[%d] ERR:0x%08X", static_cast<int>(kind),
         static_cast<unsigned>(GetLastError()));
  request->SetPosted(false);
  return false;
}

unsigned __stdcall CMusicFileThread::ThreadProc(void* self) {
  try {
    return static_cast<CMusicFileThread*>(self)->Run();
  } catch (...) {
    lib::wfc::LogEscapedException("music worker");
    return static_cast<unsigned>(-1);
  }
}

unsigned CMusicFileThread::Run() {
  for (;;) {
    const HANDLE events[2] = {_abort_event.Get(), _request_event.Get()};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_FAILED) return 1;
    if (IsAborting()) return 0;
    std::unique_ptr<CMusicFileThreadRequest> request = Take();
    if (!request) continue;
    if (!request->Execute(this)) return 0;
    PostResult(std::move(request));
  }
}

// The step every caller of the HTTP client shares once a transfer has
// started: wait for its end or for the caller's abort, and stop the
// transfer unless it ended by itself. Callers keep their own log texts and
// codes; this only says how the wait ended.
//
// Threads: runs on the thread that started the transfer; the abort events
// (not owned) are set by other threads.
#pragma once

#include <initializer_list>

#include "OvWindows.h"
#include "WinHttpWrapper.h"

enum class TransferEnd {
  kDone,     // the worker ended; the client's result and reply are ready
  kAborted,  // the abort event came first; the transfer has been stopped
  kFailed,   // no transfer or the wait failed; stopped, *error says why
};

// transfer: the worker handle Upload, UploadMultiPart or Download returned
// (null counts as a failed wait with the error the start left). aborts: the
// events any of which ends the wait as an abort (a window's cancel and its
// owner's stop, say); null ones are passed over, so none waits for the
// transfer alone. stop_ms: the stop's wait for the worker.
TransferEnd WaitOrStop(CWinHttpWrapper& client, HANDLE transfer,
                       std::initializer_list<HANDLE> aborts, DWORD stop_ms, DWORD* error);
// The same with one abort event (null: the transfer alone).
TransferEnd WaitOrStop(CWinHttpWrapper& client, HANDLE transfer, HANDLE abort, DWORD stop_ms,
                       DWORD* error);

// How one exchange with a server ended, from preparing the client to the
// worker's result.
struct HttpExchange {
  enum Stage { kPrepareFailed, kOpenFailed, kAborted, kWaitFailed, kDone };
  Stage stage = kWaitFailed;
  DWORD error = 0;   // the platform error of a failed step
  DWORD result = 0;  // the client's result once done
};

// WaitOrStop as an exchange's last stage.
void WaitForExchange(CWinHttpWrapper& client, HANDLE transfer, HANDLE abort, DWORD stop_ms,
                     HttpExchange* exchange);

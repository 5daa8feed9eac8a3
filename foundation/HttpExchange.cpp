// Waiting for a transfer or the abort; see HttpExchange.h.
#include "HttpExchange.h"

TransferEnd WaitOrStop(CWinHttpWrapper& client, HANDLE transfer,
                       std::initializer_list<HANDLE> aborts, DWORD stop_ms, DWORD* error) {
  *error = 0;
  if (!transfer) {
    *error = GetLastError();
    client.Stop(stop_ms);
    return TransferEnd::kFailed;
  }
  HANDLE handles[MAXIMUM_WAIT_OBJECTS] = {transfer};
  DWORD count = 1;
  for (const HANDLE abort : aborts) {
    if (!abort) continue;
    if (count == MAXIMUM_WAIT_OBJECTS) {
      *error = ERROR_INVALID_PARAMETER;
      client.Stop(stop_ms);
      return TransferEnd::kFailed;
    }
    handles[count++] = abort;
  }
  const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return TransferEnd::kDone;
  if (waited > WAIT_OBJECT_0 && waited < WAIT_OBJECT_0 + count) {
    client.Stop(stop_ms);
    return TransferEnd::kAborted;
  }
  *error = GetLastError();
  client.Stop(stop_ms);
  return TransferEnd::kFailed;
}

TransferEnd WaitOrStop(CWinHttpWrapper& client, HANDLE transfer, HANDLE abort, DWORD stop_ms,
                       DWORD* error) {
  return WaitOrStop(client, transfer, {abort}, stop_ms, error);
}

void WaitForExchange(CWinHttpWrapper& client, HANDLE transfer, HANDLE abort, DWORD stop_ms,
                     HttpExchange* exchange) {
  DWORD error = 0;
  switch (WaitOrStop(client, transfer, abort, stop_ms, &error)) {
    case TransferEnd::kDone:
      exchange->stage = HttpExchange::kDone;
      exchange->result = client.GetResult();
      return;
    case TransferEnd::kAborted:
      exchange->stage = HttpExchange::kAborted;
      return;
    case TransferEnd::kFailed:
      exchange->stage = HttpExchange::kWaitFailed;
      exchange->error = error;
      return;
  }
}

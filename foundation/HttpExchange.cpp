// Waiting for a transfer or the abort; see HttpExchange.h.
#include "HttpExchange.h"

TransferEnd WaitOrStop(CWinHttpWrapper& client, HANDLE transfer, HANDLE abort, DWORD stop_ms,
                       DWORD* error) {
  *error = 0;
  if (!transfer) {
    *error = GetLastError();
    client.Stop(stop_ms);
    return TransferEnd::kFailed;
  }
  const HANDLE handles[2] = {transfer, abort};
  const DWORD count = abort ? 2 : 1;
  const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return TransferEnd::kDone;
  if (count == 2 && waited == WAIT_OBJECT_0 + 1) {
    client.Stop(stop_ms);
    return TransferEnd::kAborted;
  }
  *error = GetLastError();
  client.Stop(stop_ms);
  return TransferEnd::kFailed;
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

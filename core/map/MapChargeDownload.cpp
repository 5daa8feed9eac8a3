// The map charge's download step and the bookkeeping the download asks of
// the charge. Runs on the charge's worker; see MapCharge.h.
#include "Log.h"
#include "map/DownloadDataFromList.h"
#include "map/MapCharge.h"

bool CMapCharge::IsAbortSet() const {
  const HANDLE abort = GetAbortEvent();
  return abort && WaitForSingleObject(abort, 0) != WAIT_TIMEOUT;
}

void CMapCharge::SetDownloadPlan(const CDownloadList& records,
                                 const std::vector<core::ConnectionParameterData>& parameters) {
  _download_list = records;
  _download_parameters = parameters;
}

void CMapCharge::ReplaceProgressDLFileSize(uint64_t old_size, uint64_t new_size) {
  OV_LOG(kLogInfo, "CMapCharge::ReplaceProgressDLFileSize - OLD:TotalSize = %lld ",
         static_cast<long long>(_download_total));
  _download_total = _download_total > old_size ? _download_total - old_size + new_size : new_size;
  OV_LOG(kLogInfo, "CMapCharge::ReplaceProgressDLFileSize - NEW:TotalSize = %lld",
         static_cast<long long>(_download_total));
}

bool CMapCharge::_StartDownloadData() {
  CDownloadDataFromList download(_retry_interval, _retry_max);
  OV_LOG(kLogTrace, "CMapCharge::_StartDownloadData - Start");
  const int done = download.StartDownload(*this, &_download_list, &_download_parameters);
  // A download that did not finish is no success, whatever code it left.
  if (done != 1 && _error_code == 0) _error_code = CDownloadDataFromList::kConfUnusable;
  const bool result = done == 1;
  if (!result) OV_LOG(kLogError, "CMapCharge::_StartDownloadData - データダウンロード失敗");
  OV_LOG(kLogTrace, "CMapCharge::_StartDownloadData - End(%d)", result ? 1 : 0);
  return result;
}

// TEMPORARY: stands in for the data download and the transfer to the card
// until their classes join this branch; deleted then. Nothing is fetched
// and nothing is copied.
#include "Log.h"
#include "map/MapCharge.h"

bool CMapCharge::_StartDownloadData() {
  OV_LOG(kLogError, "CMapCharge::_StartDownloadData - pending");
  return true;
}

bool CMapCharge::_StartTransmit() {
  OV_LOG(kLogError, "CMapCharge::_StartTransmit - pending");
  return true;
}

uint32_t CMapCharge::_TransferSizeOf(const CDownloadListData& record, uint64_t* size) {
  if (_transfer_size) return _transfer_size(record, size);
  return 0x240;
}

// The launcher's map-download request; see MapDownloadRequest.h.
#include "MapDownloadRequest.h"

#include "Log.h"

bool StartMapDownloadCharges(HWND launcher, char drive, CoreStarter start) {
  OV_LOG(kLogInfo, "マップ再要求");
  if (drive == 0) {
    OV_LOG(kLogError, "マップ再要求時のSDカード無し(チャージ実行無し)");
    return false;
  }
  return start(launcher, drive, kMapDownloadKinds);
}

// A small console program: prints the data folders and writes a log line.
// tools/run starts it until the system's own programs are there.
#include "Folders.h"
#include "Log.h"
#include "Version.h"

#include <cstdio>

int main() {
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  if (!IsSupportedOS()) return 1;
  printf("data root:       %s\n", GetAppDataRoot().c_str());
  printf("setting folder:  %s\n", GetSettingFolder().c_str());
  printf("log folder:      %s\n", GetLogFolder().c_str());
  printf("download folder: %s\n", GetDownloadFolder().c_str());
  printf("version:         %s\n", GetProductVersionText().c_str());
  OV_LOG(kLogInfo, "OvDemo - Start OSType:%d", GetOSType());
  CBroxLogWrapper(__FILE__, __LINE__).End();
  return 0;
}

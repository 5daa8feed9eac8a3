// The system's drives as the launcher sees them; see LauncherCardScan.h.
#include "LauncherCardScan.h"

#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "VolumeEject.h"

void CLauncherCardScan::FindCards(std::vector<char>& cards, DWORD* last_error) {
  SetLastError(0);
  FindDiruSDCards(cards);
  if (last_error) *last_error = cards.empty() ? GetLastError() : 0;
}

bool CLauncherCardScan::IsWritable(char drive) { return CheckDriveWritable(drive); }

LauncherCard CLauncherCardScan::ReadCard(char drive) {
  LauncherCard card;
  const CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  if (!link.IsLoaded()) return card;
  card.link_read = true;
  card.device_no = link.GetDeviceNo();
  card.model = link.GetModel();
  return card;
}

bool CLauncherCardScan::IsRegistered(const std::string& device_no) {
  CUserListFile users;
  return users.Load() && users.Exists(device_no);
}

uint64_t CLauncherCardScan::FreeSpace(char drive) { return GetDriveFreeSpace(drive); }

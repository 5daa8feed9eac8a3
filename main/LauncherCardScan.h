// What the launcher asks of the drives when it looks for the unit's card:
// which drives hold a card (and why none, when a drive was not ready),
// whether a card can be written, its link file's device and model, whether
// its user is registered here and its free space. Blocking calls for the
// launcher's thread.
//
// Replaceable as a whole: the system here never reports a drive that is
// not ready, so tests drive the launcher's retries and its card changes
// through a scan of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OvWindows.h"

struct LauncherCard {
  bool link_read = false;  // the link file could be read
  std::string device_no;
  uint8_t model = 0;
};

class CLauncherCardScan {
 public:
  virtual ~CLauncherCardScan() = default;
  // Fills `cards` with the unit's cards in drive order; *last_error takes
  // the error of the last drive that could not be read (0 when none).
  virtual void FindCards(std::vector<char>& cards, DWORD* last_error);
  virtual bool IsWritable(char drive);
  virtual LauncherCard ReadCard(char drive);
  virtual bool IsRegistered(const std::string& device_no);
  virtual uint64_t FreeSpace(char drive);
};

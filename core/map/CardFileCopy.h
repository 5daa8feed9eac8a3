// Files the map charge puts on the card go there whole or not at all: the
// new version is written under a temporary name beside the file (its name
// and ".new") and takes the old one's place only once it is complete. A
// copy that fails (a full card, a card pulled out) removes its temporary
// file and leaves the old version whole under its own name, so the unit
// never meets a cut file.
//
// Free functions; they run on the caller's thread with the caller's
// retrying file holder (one per thread), whose abort event cuts the retry
// pauses short.
#pragma once

#include <string>

class CWinFileSystemLib;

// The temporary name a new version of `target` is written under.
std::string CardTempPathOf(const std::string& target);

// Puts the finished temporary file in the place of `target` (replacing an
// old version); on failure the temporary file is removed and the holder
// keeps the platform error.
bool PutCardFileInPlace(CWinFileSystemLib& files, const std::string& temp,
                        const std::string& target);

// Copies `source` over `target` through the temporary name; false with the
// holder's platform error and no temporary file left behind.
bool CopyFileOntoCard(CWinFileSystemLib& files, const std::string& source,
                      const std::string& target);

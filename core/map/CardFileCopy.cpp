// Whole-or-nothing copies onto the card; see CardFileCopy.h.
#include "map/CardFileCopy.h"

#include "OvWindows.h"
#include "WinFileSystemLib.h"

namespace {

// Removes what is left of a failed copy without losing the error that
// failed it.
void RemoveTemp(CWinFileSystemLib& files, const std::string& temp) {
  const DWORD error = GetLastError();
  files.DeleteFile_Recover(temp.c_str());
  SetLastError(error);
}

}  // namespace

std::string CardTempPathOf(const std::string& target) { return target + ".new"; }

bool PutCardFileInPlace(CWinFileSystemLib& files, const std::string& temp,
                        const std::string& target) {
  if (files.MoveFileEx_Recover(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  RemoveTemp(files, temp);
  return false;
}

bool CopyFileOntoCard(CWinFileSystemLib& files, const std::string& source,
                      const std::string& target) {
  const std::string temp = CardTempPathOf(target);
  // A leftover of an interrupted copy is replaced, not appended to.
  files.DeleteFile_Recover(temp.c_str());
  if (!files.CopyFile_Recover(source.c_str(), temp.c_str(), FALSE)) {
    RemoveTemp(files, temp);
    return false;
  }
  return PutCardFileInPlace(files, temp, target);
}

// The CRC-16 of a file; see FileCrc16.h.
#include "map/FileCrc16.h"

#include <memory>
#include <new>

#include "Handle.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "WinFileSystemLib.h"

FileCrc16 SumFileCrc16(CWinFileSystemLib& files, const std::string& path, DWORD chunk) {
  FileCrc16 out;
  CFileHandle file =
      files.CreateFile_Recover(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (!file) {
    out.error = files.LastError();
    return out;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size)) {
    out.status = FileCrc16::kReadFailed;
    out.error = GetLastError();
    return out;
  }
  out.size = static_cast<uint64_t>(size.QuadPart);
  // One byte more than a read, as the readers of the image have it.
  const uint64_t want = out.size < chunk ? out.size : chunk;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[want + 1]);
  if (!buffer) {
    out.status = FileCrc16::kNoMemory;
    out.error = ERROR_NOT_ENOUGH_MEMORY;
    return out;
  }
  NPCrcCalc crc;
  out.status = FileCrc16::kSummed;
  while (out.done < out.size) {
    const uint64_t left = out.size - out.done;
    const DWORD part = static_cast<DWORD>(left < want ? left : want);
    DWORD read = 0;
    if (!files.ReadFile_Recover(file.Get(), buffer.get(), part, &read, nullptr) || read != part) {
      out.status = FileCrc16::kReadFailed;
      out.error = read != part && files.LastError() == 0 ? ERROR_HANDLE_EOF : files.LastError();
      crc.Update(buffer.get(), read);
      out.done += read;
      break;
    }
    crc.Update(buffer.get(), read);
    out.done += read;
  }
  out.crc = crc.GetCrc();
  return out;
}

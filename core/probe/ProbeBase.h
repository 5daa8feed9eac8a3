// The front of the probe readers that the probe charge uses: it holds the
// trip-file reader for units of type 1 and the archived-zone reader for
// every other type, and forwards to the one it holds.
// Thread contract: see ProbeReader.h.
#pragma once

#include <memory>

#include "ProbeFile.h"
#include "ProbeZone.h"

class CProbeBase final {
 public:
  CProbeBase(char drive, DWORD unit_type, HANDLE abort_event = nullptr);
  ~CProbeBase();
  CProbeBase(const CProbeBase&) = delete;
  CProbeBase& operator=(const CProbeBase&) = delete;

  // See CProbeFile::MakeSendFile; 258 when no reader could be made.
  DWORD MakeSendFile(BYTE* skip, const char* send_path, const char* source_path);
  ProbeDiscrimination GetProbeDiscrimination() const;
  uint64_t GetSrcFileSize() const;
  DWORD _ClearTemporaryFile();
  DWORD GetLastError() const;

 private:
  // The reader, or null (logged under `caller`).
  CProbeReader* Reader(const char* caller) const;

  DWORD _unit_type;
  std::unique_ptr<CProbeReader> _reader;  // a CProbeFile for type 1, else a CProbeZone
};

// The probe readers' front; see ProbeBase.h.
#include "ProbeBase.h"

#include <new>

#include "Log.h"

CProbeBase::CProbeBase(char drive, DWORD unit_type, HANDLE abort_event) : _unit_type(unit_type) {
  try {
    if (unit_type == 1) {
      _reader = std::make_unique<CProbeFile>(drive, abort_event);
    } else {
      _reader = std::make_unique<CProbeZone>(drive, abort_event);
    }
  } catch (const std::bad_alloc&) {
    // Reported by each call through the missing reader.
  }
}

CProbeBase::~CProbeBase() = default;

CProbeReader* CProbeBase::Reader(const char* caller) const {
  if (!_reader) {
    OV_LOG(kLogError, "CProbeBase::%s - %s is NULL", caller,
           _unit_type == 1 ? "m_pProbeFile" : "m_pProbeZone");
  }
  return _reader.get();
}

DWORD CProbeBase::MakeSendFile(BYTE* skip, const char* send_path, const char* source_path) {
  CProbeReader* reader = Reader("MakeSendFile");
  return reader ? reader->MakeSendFile(skip, send_path, source_path) : kProbeBadPath;
}

ProbeDiscrimination CProbeBase::GetProbeDiscrimination() const {
  const CProbeReader* reader = Reader("GetProbeDiscrimination");
  return reader ? reader->GetProbeDiscrimination() : ProbeDiscrimination();
}

uint64_t CProbeBase::GetSrcFileSize() const {
  const CProbeReader* reader = Reader("GetSrcFileSize");
  return reader ? reader->GetSrcFileSize() : 0;
}

DWORD CProbeBase::_ClearTemporaryFile() {
  CProbeReader* reader = Reader("_ClearTemporaryFile");
  return reader ? reader->ClearTemporaryFile() : 0;
}

DWORD CProbeBase::GetLastError() const {
  const CProbeReader* reader = Reader("GetLastError");
  return reader ? reader->GetLastError() : 0;
}

// The probe readers' front; see ProbeBase.h.
#include "ProbeBase.h"

#include <new>

#include "Log.h"

CProbeBase::CProbeBase(char drive, DWORD unit_type, HANDLE abort_event) : _unit_type(unit_type) {
  try {
    if (unit_type == 1) {
      m_pProbeFile = std::make_unique<CProbeFile>(drive, abort_event);
    } else {
      m_pProbeZone = std::make_unique<CProbeZone>(drive, abort_event);
    }
  } catch (const std::bad_alloc&) {
    // Reported by each call through the missing reader.
  }
}

CProbeBase::~CProbeBase() = default;

const CProbeReader* CProbeBase::Reader(const char* caller) const {
  if (_unit_type == 1) {
    if (!m_pProbeFile) OV_LOG(kLogError, "CProbeBase::%s - m_pProbeFile is NULL", caller);
    return m_pProbeFile.get();
  }
  if (!m_pProbeZone) OV_LOG(kLogError, "CProbeBase::%s - m_pProbeZone is NULL", caller);
  return m_pProbeZone.get();
}

DWORD CProbeBase::MakeSendFile(BYTE* skip, const char* send_path, const char* source_path) {
  if (!Reader("MakeSendFile")) return kProbeBadPath;
  if (m_pProbeFile) return m_pProbeFile->MakeSendFile(skip, send_path, source_path);
  return m_pProbeZone->MakeSendFile(skip, send_path, source_path);
}

ProbeDiscrimination CProbeBase::GetProbeDiscrimination() const {
  if (!Reader("GetProbeDiscrimination")) return ProbeDiscrimination();
  if (m_pProbeFile) return m_pProbeFile->GetProbeDiscrimination();
  return m_pProbeZone->GetProbeDiscrimination();
}

uint64_t CProbeBase::GetSrcFileSize() const {
  const CProbeReader* reader = Reader("GetSrcFileSize");
  return reader ? reader->GetSrcFileSize() : 0;
}

DWORD CProbeBase::_ClearTemporaryFile() {
  if (!Reader("_ClearTemporaryFile")) return 0;
  if (m_pProbeFile) return m_pProbeFile->ClearTemporaryFile();
  return m_pProbeZone->ClearTemporaryFile();
}

DWORD CProbeBase::GetLastError() const {
  const CProbeReader* reader = Reader("GetLastError");
  return reader ? reader->GetLastError() : 0;
}

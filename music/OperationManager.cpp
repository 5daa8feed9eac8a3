// The operation-status record; see OperationManager.h.
#include "OperationManager.h"

#include "Log.h"

namespace ui {

void COperationManager::Start(uint32_t bits) {
  _status |= bits;
  OV_LOG(kLogInfo, "Operation Status <Start> [%08X]", static_cast<unsigned>(_status));
}

void COperationManager::End(uint32_t bits) {
  _status &= ~bits;
  OV_LOG(kLogInfo, "Operation Status <End> [%08X]", static_cast<unsigned>(_status));
}

}  // namespace ui

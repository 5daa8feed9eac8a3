// The charges' store. Temporary: until the settings and card file classes
// are in the foundation, nothing is read (every kind runs, as with a
// missing settings file) and no history is written.
#include "ChargeStore.h"

#include "Log.h"

namespace {

class CPendingChargeStore final : public IChargeStore {
 public:
  bool LoadRunSwitch(uint32_t, int*) override { return false; }
  std::string ReadDeviceNo(char) override { return std::string(); }
  bool SaveCardHistory(char, const ChargeHistoryRecord&) override { return false; }
  bool SaveProbeLog(const std::string&, const SYSTEMTIME&, uint32_t, uint32_t) override {
    return false;
  }
};

}  // namespace

IChargeStore& GetChargeStore() {
  static CPendingChargeStore store;
  return store;
}

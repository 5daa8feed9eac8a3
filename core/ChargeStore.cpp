// The charges' store on the real files; see ChargeStore.h.
#include "ChargeStore.h"

#include "ChargeKind.h"
#include "Folders.h"
#include "Log.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserListFile.h"
#include "files/CoreHistoryFiles.h"

namespace {

int TransmitIndex(uint32_t kind) {
  switch (kind) {
    case CHARGE_KIND_PROBE:
      return 1;
    case CHARGE_KIND_MAP:
      return 2;
    case CHARGE_KIND_TIDEWHEEL:
      return 3;
    case CHARGE_KIND_WEATHER:
      return 4;
    default:
      return 0;
  }
}

class CFileChargeStore final : public IChargeStore {
 public:
  bool LoadRunSwitch(uint32_t kind, int* value) override {
    COstrovelleConfig config;
    if (kind == CHARGE_KIND_MUSIC) {
      const bool loaded = config.LoadMusic();
      *value = config.GetChargeType();
      return loaded;
    }
    const bool loaded = config.LoadSetting();
    *value = config.GetTransmitExe(TransmitIndex(kind));
    return loaded;
  }

  std::string ReadDeviceNo(char drive) override {
    return CPcLinkFile(CPcLinkFile::kUnitInfoFile, drive).GetDeviceNo();
  }

  bool SaveCardHistory(char drive, const ChargeHistoryRecord& record) override {
    core::CSDInfoFile file(drive);
    return file.SetHistory(record.id, record.time, static_cast<int32_t>(record.stage),
                           static_cast<int32_t>(record.result),
                           static_cast<int32_t>(record.data_version),
                           static_cast<int32_t>(record.map_version), nullptr);
  }

  bool SaveProbeLog(const std::string& device_no, const SYSTEMTIME& time, uint32_t stage,
                    uint32_t result) override {
    CUserListFile users;
    std::string nickname;
    std::string data_folder;
    std::string text;
    if (device_no.empty() || !users.GetUser(device_no, &nickname, &data_folder, &text) ||
        data_folder.empty()) {
      OV_LOG(kLogError, "プローブログ保存先のユーザーなし DeviceNo:%s", device_no.c_str());
      return false;
    }
    core::CProbeLogFile log(ProbeLogFolderOf(data_folder));
    return log.SetLog(time, static_cast<int32_t>(stage), static_cast<int32_t>(result));
  }
};

}  // namespace

IChargeStore& GetChargeStore() {
  static CFileChargeStore store;
  return store;
}

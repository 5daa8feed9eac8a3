// The probe upload charge (kind 1, "prb"): turns the unit's trip folders on
// the card into send-data blocks, groups them into send units of one
// identity and at most 30 MiB of source data, and sends each unit to the
// probe server: consent inquiry, upload (an "OFCD" container after
// "&dat=") and completion notice. Sent folders leave the card only after a
// completion notice succeeded; folders of a unit the server refused, or
// whose upload or notice failed, stay for the next run.
//
// Threads: constructed, started, aborted and deleted on the core's main
// thread (CCharge); everything else runs on the charge's worker. The HTTP
// transfers run on the client's own thread while the worker waits on them
// and on the abort event.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "Charge.h"
#include "CoreConnectionParameterData.h"
#include "ProbeReader.h"

// Result codes of the probe upload charge besides the shared ones.
enum ProbeUploadCode : uint32_t {
  kProbeSendOff = 0x101,           // sending switched off; reported as 0xFF01
  kProbeParameter = 0x102,         // missing parameter; unknown reply word
  kProbeFolderNotDeleted = 0x106,  // logged only
  kProbeNoNickname = 0x10A,        // a block's unit has no nickname on this PC
  kProbeNicknameSkipped = 0x10B,   // final result when such a block was left out
  kProbeHttpSetup = 0x10FF04,
  kProbeNoUrl = 0x40FF05,
  kProbeRequestFailed = 0x40FFFF,  // parameters, memory, wait
  kProbeTempOpen = 0x300103,
  kProbeTempWrite = 0x300105,
  kProbeCombineSize = 0x300108,
  kProbeTempFolder = 0x300109,
  kProbeTempPath = 0x400102,
};

// The server calls, by unit type.
enum ProbeApi : int {
  kApiCheckConsent = 8,
  kApiProbeUpload = 9,
  kApiProbeUploadComp = 10,
  kApiCheckConsentNick = 28,
  kApiProbeUploadDiru = 29,
  kApiProbeUploadCompNick = 30,
};

// The identity a send unit is sent under, with the nickname that units of
// type 2 send.
struct ProbeSendIdentity {
  ProbeDiscrimination record;
  std::string nickname;
};

// One trip's send data as _MakeProbeData gives it.
struct ProbeSendBlock {
  ProbeSendIdentity identity;
  std::vector<uint8_t> data;
  uint64_t source_size = 0;
};

class CProbeUpload final : public CCharge {
 public:
  CProbeUpload(char drive = 0, HWND notify = nullptr);
  ~CProbeUpload() override;

  // A unit closes before a block that would bring its source data to this.
  static constexpr uint64_t kUnitSourceLimit = 0x1E00000;
  static uint64_t UnitSourceLimit();

  uint32_t _ProbeUploadProc();
  DWORD _CheckSetting();
  int _AnalyzeProbeData();
  DWORD _MakeProbeData(const std::string& source, ProbeSendBlock* block, BYTE* skip);
  std::string _GetNickName(const char* device_no);

  DWORD CheckConsent(const ProbeSendIdentity& identity);
  DWORD ProbeUpload(const ProbeSendIdentity& identity, const std::vector<uint8_t>& data);
  DWORD ProbeUploadComp(const ProbeSendIdentity& identity);
  // One server call; the reply word mapped to a result code.
  DWORD _PostData(int api, const ProbeSendIdentity& identity, const uint8_t* data, size_t size);
  // The reply text; *transport_error receives a failure of the request
  // itself (0 when none).
  std::string PostData(int api, const ProbeSendIdentity* identity, const uint8_t* data, size_t size,
                       DWORD* transport_error);
  static DWORD ReplyWordCode(const std::string& word);

  DWORD _SaveSmallUploadData(const std::string& path, const std::vector<uint8_t>& data);
  // The container's 24-byte head for n blocks of `sizes` bytes in all.
  static std::string _CreateCombineHeader(uint32_t blocks, uint64_t sizes);
  DWORD _CreateCombineUploadData(const std::vector<std::string>& files, std::vector<uint8_t>* data);
  void _DeleteTemporaryFiles(std::vector<std::string>& files);
  DWORD _DeleteProbeFolder(const std::string& source);

  const std::deque<std::string>& Sources() const { return _sources; }
  DWORD UnitType() const { return _unit_type; }
  DWORD Detail() const { return _detail; }

 protected:
  uint32_t _Proc() override;

 private:
  struct SendUnit;
  // Fills a unit from the head of the source list. 0, or a code that ends
  // the charge.
  uint32_t CollectUnit(SendUnit* unit);
  // Sends a collected unit; 0, or the code of the step that failed.
  uint32_t SendCollectedUnit(SendUnit* unit);
  // Why a block may not join a unit of another identity (null: it may).
  static const char* IdentityChange(const ProbeSendIdentity& unit, const ProbeSendIdentity& block);
  void DropUnitSources(const SendUnit& unit);
  // The parameters of one call; false (logged) when they cannot be built.
  static bool BuildParameters(int api, const ProbeSendIdentity* identity,
                              core::ConnectionParameterData* parameters);
  // Builds and sends one request and waits for it or for the abort.
  std::string SendRequest(int api, const ProbeSendIdentity* identity, const uint8_t* data,
                          size_t size, DWORD* transport_error);
  void PostProgress() const;

  std::deque<std::string> _sources;
  std::map<std::string, DWORD> _consent_cache;
  DWORD _unit_type = 1;
  DWORD _detail = 0;

  // One run's state (worker only).
  std::vector<std::string> _pending_deletion;
  uint32_t _block_counter = 0;
  double _progress = 0;  // added to 10 for each report
  size_t _source_count = 0;
  uint32_t _units_sent = 0;
  bool _nickname_skipped = false;
};

// Tests that group units by size give a smaller limit (0: the real one).
namespace probeuploadtest {
void SetUnitSourceLimit(uint64_t limit);
}  // namespace probeuploadtest

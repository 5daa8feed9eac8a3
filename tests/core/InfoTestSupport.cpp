// Helpers of the information charges' tests; see InfoTestSupport.h.
#include "InfoTestSupport.h"

#include "CardMaker.h"
#include "CoreMessages.h"
#include "Log.h"
#include "OstrovelleLite/RecordFields.h"
#include "info/UnitInfoFile.h"

namespace infotest {

void CInfoChargeTest::SetUp() {
  ASSERT_TRUE(card.IsValid());
  ASSERT_TRUE(standin.IsRunning());
  logtest::SetTraceEnabled(true);
  // Every connection id goes to this test's namespace of the stand-in; the
  // file is read on first use, in this process only.
  const std::string info = dir.File("Connection.info");
  ASSERT_TRUE(ovtest::WriteFileBytes(info, standin.ConnectionInfo()));
  SetEnvironmentVariableA("OV_CONNECTION_INFO", info.c_str());
  MakeCard(CardSpec());
}

ovtest::CCardMaker CInfoChargeTest::Maker(const CardSpec& spec) const {
  ovtest::CCardMaker maker;
  maker.FormatVersion(spec.format_version).CcidHead(0x00120034).Model(9);
  uint8_t* header = maker.DataHeaderBytes();
  StoreLe16(header + CUnitInfoFile::kVicsLinkYearOffset, spec.vics_link_year);
  header[CUnitInfoFile::kSettingsOffset] = spec.probe_send ? 1 : 0;
  StoreLe32(header + CUnitInfoFile::kMeshBaseXOffset, static_cast<uint32_t>(spec.mesh_x));
  StoreLe32(header + CUnitInfoFile::kMeshBaseYOffset, static_cast<uint32_t>(spec.mesh_y));
  maker.AddRecord(pclink::kDataIdProgram, 0x01000203, 0x2011, 0, "\\PC\\PROGRAM");
  if (spec.traffic_version != 0) {
    maker.AddRecord(pclink::kDataIdTraffic, spec.traffic_version, 0x2012, spec.traffic_status,
                    "\\PC\\PROBE\\RCVDAT.DAT.ENC", "\\TRAFFIC", 0xA1B2C3D4, 0x5E);
  }
  if (spec.weather_version != 0) {
    maker.AddRecord(pclink::kDataIdWeather, spec.weather_version, 0x2013, 0,
                    "\\PC\\WEATHER\\WT_DATA.DAT", "\\WEATHER", 0x11223344, 0x7F);
  }
  maker.AddRecord(0x30020001, spec.map_version, spec.map_year, 0, "\\MAP\\VICS");
  return maker;
}

void CInfoChargeTest::MakeCard(const CardSpec& spec) {
  ASSERT_TRUE(Maker(spec).WriteCard(card.Letter(), true));
}

void CInfoChargeTest::MakeLinkFile(const CardSpec& spec) {
  ASSERT_TRUE(Maker(spec).WriteFile(card.Path("PCLINK.DAT")));
}

void CInfoChargeTest::Begin(CCharge& charge) {
  charge.SetDriveLetter(card.Letter());
  charge.SetTargetWindow(window.Get());
  charge.SetStore(&store);
  ASSERT_TRUE(charge.Start());
}

RunReport CInfoChargeTest::Collect(DWORD timeout_ms) {
  const UINT finish = coretest::Msg(kMsgNotifyFinish);
  RunReport report;
  report.finished = coretest::PumpUntil([&] { return window.Count(finish) > 0; }, timeout_ms);
  for (const coretest::RecordedMessage& m : window.All()) {
    if (m.id == coretest::Msg(kMsgNotifyError)) {
      report.errors.push_back(static_cast<uint32_t>(m.wparam));
      report.details.push_back(m.lparam);
    } else if (m.id == coretest::Msg(kMsgNotifyProgress)) {
      report.progress.push_back(static_cast<uint32_t>(m.wparam));
    }
  }
  window.Clear();
  return report;
}

RunReport CInfoChargeTest::Run(CCharge& charge, DWORD timeout_ms) {
  Begin(charge);
  return Collect(timeout_ms);
}

std::string CInfoChargeTest::CardFile(const std::string& relative) const {
  return ovtest::ReadFileOrEmpty(card.Path(relative));
}

bool CInfoChargeTest::CardHas(const std::string& relative) const {
  return GetFileAttributesA(card.Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CInfoChargeTest::LinkRecord(uint32_t data_id, CPcLinkRecord* record) const {
  const CPcLinkFile link(CPcLinkFile::kLinkFile, card.Letter());
  for (const CPcLinkRecord& r : link.GetRecords()) {
    if (r.DataId() == data_id) {
      *record = r;
      return true;
    }
  }
  return false;
}

}  // namespace infotest

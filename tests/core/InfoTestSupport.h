// Helpers of the information charges' tests: a card of the unit with the
// records and data-header fields the charges read, the stand-in as their
// servers, and one run of a charge with its reports and history collected.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CardMaker.h"
#include "Charge.h"
#include "CoreTestSupport.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StandIn.h"
#include "TestSupport.h"

namespace infotest {

struct CardSpec {
  uint32_t format_version = 0x01000000;  // a unit information file of kind 1
  bool probe_send = true;
  int32_t mesh_x = 520000;
  int32_t mesh_y = 140000;
  uint16_t vics_link_year = 0x2011;
  uint32_t traffic_version = 0x01000005;  // 0: no traffic record
  uint16_t traffic_status = 0;
  uint32_t weather_version = 0x01000009;  // 0: no weather record
  uint32_t map_version = 0x02000123;      // the traffic map's record
  uint16_t map_year = 0x2012;
};

// What one run of a charge reported.
struct RunReport {
  bool finished = false;
  std::vector<uint32_t> errors;  // error words, in order
  std::vector<LPARAM> details;
  std::vector<uint32_t> progress;
  uint32_t Last() const { return errors.empty() ? 0xFFFFFFFF : errors.back(); }
};

class CInfoChargeTest : public ::testing::Test {
 protected:
  void SetUp() override;

  ovtest::CCardMaker Maker(const CardSpec& spec) const;
  // Writes the unit information file and the link file of the test card.
  void MakeCard(const CardSpec& spec);
  // Writes the link file alone, as if the unit information file had changed
  // since.
  void MakeLinkFile(const CardSpec& spec);
  // Starts the charge on the test card and pumps until it has finished.
  RunReport Run(CCharge& charge, DWORD timeout_ms = 60000);
  // Starts the charge; Collect pumps until it has finished.
  void Begin(CCharge& charge);
  RunReport Collect(DWORD timeout_ms = 60000);

  std::string CardFile(const std::string& relative) const;
  bool CardHas(const std::string& relative) const;
  // The link file's record of a data id as the card holds it now.
  bool LinkRecord(uint32_t data_id, CPcLinkRecord* record) const;
  std::vector<ovtest::StandInRequest> Requests() const { return standin.Requests(); }

  ovtest::CScopedDataRoot root;
  ovtest::CLogCapture log;
  ovtest::CTestCard card;
  ovtest::CStandIn standin;
  ovtest::CTempDir dir;
  coretest::CRecorderWindow window;
  coretest::CFakeStore store;
};

}  // namespace infotest

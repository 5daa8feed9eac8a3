// What a charge reads and writes outside its own work: the settings that
// switch its kind on or off, the device number of the card's unit, and its
// history records (the card information file, the probe log). Charges reach
// these through IChargeStore so that tests can stand in for the files.
// Implementations are called from the main thread (switches, device
// number: inside CCharge::Start) and from the worker (history).
#pragma once

#include "OvWindows.h"

#include <cstdint>
#include <string>

struct ChargeHistoryRecord {
  uint32_t id = 0;  // the kind, or the id the charge passes
  SYSTEMTIME time = {};
  uint32_t stage = 0;
  uint32_t result = 0;  // the error word
  uint32_t data_version = 0;
  uint32_t map_version = 0;
};

class IChargeStore {
 public:
  virtual ~IChargeStore() = default;

  // The switch of a kind: [Music] ChargeType for the music kind, [Setting]
  // TransmitExe1..4 for the others. False when the section cannot be loaded.
  virtual bool LoadRunSwitch(uint32_t kind, int* value) = 0;
  // The device number of the unit information file on the card; empty when
  // there is none.
  virtual std::string ReadDeviceNo(char drive) = 0;
  // One record of the card information file on the card.
  virtual bool SaveCardHistory(char drive, const ChargeHistoryRecord& record) = 0;
  // One record of the probe log of the unit with that device number.
  virtual bool SaveProbeLog(const std::string& device_no, const SYSTEMTIME& time, uint32_t stage,
                            uint32_t result) = 0;
};

// The store on the real files (settings, unit information file, card
// information file, user list and probe log), shared by all charges.
IChargeStore& GetChargeStore();

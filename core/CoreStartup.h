// The core's start-up: the command line, the single instance with the
// hand-over to a running core, the hidden window and the message loop.
// Main thread only.
#pragma once

#include "Charge.h"
#include "OvWindows.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CoreCommandLine {
  char drive = 0;               // upper case; 0 = none
  uint32_t window = 0;          // the notify window's number; 0 = none
  std::vector<uint32_t> kinds;  // in the order given, duplicates kept
};

// "/d E /w 0001A2B4 /p map sm": options and words in any case and order.
CoreCommandLine ParseCoreCommandLine(const std::string& line);

struct CoreRunOptions {
  // Makes the charges; the product's factory unless set.
  std::function<ChargePtr(uint32_t kind)> create_charge;
  // How long a second start keeps looking for the running core's window
  // (it may still be starting, or ending and about to free the mutex).
  DWORD hand_over_ms = 10000;
};

// The body of WinMain: 0 after a refused or a second start, else the quit
// message's code.
int RunCore(HINSTANCE instance, const char* command_line, const CoreRunOptions& options);

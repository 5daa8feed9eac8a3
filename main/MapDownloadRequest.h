// The launcher's answer to OVEVMapDownload (a second start with
// "MapDownload"): the core for the map and the information and music
// charges on the current card. Main thread of the launcher.
#pragma once

#include <cstdint>

#include "OvWindows.h"

// Map, probe traffic, weather and music.
constexpr uint32_t kMapDownloadKinds = 30;

using CoreStarter = bool (*)(HWND notify, char drive, uint32_t kinds);

// Logs the request and starts the core through `start` for the card;
// without a card (0) the core would get no drive and lose its notify window
// and kinds, so it logs and starts nothing. True when the core was started.
bool StartMapDownloadCharges(HWND launcher, char drive, CoreStarter start);

// The names by which the three programs find and talk to the core: its
// window class and title, its single-instance mutex, the registered window
// messages, and the map charge's progress blocks and answer events. Each process registers a
// message by its name; the ids then agree across processes. Constants only, usable from any thread.
#pragma once

#include "OvWindows.h"

#include <cstdint>

// The running core is found by exactly this pair.
constexpr const char kCoreWindowClass[] = "OSTROVELLEEVCORE";
constexpr const char kCoreWindowTitle[] = "Ostrovelle Core";
constexpr const char kCoreMutexName[] = "MN_OstrovelleEV_Core";

// wParam 0, lParam the kind.
constexpr const char kMsgRequestCharge[] = "OVEVRequestCharge";
constexpr const char kMsgRequestAbort[] = "OVEVRequestAbort";
// wParam 0, lParam 0.
constexpr const char kMsgRequestEnd[] = "OVEVRequestEnd";
// Sent, not posted: answers the OR of the reserved kinds.
constexpr const char kMsgRequestReconfirm[] = "OVEVRequestReconfirm";
// wParam the drive letter, lParam the notify window.
constexpr const char kMsgReConstCoreManager[] = "OVEVReConstCoreManager";
// wParam the percent, lParam the kind.
constexpr const char kMsgNotifyProgress[] = "OVEVNotifyProgress";
// wParam the error word (kind << 24 | code), lParam a detail.
constexpr const char kMsgNotifyError[] = "OVEVNotifyError";
// wParam the worker's thread handle (0: ended inside its start), lParam the
// kind. Stays inside the core.
constexpr const char kMsgNotifyFinish[] = "OVEVNotifyFinish";
constexpr const char kMsgMapLicense[] = "OVEVMapLicense";
constexpr const char kMsgMapDownload[] = "OVEVMapDownload";
constexpr const char kMsgMapVerify[] = "OVEVMapVerify";
constexpr const char kMsgNoSendProbe[] = "OVEVNoSendProbe";
// wParam the phase: 3 card check, 1 download, 2 transfer.
constexpr const char kMsgMapProgressStart[] = "OVEVMapProgressStart";
constexpr const char kMsgMapProgressEnd[] = "OVEVMapProgressEnd";
// wParam 1 download block written, 2 transfer block written.
constexpr const char kMsgMapProgress[] = "OVEVMapProgress";

// The main program's card change: wParam the card's drive letter (0: no
// card), lParam 1 when the charges are to start.
constexpr const char kMsgSDChange[] = "OVEVSDChange";
// Any process can post the card change, so a window takes only "no card"
// or a drive letter A to Z from it.
constexpr bool IsSDChangeDrive(WPARAM drive) {
  return drive == 0 || (drive >= 'A' && drive <= 'Z');
}

// The map charge's progress blocks: eight 32-bit words each, created by the
// core, read by the main program under the block's "_MTX_EXT" mutex.
constexpr const char kMapChargeDLProgress[] = "OVEVMapChargeDLProgress";
constexpr const char kMapChargeTRProgress[] = "OVEVMapChargeTRProgress";
constexpr uint32_t kMapChargeProgressSize = 32;

// The yes events of the map charge's questions; each no event is the name
// with "No" appended. The core creates them, the main program opens the
// one of its answer and sets it.
constexpr const char kMapLicenseEvent[] = "Global\\EVOVMapLicense";
constexpr const char kMapDownloadEvent[] = "Global\\EVOVMapDownload";
constexpr const char kMapVerifyEvent[] = "Global\\EVOVMapVerify";
constexpr const char kMapProbeEvent[] = "Global\\EVOVMapProbe";
constexpr const char kMapAnswerNoSuffix[] = "No";

inline UINT RegisterOvMessage(const char* name) { return RegisterWindowMessageA(name); }

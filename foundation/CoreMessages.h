// The names by which the three programs find and talk to the core: its
// window class and title, its single-instance mutex and the registered
// window messages. Each process registers a message by its name; the ids then
// agree across processes. Constants only, usable from any thread.
#pragma once

#include "OvWindows.h"

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

inline UINT RegisterOvMessage(const char* name) { return RegisterWindowMessageA(name); }

// What every application window of the main program shares: the frame it
// derives (the toolkit's application-window template), its own frame
// message, its window style and the private messages between the notice
// windows, their workers and the launcher. Header only.
#pragma once

#include "FrameOverlayWindow.h"
#include "OvWindows.h"

namespace mainwin {

using CMainFrame =
    ui::CFrameOverlayWindowBase<ui::CEndSessionWaitingWindow<ui::CResizableSkinWindow>>;

// The frame overlay's own message of the main program's windows.
constexpr UINT kFrameMessage = WM_APP + 1;
// Popup, clipping its children, with a system menu and minimise box; hidden
// until the window shows itself.
constexpr DWORD kWindowStyle = 0x820A0000;

// A worker's end, posted to its own window (wParam, lParam as each says).
constexpr UINT kWorkerDone = 0x8002;  // the permission check, the inquiry
constexpr UINT kUploadDone = 0x8003;  // the log upload
// To the launcher: the log-upload window closed (outcome, detail).
constexpr UINT kLogUploadClosed = 0xB98;
// To the launcher: the version inquiry ended (result, 0), and the update
// notice closed (result, 0).
constexpr UINT kVersionChecked = 0xB78;
constexpr UINT kUpdateNoticeClosed = 0xB77;

}  // namespace mainwin

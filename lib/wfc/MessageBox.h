// Every message box of a program goes through one replaceable handler,
// narrow or wide. The handlers are set at start-up (and by tests) before
// boxes are shown; the creation hook serves one box at a time.
#pragma once

#include "OvWindows.h"

namespace lib::wfc {

using MessageBoxHandler = int (*)(HWND owner, const char* text, const char* caption, UINT type);
using MessageBoxHandlerW = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                   UINT type);

// Returns the previous handler; null restores the platform's box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
MessageBoxHandlerW SetMessageBoxHandler(MessageBoxHandlerW handler);

// Caption: the application name.
int MessageBox(HWND owner, const char* text, UINT type);
// With a caption of the caller's own, through the same handler.
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
int MessageBoxW(HWND owner, const wchar_t* text, UINT type);

// A one-shot hook on the thread: the next window created there is placed
// over its parent once its WM_INITDIALOG has been handled. Null when refused.
HHOOK HookNextWindowCreation(HINSTANCE instance, DWORD thread_id);
// Removes the hook if no window took it; whether one was still armed.
bool UnhookNextWindowCreation();
bool IsWindowCreationHookArmed();

// The error-message box: an empty text logs and answers OK without a box;
// otherwise the platform's box, placed beside its owner.
int ShowErrorMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// A program's start-up: a handler set before it (a test's) stays; otherwise
// boxes go to the error-message box. Answers the handler in force.
MessageBoxHandler UseErrorBoxUnlessSet();

}  // namespace lib::wfc

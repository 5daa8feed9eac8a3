// The procedure of the version dialog (dialog resource 103 of the program
// that shows it). Runs on the thread that shows the dialog.
#pragma once

#include "OvWindows.h"

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

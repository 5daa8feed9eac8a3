// Resource ids of the main program, shared by Main.rc and the start-up.
// Plain macros: the resource compiler reads this file too.
#pragma once

#define IDD_MAIN_ABOUT 103
#define IDM_MAIN_ABOUT 104
#define IDM_MAIN_EXIT 105
#define IDI_MAIN 107
#define IDR_MAIN_MENU 109

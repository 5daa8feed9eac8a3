// Resource ids of the core, shared by Core.rc and the window procedure.
// Plain macros: the resource compiler reads this file too.
#pragma once

#define IDD_CORE_ABOUT 103
#define IDI_CORE_LARGE 107
#define IDI_CORE_SMALL 108
#define IDR_CORE_MENU 109

#define IDM_CORE_ABOUT 104
#define IDM_CORE_EXIT 105
// Debug menu: request (0x800F..0x8013) and abort (0x8014..0x8018) of the
// kinds 1, 2, 4, 8, 16 in this order.
#define IDM_CORE_CHARGE_FIRST 0x800F
#define IDM_CORE_ABORT_FIRST 0x8014
#define IDM_CORE_DEBUG_COUNT 5

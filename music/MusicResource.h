// Resource ids of the music manager, shared by Music.rc and the start-up.
// Plain macros: the resource compiler reads this file too.
#pragma once

#define IDD_MUSIC_ABOUT 103
#define IDM_MUSIC_ABOUT 104
#define IDM_MUSIC_EXIT 105
#define IDI_MUSIC 107
#define IDR_MUSIC_MENU 109

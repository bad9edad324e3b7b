#pragma once
// What other processes need to find and drive the running copy: its window, its private messages and the
// names it registers. The program, its controller and its installer all read them from here.
#include <windows.h>

// The running copy's main window: found by class and caption together.
constexpr const char* kMainWindowClass = "TMainForm";
constexpr const char* kMainWindowCaption = "CPU Vantor+";

// Held by the running copy for its whole life; a second copy sees it already exists.
constexpr const char* kInstanceMutexName = "A3FBF460-DA3B-497e-91B8-590876095B7E";

// Private messages to the main window. All but UM_APPLY_LEVEL count only with UM_TAG in the low byte of
// wParam; UM_APPLY_LEVEL carries the level in wParam.
constexpr UINT UM_EXIT = WM_USER + 0;
constexpr UINT UM_HIDE = WM_USER + 1;
constexpr UINT UM_SHOW = WM_USER + 2;
constexpr UINT UM_SHOW_INSTANCE = WM_USER + 3;
constexpr UINT UM_FOREGROUND = WM_USER + 6;
constexpr UINT UM_APPLY_LEVEL = WM_USER + 41;
constexpr WPARAM UM_TAG = 85; // 'U'

// Whether a private message's wParam carries the tag (only its low byte counts).
constexpr bool IsTagged(WPARAM wParam) { return (wParam & 0xFF) == UM_TAG; }

// UM_APPLY_LEVEL's answers.
// Nothing was written: the BIOS refused the level, the level is not one of the levels, or the program is
// already closing.
constexpr LRESULT UM_APPLY_REFUSED = 0;
// The level was written and the system took the restart request; the program closes.
constexpr LRESULT UM_APPLY_RESTARTING = 1;
// The level was written but the system refused the restart: it takes effect at the next one. The program
// runs on, its windows hidden.
constexpr LRESULT UM_APPLY_PENDING = 2;

// The notification-area icon's callback message and id.
constexpr UINT UM_TRAY_CALLBACK = WM_USER + 90;
constexpr UINT kTrayIconId = 1;

// Registered broadcast message, let through the message filter and consumed without effect.
constexpr const char* kBroadcastMessageName = "WM_KORA_BROADCAST_MESSAGE";

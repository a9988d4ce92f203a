// Resource and command identifiers shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_POPUP 102
#define IDI_MAINFRAME 128
#define IDR_TRAY_MENU 129
#define IDB_MENU_ICON 3
#define IDD_SETTINGS 130

#define IDC_ITEM_VIEW 1000
#define IDC_SPONSOR 1001
#define IDC_LINK_BAR 1002
#define IDC_STATUS_LINE 1003
#define IDC_MENU_ICON 1013

// The settings dialog
#define IDC_INTERVAL 1000
#define IDC_INTERVAL_SPIN 1005
#define IDC_FEED_LIST 1007
#define IDC_MOVE_FEED_UP 1008
#define IDC_MOVE_FEED_DOWN 1009
#define IDC_REMOVE_FEED 1010
#define IDC_NOTIFY 1011
#define IDC_CHANNEL_FIRST 1014 // the eight channel boxes, 1014 to 1021, in channel order
#define IDC_MUTE_WORDS 1022
#define IDC_FEED_HEALTH 1023 // beside each feed of the list, what its last load came to

#define IDM_ABOUTBOX 0x0010

#define ID_TRAY_EXIT 32772
#define ID_TRAY_VIEW 32774
#define ID_TRAY_SETTINGS 32776

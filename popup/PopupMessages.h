// The popup's own window messages, besides the watch messages the hook library posts
// (hook/WatchMessages.h). Numbers come from the WM_APP range: the WM_USER range belongs to the
// dialog manager.
#pragma once
#include <windows.h>

enum : UINT {
    // Sent by the shell for the notification icon, which the popup installs with this message.
    WM_TRAY_NOTIFY = WM_APP + 10,
    // Posted by a worker when a request has ended; wParam carries the request's ticket.
    WM_PRESET_LIST_ANSWER = WM_APP + 20,
    WM_SPONSOR_ANSWER = WM_APP + 21,
    WM_FEED_ANSWER = WM_APP + 22,
    WM_REPORT_SENT = WM_APP + 23,
    // Sent by the item view to the popup when the user clicked the item through to its page.
    WM_ITEM_CLICKED = WM_APP + 25,
    // Posted to the popup by the link bar (a click, a key, a screen reader's action) and by the
    // item view's arrow keys; wParam is the LinkBarWord to step by.
    WM_LINK_BAR_STEP = WM_APP + 26,
};

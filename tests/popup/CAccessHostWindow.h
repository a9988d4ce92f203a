// The stand-in for the popup's bottom row in the accessibility tests: a top-level window with a
// link bar (a static control showing "Previous | Next | Feed | " in the popup's link font, laid
// out as the popup lays it out), the menu icon and the item view, each answering WM_GETOBJECT
// through the program's accessible objects. What their default actions post arrives here and
// is written down as events.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "fw/CAccessibleStatic.h"
#include "fw/CAccessibleLinks.h"
#include "fw/CAccessibleName.h"
#include "fw/CUiaNotifier.h"
#include "popup/LinkBarLayout.h"

class CAccessHostWindow {
public:
    static const int kLinkBarId = 1002;
    static const int kMenuIconId = 1013;
    static const int kItemViewId = 1000;

    ~CAccessHostWindow();
    bool Create(HINSTANCE instance);
    HWND Handle() const { return m_window; }
    // The link bar's screen rectangle and the words' x ranges, as "LEFT TOP RIGHT BOTTOM B0 E0 B1 E1 B2 E2".
    std::string Layout() const;

    void SetTitle(const std::wstring& title) { m_viewName->SetName(title); }
    void SetFocusedLink(int index) { m_links->SetFocusedLink(index); }
    void Disconnect();
    bool Announce(const std::wstring& text);
    bool CanAnnounce() const { return m_notifier.IsAvailable(); }
    std::vector<std::string> TakeEvents();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateChild(const char* className, const char* text, DWORD style, int id, const RECT& place);

    HWND m_window = nullptr;
    HFONT m_linkFont = nullptr;
    LinkBarLayout m_layout;
    CAccessibleStatic m_linkBar, m_menuIcon, m_itemView;
    CComPtr<CAccessibleLinks> m_links;
    CComPtr<CAccessibleName> m_viewName;
    CUiaNotifier m_notifier;
    std::vector<std::string> m_events;
};

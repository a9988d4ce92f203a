#include "tests/popup/CAccessHostWindow.h"

#include "popup/LinkBarMetrics.h"

namespace {

const char kClassName[] = "LullcastAccessHost";
const UINT kLinkAction = WM_APP + 1;
const UINT kViewAction = WM_APP + 2;
const int kWidth = 600, kHeight = 140;

} // namespace

CAccessHostWindow::~CAccessHostWindow()
{
    if (m_window)
        ::DestroyWindow(m_window);
    if (m_linkFont)
        ::DeleteObject(m_linkFont);
}

bool CAccessHostWindow::Create(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &CAccessHostWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);
    m_window = ::CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Access host", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                 100, 200, kWidth, kHeight, nullptr, nullptr, instance, this);
    if (!m_window || !::LoadLibraryA("riched20.dll"))
        return false;

    HDC dc = ::GetDC(m_window);
    m_linkFont = CreateLinkBarFont(::GetDeviceCaps(dc, LOGPIXELSY));
    ::ReleaseDC(m_window, dc);

    RECT client = {};
    ::GetClientRect(m_window, &client);
    const int iconSize = 12, rowTop = client.bottom - 20;
    const RECT iconPlace = {client.right - 12 - iconSize, rowTop, client.right - 12, rowTop + iconSize};
    HWND icon = CreateChild("STATIC", "", SS_NOTIFY, kMenuIconId, iconPlace);
    HWND links = CreateChild("STATIC", "Previous | Next | Feed | ", SS_RIGHT | SS_NOTIFY, kLinkBarId,
                             {0, rowTop, 10, rowTop + 16});
    ::SendMessageA(links, WM_SETFONT, reinterpret_cast<WPARAM>(m_linkFont), FALSE);
    m_layout = LayOutLinkBar(MeasureLinkBarPieces(links), iconPlace.left);
    ::SetWindowPos(links, nullptr, m_layout.left, rowTop, m_layout.width, 16, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND view = CreateChild("RichEdit20A", "The item's text", ES_MULTILINE | ES_READONLY | WS_BORDER, kItemViewId,
                            {60, 8, client.right - 10, rowTop - 4});
    if (!icon || !links || !view)
        return false;

    m_linkBar.SubclassWindow(links);
    m_links.Reset(CAccessibleLinks::Create(links, m_window, kLinkAction));
    std::vector<CAccessibleLinks::Link> words;
    const wchar_t* names[kLinkBarWordCount] = {L"Previous", L"Next", L"Feed"};
    for (int i = 0; i < kLinkBarWordCount; ++i)
        words.push_back({names[i], m_layout.words[i].begin, m_layout.words[i].end});
    m_links->SetLinks(words);
    m_linkBar.SetAccessible(m_links.Get());

    m_menuIcon.SubclassWindow(icon);
    CComPtr<CAccessibleName> menu(CAccessibleName::Create(icon, L"Channel menu", ROLE_SYSTEM_BUTTONMENU));
    menu->SetDefaultAction({L"Open", m_window, WM_COMMAND, MAKEWPARAM(kMenuIconId, STN_CLICKED),
                            reinterpret_cast<LPARAM>(icon)});
    m_menuIcon.SetAccessible(menu.Get());

    m_itemView.SubclassWindow(view);
    m_viewName.Reset(CAccessibleName::Create(view, L""));
    m_viewName->SetDefaultAction({L"Open", m_window, kViewAction, 0, 0});
    m_itemView.SetAccessible(m_viewName.Get());
    return true;
}

HWND CAccessHostWindow::CreateChild(const char* className, const char* text, DWORD style, int id, const RECT& place)
{
    return ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, m_window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

std::string CAccessHostWindow::Layout() const
{
    RECT bar = {};
    ::GetWindowRect(m_linkBar.m_hWnd, &bar);
    std::string text = std::to_string(bar.left) + " " + std::to_string(bar.top) + " " + std::to_string(bar.right)
                       + " " + std::to_string(bar.bottom);
    for (const PixelSpan& word : m_layout.words)
        text += " " + std::to_string(word.begin) + " " + std::to_string(word.end);
    return text;
}

void CAccessHostWindow::Disconnect()
{
    m_linkBar.SetAccessible(nullptr);
    m_menuIcon.SetAccessible(nullptr);
    m_itemView.SetAccessible(nullptr);
}

bool CAccessHostWindow::Announce(const std::wstring& text)
{
    return m_notifier.Announce(m_itemView.m_hWnd, text.c_str(), CUiaNotifier::Kind::ItemAdded, L"Lullcast.Item");
}

std::vector<std::string> CAccessHostWindow::TakeEvents()
{
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

LRESULT CALLBACK CAccessHostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<CAccessHostWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case kLinkAction:
        self->m_events.push_back("action link " + std::to_string(wParam));
        return 0;
    case kViewAction:
        self->m_events.push_back("action view");
        return 0;
    case WM_COMMAND:
        if (wParam == MAKEWPARAM(kMenuIconId, STN_CLICKED)
            && reinterpret_cast<HWND>(lParam) == ::GetDlgItem(window, kMenuIconId))
            self->m_events.push_back("action menu");
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

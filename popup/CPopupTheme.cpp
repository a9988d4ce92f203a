#include "popup/CPopupTheme.h"

#include "fw/CScopedHandle.h"

PopupTheme CPopupTheme::s_theme = PopupTheme::Light;
PopupColours CPopupTheme::s_colours = {};

namespace {

bool HighContrastOn()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// AppsUseLightTheme, a DWORD of four bytes; false when absent or of another type or size.
bool ReadAppsTheme(DWORD& value)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                        KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    const CRegistryKey key(opened);
    DWORD type = 0, size = sizeof value;
    return ::RegQueryValueExA(key.Get(), "AppsUseLightTheme", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof value;
}

} // namespace

bool CPopupTheme::Read()
{
    DWORD appsLight = 1;
    const bool known = ReadAppsTheme(appsLight);
    const SystemColours system = {::GetSysColor(COLOR_WINDOW),    ::GetSysColor(COLOR_WINDOWTEXT),
                                  ::GetSysColor(COLOR_HOTLIGHT),  ::GetSysColor(COLOR_HIGHLIGHT),
                                  ::GetSysColor(COLOR_BTNFACE),   ::GetSysColor(COLOR_BTNTEXT)};
    const PopupTheme theme = ChoosePopupTheme(HighContrastOn(), known, appsLight);
    const PopupColours colours = ColoursFor(theme, system);
    const bool changed = theme != s_theme || colours.face != s_colours.face || colours.view != s_colours.view ||
                         colours.itemText != s_colours.itemText || colours.link != s_colours.link ||
                         colours.status != s_colours.status || colours.focus != s_colours.focus;
    s_theme = theme;
    s_colours = colours;
    return changed;
}

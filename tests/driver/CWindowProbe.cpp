#include "tests/driver/CWindowProbe.h"

#include <algorithm>

#include <set>

#include "fw/Win32Util.h"

namespace {
// A window that is busy (the popup waits on the network inside some handlers) must not hang the driver.
const UINT kSendTimeoutMs = 5000;

struct TitleSearch {
    const std::string* title;
    int windows;
    std::set<DWORD> processes;
};

BOOL CALLBACK countMatching(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<TitleSearch*>(context);
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    if (*search->title == text) {
        ++search->windows;
        search->processes.insert(CWindowProbe::processOf(window));
    }
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM context)
{
    auto* list = reinterpret_cast<std::vector<HWND>*>(context);
    list->push_back(window);
    return TRUE;
}
}

HWND CWindowProbe::findTopLevel(const std::string& title)
{
    return FindWindowA(nullptr, title.c_str());
}

CWindowProbe::Counts CWindowProbe::countTopLevel(const std::string& title)
{
    TitleSearch search{&title, 0, {}};
    EnumWindows(&countMatching, reinterpret_cast<LPARAM>(&search));
    return Counts{search.windows, static_cast<int>(search.processes.size())};
}

bool CWindowProbe::isTopmost(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

DWORD CWindowProbe::processOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

bool CWindowProbe::readText(HWND window, std::string& text)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return false;
    // Read again, larger, when the text grew between the two questions.
    std::vector<char> buffer(length + 16, '\0');
    DWORD_PTR copied = 0;
    for (int attempt = 0;; ++attempt) {
        if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
            return false;
        if (copied + 1 < buffer.size() || attempt == 8)
            break;
        buffer.assign(buffer.size() * 4, '\0');
    }
    text.assign(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
    return true;
}

// Waits for the answer even from a window whose thread has not taken a message for a while (Wine
// calls such a thread hung): right after a start that waited for a stalled service, the popup's
// thread answers as soon as its loop runs.
bool CWindowProbe::readWideText(HWND window, std::string& text)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return false;
    // A rich edit of the ANSI kind counts its text in bytes of its own code page and needs room for
    // them all, so the buffer is larger than the UTF-16 length asks for. The text may change
    // between the two questions (a new item shown): a buffer filled to the brim is read again,
    // larger, so that a text is never cut where the older, shorter one ended.
    std::vector<wchar_t> buffer(length * 4 + 16, L'\0');
    DWORD_PTR copied = 0;
    for (int attempt = 0;; ++attempt) {
        if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                 SMTO_NORMAL, kSendTimeoutMs, &copied))
            return false;
        if (copied + 1 < buffer.size() || attempt == 8)
            break;
        buffer.assign(buffer.size() * 4, L'\0');
    }
    const int units = static_cast<int>(copied < buffer.size() ? copied : buffer.size() - 1);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), units, nullptr, 0, nullptr, nullptr);
    text.assign(static_cast<size_t>(bytes), '\0');
    if (bytes)
        WideCharToMultiByte(CP_UTF8, 0, buffer.data(), units, &text[0], bytes, nullptr, nullptr);
    return true;
}

// The window's area as it is on the screen, one 0xRRGGBB value a pixel, rows from the top.
std::vector<DWORD> CWindowProbe::screenPixels(HWND window, int& width, int& height)
{
    RECT rect;
    width = height = 0;
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
        return {};
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    const BITMAPINFO info = TopDownBitmapInfo(width, height, 32);
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, old);
        const DWORD* pixel = static_cast<const DWORD*>(bits);
        pixels.assign(pixel, pixel + static_cast<size_t>(width) * height);
        for (DWORD& colour : pixels)
            colour &= 0xFFFFFF;
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (pixels.empty())
        width = height = 0;
    return pixels;
}

int CWindowProbe::countColours(HWND window, int limit)
{
    int width = 0, height = 0;
    std::vector<DWORD> seen;
    for (DWORD colour : screenPixels(window, width, height)) {
        if (static_cast<int>(seen.size()) >= limit)
            break;
        if (std::find(seen.begin(), seen.end(), colour) == seen.end())
            seen.push_back(colour);
    }
    return static_cast<int>(seen.size());
}

std::vector<std::pair<DWORD, int>> CWindowProbe::colourCounts(HWND window, int top)
{
    int width = 0, height = 0;
    const std::vector<DWORD> all = screenPixels(window, width, height);
    // The client area only: a border is no part of what the window paints.
    RECT window_rect = {}, client = {};
    GetWindowRect(window, &window_rect);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::vector<DWORD> pixels;
    for (int y = client.top - window_rect.top; y < client.bottom - window_rect.top && y < height; ++y)
        for (int x = client.left - window_rect.left; x < client.right - window_rect.left && x < width; ++x)
            if (x >= 0 && y >= 0)
                pixels.push_back(all[static_cast<size_t>(y) * width + x]);
    std::sort(pixels.begin(), pixels.end());
    std::vector<std::pair<DWORD, int>> counts;
    for (size_t i = 0; i < pixels.size();) {
        size_t j = i;
        while (j < pixels.size() && pixels[j] == pixels[i])
            ++j;
        counts.push_back({pixels[i], static_cast<int>(j - i)});
        i = j;
    }
    std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    if (static_cast<int>(counts.size()) > top)
        counts.resize(static_cast<size_t>(top));
    return counts;
}

std::vector<std::pair<int, int>> CWindowProbe::inkColumns(HWND window)
{
    int width = 0, height = 0;
    const std::vector<DWORD> pixels = screenPixels(window, width, height);
    std::vector<std::pair<int, int>> runs;
    if (pixels.empty())
        return runs;
    const DWORD background = pixels[0];
    for (int x = 0; x < width; ++x) {
        bool ink = false;
        for (int y = 0; y < height && !ink; ++y)
            ink = pixels[static_cast<size_t>(y) * width + x] != background;
        if (!ink)
            continue;
        if (!runs.empty() && runs.back().second == x)
            runs.back().second = x + 1;
        else
            runs.push_back({x, x + 1});
    }
    return runs;
}

namespace {
BOOL CALLBACK collectTooltip(HWND window, LPARAM found)
{
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, "tooltips_class32") == 0 && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}
} // namespace

std::vector<std::string> CWindowProbe::visibleTooltipTexts()
{
    std::vector<HWND> windows;
    EnumWindows(&collectTooltip, reinterpret_cast<LPARAM>(&windows));
    std::vector<std::string> texts;
    for (HWND window : windows) {
        std::string text;
        if (readWideText(window, text) && !text.empty())
            texts.push_back(text);
    }
    return texts;
}

bool CWindowProbe::controlText(HWND dialog, int id, std::string& text)
{
    HWND control = GetDlgItem(dialog, id);
    return control && readText(control, text);
}

std::vector<CWindowProbe::Child> CWindowProbe::children(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, &collectChild, reinterpret_cast<LPARAM>(&windows));
    std::vector<Child> result;
    for (HWND window : windows) {
        Child child{window, GetDlgCtrlID(window), "", ""};
        char className[256] = "";
        GetClassNameA(window, className, sizeof className);
        child.className = className;
        readText(window, child.text);
        result.push_back(child);
    }
    return result;
}

LRESULT CWindowProbe::hitTest(HWND window, int x, int y)
{
    DWORD_PTR code = HTNOWHERE;
    SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, kSendTimeoutMs, &code);
    return static_cast<LRESULT>(code);
}

bool CWindowProbe::findHitPoint(HWND window, LRESULT code, POINT& point)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    // Scan from the top right corner, where the caption buttons are, then take the middle of the
    // area found so that a click there does not land on its border.
    for (int y = rect.top; y < rect.bottom; y += 2) {
        for (int x = rect.right - 1; x >= rect.left; x -= 2) {
            if (hitTest(window, x, y) != code)
                continue;
            int left = x, right = x, bottom = y;
            while (left - 1 >= rect.left && hitTest(window, left - 1, y) == code)
                --left;
            while (right + 1 < rect.right && hitTest(window, right + 1, y) == code)
                ++right;
            int column = (left + right) / 2;
            while (bottom + 1 < rect.bottom && hitTest(window, column, bottom + 1) == code)
                ++bottom;
            point.x = column;
            point.y = (y + bottom) / 2;
            return true;
        }
    }
    return false;
}

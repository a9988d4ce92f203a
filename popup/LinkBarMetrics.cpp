#include "popup/LinkBarMetrics.h"

#include <cstring>

namespace {

int TextWidth(HDC dc, const char* text)
{
    SIZE size = {};
    return ::GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size) ? size.cx : 0;
}

} // namespace

HFONT CreateLinkBarFont(int dpi)
{
    LOGFONTA font = {};
    std::strcpy(font.lfFaceName, "Arial");
    font.lfWeight = FW_NORMAL;
    font.lfHeight = -::MulDiv(8, dpi, 72);
    return ::CreateFontIndirectA(&font);
}

LinkBarPieceWidths MeasureLinkBarPieces(HWND linkBar)
{
    LinkBarPieceWidths widths;
    HDC dc = ::GetDC(linkBar);
    if (!dc)
        return widths;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(linkBar, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    for (int i = 0; i < kLinkBarWordCount; ++i)
        widths.words[i] = TextWidth(dc, kLinkBarWords[i]);
    widths.separator = TextWidth(dc, kLinkBarSeparator);
    if (previous)
        ::SelectObject(dc, previous);
    ::ReleaseDC(linkBar, dc);
    return widths;
}

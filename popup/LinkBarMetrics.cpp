#include "popup/LinkBarMetrics.h"

#include <cstring>

#include "fw/CDeviceContext.h"
#include "popup/PopupFonts.h"

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
    std::strcpy(font.lfFaceName, kPopupFontFace);
    font.lfWeight = FW_NORMAL;
    font.lfHeight = -::MulDiv(kLinkBarFontPoints, dpi, kPointsPerInch);
    return ::CreateFontIndirectA(&font);
}

LinkBarPieceWidths MeasureLinkBarPieces(HWND linkBar)
{
    LinkBarPieceWidths widths;
    CClientDC dc(linkBar);
    if (!dc)
        return widths;
    CSelectObject font(dc, reinterpret_cast<HFONT>(::SendMessageA(linkBar, WM_GETFONT, 0, 0)));
    for (int i = 0; i < kLinkBarWordCount; ++i)
        widths.words[i] = TextWidth(dc, kLinkBarWords[i]);
    widths.separator = TextWidth(dc, kLinkBarSeparator);
    return widths;
}

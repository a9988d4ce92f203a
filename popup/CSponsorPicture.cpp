#include "popup/CSponsorPicture.h"

#include "res/Resource.h"

CSponsorPicture::~CSponsorPicture()
{
    m_image.Destroy();
}

void CSponsorPicture::Replace(CImage& picture, HWND control)
{
    m_image.Destroy();
    m_image.Swap(picture);
    if (control)
        ::InvalidateRect(control, nullptr, FALSE);
}

bool CSponsorPicture::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DRAWITEM || wParam != IDC_SPONSOR)
        return false;
    const DRAWITEMSTRUCT& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    // Without a picture the area shows the window's own face colour (the popup clips its
    // children, so nothing else would paint it); a picture with alpha is blended over it.
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    m_image.Draw(item.hDC, item.rcItem);
    result = TRUE;
    return true;
}

void CSponsorPicture::ReleaseDecoderWhenIdle(bool decoding)
{
    // A worker still decoding would find the decoder gone; the process's end takes it then.
    if (!decoding)
        CImage::ReleaseDecoder();
}

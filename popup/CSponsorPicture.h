// The sponsor picture in the popup's top-left corner (control IDC_SPONSOR): kept between
// showings, replaced when a new one has come, and drawn stretched into the control.
#pragma once
#include <windows.h>

#include "fw/CImage.h"

class CSponsorPicture {
public:
    ~CSponsorPicture();

    // Takes a picture that has come (an empty one empties the area) and has the control drawn
    // again. A popup that is hidden shows it when it is next shown.
    void Replace(CImage& picture, HWND control);

    // WM_DRAWITEM of the control; false for any other control's.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The decoder may be shut down only while no picture is being decoded.
    void ReleaseDecoderWhenIdle(bool decoding);

private:
    CImage m_image;
};

// The sponsor picture in the popup's top-left corner (control IDC_SPONSOR): fetched from the
// service on a thread of its own, decoded there, kept between showings, replaced when a new one
// has come, and drawn stretched into the control.
//
// One fetch is under way at a time; a fetch asked for meanwhile is made once it has ended, and
// only that later picture counts. A fetch that fails, or is given up at its deadline, keeps the
// picture there is; one given up still holds the request until its thread ends, and meanwhile the
// next fetch fails at once, so a server that never answers costs one thread.
#pragma once
#include <windows.h>

#include <string>

#include "fw/CAsyncRequest.h"
#include "fw/CImage.h"
#include "popup/ServiceExchange.h"

class CServiceClient;

class CSponsorPicture {
public:
    // The body of the picture is read up to this many bytes.
    static constexpr size_t kSponsorBytes = 65535;

    ~CSponsorPicture();

    // Fetches start only once the popup's window exists (its answers and timer come there).
    void Attach(HWND popup, HWND control, const CServiceClient& service);
    // The window goes: a picture still on its way is not taken.
    void Stop();

    // A fresh picture is wanted; the control shows the one it has meanwhile.
    void Fetch();

    // The picture's answer and deadline, and WM_DRAWITEM of the control; false for anything else.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    struct Answer;

    void Start();
    void OnAnswer(WPARAM ticket);
    void OnDeadline();
    bool Draw(const DRAWITEMSTRUCT& item) const;

    HWND m_popup = nullptr;
    HWND m_control = nullptr;
    ServiceExchange m_exchange; // the picture's address and the program's name, made anew for each fetch
    CAsyncRequest<Answer> m_request;
    unsigned long long m_startedAt = 0;
    CImage m_image;
};

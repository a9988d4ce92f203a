// The accessible object of a control that draws a row of words, each a link of its own (a
// static control showing "One | Two | Three"): one child per word, named by the word, with the
// role of a link, its place on the screen, and a default action that does what a click on the
// word does. A screen reader reads "NAME link" for each. The control itself keeps the standard
// object's name, role and place (CAccessibleProxy).
//
// Child ids are 1 to the number of links, left to right. The owner keeps the x ranges in step
// with the layout, and says which link has the keyboard focus, if any.
#pragma once
#include <string>
#include <vector>

#include "fw/CAccessibleProxy.h"

class CAccessibleLinks : public CAccessibleProxy {
public:
    struct Link {
        std::wstring name;
        int begin = 0; // x from the control's left edge, inside
        int end = 0;   // outside
    };

    // A default action posts message to owner with wParam = the link's index (0 for the first)
    // and lParam 0. Created with one reference, which the creator holds (CComPtr) and releases.
    static CAccessibleLinks* Create(HWND control, HWND owner, UINT message);

    void SetLinks(std::vector<Link> links);
    // The link that has the keyboard focus (-1 for none); a screen reader is told of the move.
    void SetFocusedLink(int index);

    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* child) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;

private:
    CAccessibleLinks(HWND control, HWND owner, UINT message);

    // The index of the link a child id names, or -1 (the control itself, or no such child).
    int LinkOf(const VARIANT& child) const;
    // S_OK with the link's index when child names a link; otherwise why not: disconnected, or
    // not a link (self then says whether the control itself is meant).
    HRESULT Check(const VARIANT& child, int& link, bool& self) const;

    HWND m_owner;
    UINT m_message;
    std::vector<Link> m_links;
    int m_focused = -1;
};

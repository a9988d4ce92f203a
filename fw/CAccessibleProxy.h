// An IAccessible for a control that answers WM_GETOBJECT itself: it passes every question on
// to the system's standard object for the control's client area (what a screen reader would
// get without it: its place, state, parent and neighbours), and derived classes answer the few
// questions they know better (a name, a role, children).
//
// It lives on the control's thread (COM's single-threaded apartment of the window); a screen
// reader in another process reaches it through COM, which calls it on that thread. The owner
// holds one reference and calls Disconnect when the control goes: from then on every question
// gets RPC_E_DISCONNECTED and the screen readers' references are cut.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include "fw/CComPtr.h"

class CAccessibleProxy : public IAccessible {
public:
    // Answers WM_GETOBJECT for the control's client area with this object; other objects (the
    // window's frame, UI Automation's own question) are left to the control.
    bool AnswerGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // For the control's window procedure: answers WM_GETOBJECT (true, with the result) and
    // disconnects on WM_DESTROY (false: the control goes on with it).
    bool OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Disconnect();
    HWND Control() const { return m_control; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: no type information; screen readers use the IAccessible methods.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

    // IAccessible, each passed on to the standard object unless a derived class answers it.
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* child) override;
    STDMETHODIMP get_accSelection(VARIANT* children) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

protected:
    // Created with one reference, which the creator takes over.
    explicit CAccessibleProxy(HWND control);
    virtual ~CAccessibleProxy() = default;

    // The standard object, or null once disconnected (or when the system has none).
    IAccessible* Standard() const { return m_standard.Get(); }
    bool IsConnected() const { return m_control != nullptr; }
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
    // A new string for an answer, or E_OUTOFMEMORY.
    static HRESULT Answer(const wchar_t* text, BSTR* result);
    // The answer when there is no such text (S_FALSE).
    static HRESULT NoText(BSTR* result);

private:
    LONG m_refs = 1;
    HWND m_control;
    CComPtr<IAccessible> m_standard;
};

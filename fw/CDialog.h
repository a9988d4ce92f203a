// A dialog from a template, run modally by its own message loop.
//
// Derived classes handle messages in OnMessage with a plain switch; whatever they do not
// handle gets the dialog manager's default.
#pragma once
#include "fw/CDataExchange.h"
#include "fw/CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog, runs its modal loop and returns what EndDialog was given
    // (-1 when the dialog could not be created).
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    // Command messages: the default routes IDOK to OnOK and IDCANCEL to OnCancel.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Returns true when the message was handled, with its result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // A dialog that shows itself only on request clears this before DoModal.
    bool m_showOnStart = true;

private:
    UINT m_templateId;
    CWnd* m_parent;
    bool m_modalRunning = false;
    int m_modalResult = -1;

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HWND ModalOwner() const;
    void RunModalLoop();
};

// The link bar "Previous | Next | Feed | " below the item: a static control that draws its text
// itself, laid out from the text as drawn in its own font, so that the whole text shows
// right-aligned before the menu icon at every DPI and each word is hit exactly where it stands.
//
// A click, a key or a screen reader's action on a word posts the step it leads to to the owner
// (stepMessage, wParam = the LinkBarWord); the separators lead nowhere. The bar is one tab stop
// whose three words Tab and Shift+Tab move through before leaving it; Enter and Space step as the
// word with the focus says, Left and Right step Previous and Next. The word with the focus is
// framed. Screen readers see one link child per word (CAccessibleLinks).
#pragma once
#include <optional>

#include "fw/CAccessibleLinks.h"
#include "fw/CAccessibleStatic.h"
#include "fw/CComPtr.h"
#include "popup/LinkBarLayout.h"

class CLinkBar : public CAccessibleStatic {
public:
    // Binds the dialog's link bar control and makes it a tab stop.
    void Attach(HWND control, HWND owner, UINT stepMessage);

    // Places the bar so that it ends at iconLeft with its top at top, as wide as its text and as
    // high as its font, all in the parent's client coordinates.
    void Place(int iconLeft, int top);
    int Width() const { return m_layout.width; }
    int Height() const { return m_height; }

    // The word under a point x pixels from the bar's left edge, if any.
    std::optional<LinkBarWord> WordAt(int x) const { return LinkBarWordAt(m_layout, x); }
    // The word with the keyboard focus, -1 while the bar does not have the focus.
    int FocusedWord() const { return m_focused; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Measure();
    void OnPaint();
    LRESULT OnGetDlgCode(const MSG* message) const;
    bool OnKeyDown(WPARAM key);
    void Focus(int word);
    void Step(LinkBarWord word) const;
    void UpdateAccessibleLinks();

    HWND m_owner = nullptr;
    UINT m_stepMessage = 0;
    LinkBarPieceWidths m_widths;
    LinkBarLayout m_layout;
    int m_height = 0;
    int m_focused = -1;
    int m_lastFocused = 0;
    CComPtr<CAccessibleLinks> m_links;
};

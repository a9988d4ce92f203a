// The settings dialog: refresh interval, notification, the channels the channel menu offers,
// and the user's own feeds, which grow by links dropped on the list. It edits its members
// only; the caller gives it the values and takes them back when it ends with OK.
#pragma once
#include "fw/CDialog.h"
#include "fw/CListBox.h"
#include "fw/CSpinButtonCtrl.h"
#include "fw/CStringArray.h"
#include "settings/COleListBoxDropTarget.h"

class CDlgSettings : public CDialog {
public:
    CDlgSettings();

    INT_PTR DoModal() override;

    unsigned m_interval = 0;   // minutes, 1 to 120
    int m_notify = 0;          // check box state
    CStringArray m_feeds;      // the user's own feeds, in list order
    CListBox m_feedList;
    unsigned m_channels = 0xFFFF; // bit i: channel i is offered (bits 0 to 7)
    CSpinButtonCtrl m_spin;
    COleListBoxDropTarget m_dropTarget;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void UpdateListButtons();
    void OnRemoveFeed();
    void OnMoveFeedUp();
    void OnMoveFeedDown();
    void MoveSelectedFeed(int by);
};

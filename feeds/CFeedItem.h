// One item of a feed, as it was read: every field is the text of one child element.
#pragma once
#include "fw/CString.h"

class CFeedItem {
public:
    CFeedItem() = default;
    CFeedItem(const CFeedItem&) = default;
    CFeedItem(CFeedItem&&) noexcept = default;
    CFeedItem& operator=(const CFeedItem&) = default;
    CFeedItem& operator=(CFeedItem&&) noexcept = default;
    virtual ~CFeedItem() = default;

    CString m_strAuthor;
    CString m_strCategory;
    CString m_strDescription; // plain text in which "\par " marks line breaks
    CString m_strLink;
    CString m_strPubDate;     // exactly as found
    CString m_strSubject;
    CString m_strTitle;
};

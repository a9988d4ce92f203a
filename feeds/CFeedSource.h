// The channel record of a feed, the channel image included.
#pragma once
#include "fw/CString.h"

class CFeedSource {
public:
    CFeedSource() = default;
    CFeedSource(const CFeedSource&) = delete;
    CFeedSource& operator=(const CFeedSource&) = delete;
    virtual ~CFeedSource() = default;

    CString m_strCopyright;
    CString m_strDescription;
    CString m_strGenerator;
    CString m_strLanguage;
    CString m_strLastBuildDate;
    CString m_strLink;
    CString m_strTitle;
    CString m_strTtl;
    CString m_strWebMaster;
    CString m_strImageDescription;
    CString m_strImageHeight;
    CString m_strImageWidth;
    CString m_strImageLink;
    CString m_strImageTitle;
    CString m_strImageUrl;
};

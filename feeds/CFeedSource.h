// The channel record of a feed, the channel image included.
#pragma once
#include "fw/CString.h"

class CFeedSource {
public:
    CFeedSource() = default;
    CFeedSource(const CFeedSource&) = delete;
    CFeedSource& operator=(const CFeedSource&) = delete;
    virtual ~CFeedSource() = default;

    // Takes every field of another channel record: a load that starts from the fields of the
    // feed loaded before keeps them where its document supplies none.
    void CopyFieldsFrom(const CFeedSource& other)
    {
        CString CFeedSource::*const fields[] = {
            &CFeedSource::m_strCopyright,        &CFeedSource::m_strDescription, &CFeedSource::m_strGenerator,
            &CFeedSource::m_strLanguage,         &CFeedSource::m_strLastBuildDate, &CFeedSource::m_strLink,
            &CFeedSource::m_strTitle,            &CFeedSource::m_strTtl,         &CFeedSource::m_strWebMaster,
            &CFeedSource::m_strImageDescription, &CFeedSource::m_strImageHeight, &CFeedSource::m_strImageWidth,
            &CFeedSource::m_strImageLink,        &CFeedSource::m_strImageTitle,  &CFeedSource::m_strImageUrl,
        };
        for (CString CFeedSource::*field : fields)
            this->*field = other.*field;
    }

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

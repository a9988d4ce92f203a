// Data handed over by an OLE data object, released when the holder goes.
#pragma once
#include <ole2.h>

class CStgMedium : public STGMEDIUM {
public:
    CStgMedium() : STGMEDIUM() {}
    ~CStgMedium()
    {
        if (tymed != TYMED_NULL)
            ::ReleaseStgMedium(this);
    }
    CStgMedium(const CStgMedium&) = delete;
    CStgMedium& operator=(const CStgMedium&) = delete;
};

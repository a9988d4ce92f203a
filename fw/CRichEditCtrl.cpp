#include "fw/CRichEditCtrl.h"

#include "fw/Win32Util.h"

bool CRichEditCtrl::LoadLibrary20()
{
    static HMODULE library = LoadSystemLibrary("RICHED20.DLL");
    return library != nullptr;
}

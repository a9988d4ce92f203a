// A static control bound to a dialog item.
#pragma once
#include "fw/CWnd.h"

class CStatic : public CWnd {};

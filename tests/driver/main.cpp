// lcdriver: the stand-in for the rest of the desktop in Lullcast's end-to-end tests.
#include "tests/driver/CDriver.h"

int main()
{
    CDriver driver(GetModuleHandleA(nullptr));
    return driver.run();
}

#include "popup/LongOperationTitle.h"

#include <cstring>
#include <initializer_list>

namespace {

bool PercentThenBlankAt(const char* title, size_t length, size_t position)
{
    return length > position + 1 && title[position] == '%' && title[position + 1] == ' ';
}

} // namespace

bool IsLongOperationTitle(const char* title)
{
    if (!title)
        return false;
    for (const char* word : {"Progress", "Printing", "Copying", "remaining"}) {
        if (std::strstr(title, word))
            return true;
    }
    const size_t length = std::strlen(title);
    return PercentThenBlankAt(title, length, 1) || PercentThenBlankAt(title, length, 2);
}

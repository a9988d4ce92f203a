#include "popup/LongOperationTitle.h"

#include <initializer_list>
#include <string_view>

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The first characters of the title, each as its first code unit (enough to compare with
// "%" and " "); 0 for a place beyond the end.
void FirstCharacters(std::u16string_view title, char16_t (&first)[4])
{
    size_t unit = 0;
    for (char16_t& character : first) {
        character = unit < title.size() ? title[unit] : u'\0';
        if (unit < title.size()) {
            const bool pair = IsHighSurrogate(title[unit]) && unit + 1 < title.size() && IsLowSurrogate(title[unit + 1]);
            unit += pair ? 2 : 1;
        }
    }
}

} // namespace

bool IsLongOperationTitle(const char16_t* title)
{
    if (!title)
        return false;
    const std::u16string_view text(title);
    for (const char16_t* word : {u"Progress", u"Printing", u"Copying", u"remaining"}) {
        if (text.find(word) != std::u16string_view::npos)
            return true;
    }
    char16_t first[4];
    FirstCharacters(text, first);
    return (first[1] == u'%' && first[2] == u' ') || (first[2] == u'%' && first[3] == u' ');
}

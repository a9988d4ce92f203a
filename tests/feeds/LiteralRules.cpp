#include "LiteralRules.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

CString LiteralCleanDescription(CString text)
{
    text.Replace("\\", "\\\\");
    text.Replace("{", "\\{");
    text.Replace("}", "\\}");
    text.Replace("<p>", "");
    text.Replace("<P>", "");
    text.Replace("</p>", "");
    text.Replace("</P>", "");
    text.Replace("<br />", "\\par ");
    text.Replace("</a>", "");
    for (;;) {
        int start = -1;
        for (const char* tag : {"<a", "<div", "<img", "<"}) {
            start = text.Find(tag);
            if (start >= 0)
                break;
        }
        if (start < 0)
            return text;
        int end = text.Find('>', start);
        if (end < 0)
            end = text.GetLength() - 1;
        text = text.Left(start) + text.Mid(end + 1);
    }
}

namespace {

bool Unsuitable(const char* text)
{
    size_t token = 0;
    size_t digits = 0;
    for (const char* at = text; *at; ++at) {
        const bool blank = std::isspace(static_cast<unsigned char>(*at)) != 0;
        token = blank ? 0 : token + 1;
        digits = std::isdigit(static_cast<unsigned char>(*at)) ? digits + 1 : 0;
        if (token > 11 || digits > 9)
            return true;
    }
    return false;
}

} // namespace

bool LibcParsePubDate(const char* text, int& year, int& month, int& day, int& hour, int& minute, int& second)
{
    if (Unsuitable(text))
        return false;
    std::vector<char> buffer(std::strlen(text) + 1, '\0');
    const int read = std::sscanf(text, "%s %d %s %d %d:%d:%d", buffer.data(), &day, buffer.data(), &year, &hour,
                                 &minute, &second);
    if (read <= 0)
        return true;
    const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        if (strcasecmp(buffer.data(), names[i]) == 0) {
            month = i + 1;
            break;
        }
    }
    return true;
}

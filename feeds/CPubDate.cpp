#include "feeds/CPubDate.h"

#include "feeds/ParsePubDate.h"

CPubDate CPubDate::FromText(const char* text)
{
    CPubDate date;
    ParsePubDate(text, date.year, date.month, date.day, date.hour, date.minute, date.second);
    return date;
}

bool CPubDate::IsEarlierThan(const CPubDate& other) const
{
    const int mine[] = {year, month, day, hour, minute, second};
    const int theirs[] = {other.year, other.month, other.day, other.hour, other.minute, other.second};
    for (int i = 0; i < 6; ++i) {
        if (mine[i] != theirs[i])
            return mine[i] < theirs[i];
    }
    return false;
}

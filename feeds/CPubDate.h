// The six components of an item's publication date, as ParsePubDate reads them.
#pragma once

struct CPubDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    // A component that the text does not give is 0, so an undated item is the oldest.
    static CPubDate FromText(const char* text);

    // Compares year, then month, day, hour, minute and second: the first that differs decides.
    bool IsEarlierThan(const CPubDate& other) const;
};

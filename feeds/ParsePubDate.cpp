#include "feeds/ParsePubDate.h"

#include <climits>
#include <cstddef>

namespace {

const size_t kTokenCapacity = 11; // a 12-byte buffer: 11 characters and the terminator

const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Token {
    const char* start = nullptr;
    size_t length = 0;
};

// The conversions of the C library's formatted input that the date pattern uses.
class Scanner {
public:
    explicit Scanner(const char* text) : m_at(text) {}

    void SkipBlanks()
    {
        while (IsBlank(*m_at))
            ++m_at;
    }

    // %s: blanks skipped, then one or more non-blank characters.
    bool ReadToken(Token& token)
    {
        SkipBlanks();
        if (*m_at == '\0')
            return false;
        token.start = m_at;
        while (*m_at != '\0' && !IsBlank(*m_at))
            ++m_at;
        token.length = static_cast<size_t>(m_at - token.start);
        return true;
    }

    // %d: blanks skipped, an optional sign, then one or more decimal digits.
    bool ReadNumber(int& value)
    {
        SkipBlanks();
        bool negative = false;
        if (*m_at == '+' || *m_at == '-') {
            negative = *m_at == '-';
            ++m_at;
        }
        if (!IsDigit(*m_at))
            return false;
        long long magnitude = 0;
        const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
        while (IsDigit(*m_at)) {
            magnitude = magnitude * 10 + (*m_at - '0');
            if (magnitude > limit)
                magnitude = limit;
            ++m_at;
        }
        value = static_cast<int>(negative ? -magnitude : magnitude);
        return true;
    }

    // An ordinary character of the pattern matches only itself.
    bool Expect(char c)
    {
        if (*m_at != c)
            return false;
        ++m_at;
        return true;
    }

private:
    const char* m_at;
};

bool EqualsIgnoringCase(const Token& token, const char* name)
{
    size_t i = 0;
    for (; i < token.length; ++i) {
        if (name[i] == '\0' || AsciiLower(token.start[i]) != AsciiLower(name[i]))
            return false;
    }
    return name[i] == '\0';
}

int MonthOf(const Token& token)
{
    for (int i = 0; i < 12; ++i) {
        if (EqualsIgnoringCase(token, kMonthNames[i]))
            return i + 1;
    }
    return 0;
}

// Reads exactly `count` digits at `at` into `value`.
bool ReadDigits(const char*& at, const char* end, int count, int& value)
{
    if (end - at < count)
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (!IsDigit(at[i]))
            return false;
        value = value * 10 + (at[i] - '0');
    }
    at += count;
    return true;
}

bool Accept(const char*& at, const char* end, char c)
{
    if (at < end && *at == c) {
        ++at;
        return true;
    }
    return false;
}

// YYYY-MM-DDThh:mm[:ss[.fraction]][Z | +hh | +hhmm | +hh:mm], the whole token.
struct IsoDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool hasSecond = false;
};

bool ReadIsoZone(const char*& at, const char* end)
{
    if (at == end)
        return true;
    if (*at == 'Z' || *at == 'z')
        return ++at == end;
    if (*at != '+' && *at != '-')
        return false;
    ++at;
    int hours = 0, minutes = 0;
    if (!ReadDigits(at, end, 2, hours))
        return false;
    if (at == end)
        return true;
    Accept(at, end, ':');
    return ReadDigits(at, end, 2, minutes) && at == end;
}

bool ReadIsoDate(const Token& token, IsoDate& date)
{
    const char* at = token.start;
    const char* end = token.start + token.length;
    if (!ReadDigits(at, end, 4, date.year) || !Accept(at, end, '-')
        || !ReadDigits(at, end, 2, date.month) || !Accept(at, end, '-')
        || !ReadDigits(at, end, 2, date.day))
        return false;
    if (!Accept(at, end, 'T') && !Accept(at, end, 't'))
        return false;
    if (!ReadDigits(at, end, 2, date.hour) || !Accept(at, end, ':')
        || !ReadDigits(at, end, 2, date.minute))
        return false;
    if (Accept(at, end, ':')) {
        if (!ReadDigits(at, end, 2, date.second))
            return false;
        date.hasSecond = true;
        if (Accept(at, end, '.') || Accept(at, end, ',')) {
            if (at == end || !IsDigit(*at))
                return false;
            while (at < end && IsDigit(*at))
                ++at;
        }
    }
    return ReadIsoZone(at, end);
}

} // namespace

void ParsePubDate(const char* text, int& year, int& month, int& day, int& hour, int& minute, int& second)
{
    if (!text)
        return;
    Scanner scanner(text);
    Token weekday;
    if (!scanner.ReadToken(weekday))
        return;
    if (weekday.length > kTokenCapacity) {
        IsoDate iso;
        if (!ReadIsoDate(weekday, iso))
            return;
        year = iso.year;
        month = iso.month;
        day = iso.day;
        hour = iso.hour;
        minute = iso.minute;
        if (iso.hasSecond)
            second = iso.second;
        return;
    }

    // The numbers are held back until the second token is known to fit.
    int values[5] = {0, 0, 0, 0, 0}; // day, year, hour, minute, second
    int read = 0;
    Token monthName = weekday;
    Token monthToken;
    scanner.SkipBlanks();
    if (scanner.ReadNumber(values[0])) {
        read = 1;
        scanner.SkipBlanks();
        if (scanner.ReadToken(monthToken)) {
            if (monthToken.length > kTokenCapacity)
                return;
            monthName = monthToken;
            scanner.SkipBlanks();
            if (scanner.ReadNumber(values[1])) {
                read = 2;
                scanner.SkipBlanks();
                if (scanner.ReadNumber(values[2])) {
                    read = 3;
                    if (scanner.Expect(':') && scanner.ReadNumber(values[3])) {
                        read = 4;
                        if (scanner.Expect(':') && scanner.ReadNumber(values[4]))
                            read = 5;
                    }
                }
            }
        }
    }

    int* const outputs[5] = {&day, &year, &hour, &minute, &second};
    for (int i = 0; i < read; ++i)
        *outputs[i] = values[i];
    if (const int number = MonthOf(monthName))
        month = number;
}

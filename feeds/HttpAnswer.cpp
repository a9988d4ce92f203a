#include "feeds/HttpAnswer.h"

#include <cstring>

#include "feeds/ParsePubDate.h"

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const char* b)
{
    const size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::string Trimmed(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    return text.substr(begin, end - begin);
}

// Printable ASCII only: nothing that could end a header line of the next request or split it.
bool IsSafeValue(const std::string& value)
{
    if (value.empty() || value.size() > kLongestValidator)
        return false;
    for (const char c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    }
    return true;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

long long RetryAfterSeconds(const std::string& value, long long now)
{
    long long seconds = -1;
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
        seconds = 0;
        for (const char c : value) {
            seconds = seconds * 10 + (c - '0');
            if (seconds > kLongestRetryAfterSeconds)
                return kLongestRetryAfterSeconds;
        }
        return seconds;
    }
    const long long when = HttpDateToEpochSeconds(value.c_str());
    if (when < 0)
        return -1;
    seconds = when - now;
    if (seconds < 0)
        return 0;
    return seconds > kLongestRetryAfterSeconds ? kLongestRetryAfterSeconds : seconds;
}

} // namespace

long long HttpDateToEpochSeconds(const char* text)
{
    int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
    ParsePubDate(text ? text : "", year, month, day, hour, minute, second);
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23
        || minute < 0 || minute > 59 || second < 0 || second > 60)
        return -1;
    return ((DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 24 + hour) * 60 + minute)
        * 60 + second;
}

CHttpAnswer ReadHttpAnswer(unsigned status, const std::string& headers, long long nowEpochSeconds)
{
    CHttpAnswer answer;
    answer.status = status;
    bool sawEtag = false, sawLastModified = false, sawRetryAfter = false;
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find('\n', start);
        if (end == std::string::npos)
            end = headers.size();
        const std::string line = headers.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Trimmed(line.substr(0, colon));
        const std::string value = Trimmed(line.substr(colon + 1));
        if (SameName(name, "ETag") && !sawEtag) {
            sawEtag = true;
            if (IsSafeValue(value))
                answer.validators.etag = value;
        } else if (SameName(name, "Last-Modified") && !sawLastModified) {
            sawLastModified = true;
            if (IsSafeValue(value) && HttpDateToEpochSeconds(value.c_str()) >= 0)
                answer.validators.lastModified = value;
        } else if (SameName(name, "Retry-After") && !sawRetryAfter) {
            sawRetryAfter = true;
            answer.retryAfterSeconds = RetryAfterSeconds(value, nowEpochSeconds);
        }
    }
    return answer;
}

std::string ConditionalRequestHeaders(const CHttpValidators& validators)
{
    std::string lines;
    if (IsSafeValue(validators.etag))
        lines += "If-None-Match: " + validators.etag + "\r\n";
    if (IsSafeValue(validators.lastModified))
        lines += "If-Modified-Since: " + validators.lastModified + "\r\n";
    return lines;
}

// What a feed's web server says about a download beyond its body: the validators that let the
// next download ask "only if it changed" (ETag, Last-Modified), and how long to leave the feed
// alone after a 429 or 503 (Retry-After). Portable; the headers come from the server, so every
// value is checked before it can go into a request of ours.
#pragma once
#include <string>

// The validators of a feed's last full answer, as the next request sends them back.
struct CHttpValidators {
    std::string etag;         // the entity tag, quotes and weak mark included
    std::string lastModified; // an HTTP date

    bool Empty() const { return etag.empty() && lastModified.empty(); }
};

struct CHttpAnswer {
    unsigned status = 0;
    CHttpValidators validators;
    long long retryAfterSeconds = -1; // -1: the server named no time
    // How the download ended, for the user's eyes only: the system's result code (0 when it
    // ended well), whether it was given up (no progress, past its deadline), and the last
    // address a redirect led to.
    long result = 0;
    bool abandoned = false;
    std::string redirectedTo;
};

// The longest value a validator may have to be sent back, and the longest wait a server may ask.
const size_t kLongestValidator = 512;
const long long kLongestRetryAfterSeconds = 24 * 60 * 60;

// Reads the response headers ("Name: value" lines, CR LF or LF between them, names in any
// letter case, the first of a repeated header counting). A validator that holds a control
// character, a character beyond ASCII or is longer than kLongestValidator is dropped; a
// Retry-After of delta seconds or an HTTP date (taken against nowEpochSeconds) is held to
// 0 .. kLongestRetryAfterSeconds, and dropped when it is neither.
CHttpAnswer ReadHttpAnswer(unsigned status, const std::string& headers, long long nowEpochSeconds);

// The request header lines that ask for the document only if it changed since these validators
// were given ("If-None-Match", "If-Modified-Since"), each ended by CR LF; empty without any.
std::string ConditionalRequestHeaders(const CHttpValidators& validators);

// Seconds since 1970-01-01 00:00:00 UTC of an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"), or -1
// when the text is not one.
long long HttpDateToEpochSeconds(const char* text);

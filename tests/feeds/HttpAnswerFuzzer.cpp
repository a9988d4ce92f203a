// Response headers from any server: whatever they hold, what goes back into a request of ours is
// printable ASCII in whole lines, and the wait is within its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "feeds/HttpAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string headers(reinterpret_cast<const char*>(data), size);
    const CHttpAnswer answer = ReadHttpAnswer(503, headers, 1765274400);
    if (answer.retryAfterSeconds < -1 || answer.retryAfterSeconds > kLongestRetryAfterSeconds)
        std::abort();
    const std::string lines = ConditionalRequestHeaders(answer.validators);
    size_t lineFeeds = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(lines[i]);
        if (c == '\n') {
            if (i == 0 || lines[i - 1] != '\r')
                std::abort();
            ++lineFeeds;
        } else if (c != '\r' && (c < 0x20 || c > 0x7E)) {
            std::abort();
        }
    }
    if (lineFeeds > 2 || (lineFeeds != 0 && lines.back() != '\n'))
        std::abort();
    HttpDateToEpochSeconds(headers.c_str());
    return 0;
}

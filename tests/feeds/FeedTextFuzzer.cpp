// libFuzzer target for the two functions that take feed text apart: CleanDescription and
// ParsePubDate. Besides the sanitizers' checks it holds them to their promises and to the
// rules done the plain way.
#include "feeds/CleanDescription.h"
#include "feeds/ParsePubDate.h"

#include "LiteralRules.h"
#include "tests/FuzzCheck.h"

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {


void FuzzCleanDescription(const std::string& input)
{
    CString text(input.data(), static_cast<int>(input.size()));
    CleanDescription(text);
    const std::string rtf(text.GetString(), static_cast<size_t>(text.GetLength()));
    Check(rtf.find('<') == std::string::npos, "no '<' is left");
    for (size_t i = 0; i < rtf.size(); ++i) {
        Check(rtf[i] != '{' && rtf[i] != '}', "braces are escaped");
        if (rtf[i] != '\\')
            continue;
        if (i + 1 < rtf.size() && (rtf[i + 1] == '\\' || rtf[i + 1] == '{' || rtf[i + 1] == '}'))
            ++i;
        else {
            Check(rtf.compare(i, 5, "\\par ") == 0, "the paragraph mark is the only control word");
            i += 4;
        }
    }
    // The plain rules search the whole text for every tag: only short inputs are worth it.
    if (input.size() <= 512) {
        const CString expected = LiteralCleanDescription(CString(input.data(), static_cast<int>(input.size())));
        Check(text == expected, "the same text as the plain rules give");
    }
}

void FuzzParsePubDate(const std::string& input)
{
    const std::string date = input.substr(0, input.find('\0'));
    int a[6] = {-7, -7, -7, -7, -7, -7};
    int b[6] = {-7, -7, -7, -7, -7, -7};
    ParsePubDate(date.c_str(), a[0], a[1], a[2], a[3], a[4], a[5]);
    ParsePubDate(date.c_str(), b[0], b[1], b[2], b[3], b[4], b[5]);
    Check(std::memcmp(a, b, sizeof a) == 0, "the same text gives the same values");
    int c[6] = {-7, -7, -7, -7, -7, -7};
    if (LibcParsePubDate(date.c_str(), c[0], c[1], c[2], c[3], c[4], c[5]))
        Check(std::memcmp(a, c, sizeof a) == 0, "the same values as the C library's formatted input");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    FuzzCleanDescription(input);
    FuzzParsePubDate(input);
    return 0;
}

#include "popup/ServiceAddress.h"

#include <cstring>

namespace {

const char* const kSchemes[] = {"http://", "https://"};

// The length of the address's scheme and "//", or 0 when it has neither of the service's.
size_t SchemeLength(const char* text)
{
    for (const char* scheme : kSchemes) {
        const size_t length = std::strlen(scheme);
        if (std::strncmp(text, scheme, length) == 0)
            return length;
    }
    return 0;
}

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

} // namespace

bool IsServiceAddress(const char* text)
{
    const size_t schemeLength = text ? SchemeLength(text) : 0;
    if (schemeLength == 0)
        return false;
    const char* p = text + schemeLength;
    const char* host = p;
    while (IsHostChar(*p))
        ++p;
    if (p == host || *host == '.' || *host == '-')
        return false;
    if (*p == ':') {
        const char* port = ++p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (p == port || p - port > 5)
            return false;
    }
    if (*p == '/')
        ++p;
    return *p == '\0';
}

CString ChooseServiceAddress(const char* overrideValue, const char* builtIn)
{
    CString address = IsServiceAddress(overrideValue) ? overrideValue : builtIn;
    if (!address.IsEmpty() && address.GetAt(address.GetLength() - 1) == '/')
        address = address.Left(address.GetLength() - 1);
    return address;
}

CString ServiceDomain(const char* address)
{
    CString domain = address ? address : "";
    domain = domain.Mid(static_cast<int>(SchemeLength(domain)));
    int end = 0;
    while (end < domain.GetLength() && domain.GetAt(end) != ':' && domain.GetAt(end) != '/')
        ++end;
    domain = domain.Left(end);
    if (std::strncmp(domain, "www.", 4) == 0)
        domain = domain.Mid(4);
    return domain;
}

#include "fw/CInternetSession.h"

#include <initializer_list>

UINT CInternetFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!::InternetReadFile(m_file.Get(), buffer, count, &read))
        throw CInternetException(::GetLastError());
    return read;
}

UINT CInternetFile::ReadAvailable(void* buffer, UINT count)
{
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(m_file.Get(), &available, 0, 0))
        throw CInternetException(::GetLastError());
    if (available == 0)
        return 0;
    return Read(buffer, available < count ? available : count);
}

DWORD CInternetFile::StatusCode() const
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoA(m_file.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}

std::string CInternetFile::RawHeaders() const
{
    DWORD size = 0;
    ::HttpQueryInfoA(m_file.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::string();
    std::string headers(size, '\0');
    if (!::HttpQueryInfoA(m_file.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, &headers[0], &size, nullptr))
        return std::string();
    headers.resize(size);
    const size_t statusLineEnd = headers.find("\r\n");
    return statusLineEnd == std::string::npos ? std::string() : headers.substr(statusLineEnd + 2);
}

CInternetSession::CInternetSession(const char* agent, DWORD /*context*/, DWORD accessType, const char* proxyName,
                                   const char* proxyBypass, DWORD flags)
    : m_session(::InternetOpenA(agent, accessType, proxyName, proxyBypass, flags))
{
    if (!m_session)
        throw CInternetException(::GetLastError());
}

void CInternetSession::SetTimeouts(DWORD milliseconds)
{
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(m_session.Get(), option, &milliseconds, sizeof milliseconds);
}

std::unique_ptr<CInternetFile> CInternetSession::OpenURL(const char* url, DWORD context, DWORD flags,
                                                         const char* headers)
{
    HINTERNET file = ::InternetOpenUrlA(m_session.Get(), url, headers, headers ? static_cast<DWORD>(-1) : 0, flags,
                                        context);
    if (!file)
        throw CInternetException(::GetLastError());
    return std::make_unique<CInternetFile>(file);
}

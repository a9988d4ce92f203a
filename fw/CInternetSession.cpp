#include "fw/CInternetSession.h"

#include <initializer_list>

UINT CInternetFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!::InternetReadFile(m_file.Get(), buffer, count, &read))
        throw CInternetException(::GetLastError());
    return read;
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

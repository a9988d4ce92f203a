// The address of the service web server that serves the preset feed list and the sponsor
// picture and takes the view and click reports: "http://" or "https://" and a host, with an
// optional port and no path. One address is built in; the environment may name another for a local server.
#pragma once
#include "fw/CString.h"

// True for "http://HOST" or "http://HOST:PORT", or the same with "https://" (a trailing "/"
// allowed), where HOST is made of letters, digits, dots and hyphens and PORT of one to five digits.
bool IsServiceAddress(const char* text);

// overrideValue when it is a service address (without a trailing "/"), otherwise builtIn.
CString ChooseServiceAddress(const char* overrideValue, const char* builtIn);

// The domain of a service address as a user would type it: the host, without the scheme, the
// port or a leading "www.".
CString ServiceDomain(const char* address);

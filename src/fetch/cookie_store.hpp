// Keeping the cookies that a response sets, for the host that was asked.
#pragma once

#include "text/text.hpp"

namespace crawlerview {

// Seam: where cookies go (platform/cookie_jar.hpp gives the process's store).
struct CookieStore {
    virtual ~CookieStore() = default;
    // InternetSetCookieA(url, name, data). An empty name or data stands for an absent one (the
    // WinINet back-end passes it as a null pointer). Failures are not reported.
    virtual void setCookie(const Text& url, const Text& name, const Text& data) = 0;
};

// Stores one cookie for "http://" + host for every line of the raw header block that starts
// with "Set-Cookie: " (ASCII case ignored): the name is what precedes the first "=" of the rest of
// the line, the data everything after it, attributes included, nothing trimmed. A rest without
// "=" is stored with no name.
void storeResponseCookies(const Text& headers, const Text& host, CookieStore& store);

}  // namespace crawlerview

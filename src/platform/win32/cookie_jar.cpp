// The process's cookie store on Windows: WinINet's own, behind InternetSetCookieA, which every
// later WinINet request of the user's session consults.
#include "platform/cookie_jar.hpp"

#include <windows.h>
#include <wininet.h>

namespace crawlerview::platform {
namespace {

const char* absentIfEmpty(const Text& text) {
    return text.empty() ? nullptr : text.c_str();
}

struct WinInetCookieStore final : CookieStore {
    void setCookie(const Text& url, const Text& name, const Text& data) override {
        InternetSetCookieA(absentIfEmpty(url), absentIfEmpty(name), absentIfEmpty(data));
    }
};

}  // namespace

CookieStore& systemCookieStore() {
    static WinInetCookieStore store;
    return store;
}

}  // namespace crawlerview::platform

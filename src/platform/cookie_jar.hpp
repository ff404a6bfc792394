// Seam: the platform's cookie store (the one behind InternetSetCookieA on Windows; on Linux the
// jar of the HTTP client, shared by every request of the process). Back-ends: */cookie_jar.cpp.
#pragma once

#include "fetch/cookie_store.hpp"

namespace crawlerview::platform {

// The process's store: never destroyed, safe to use from any thread. Cookies stored for a host
// are sent by systemHttpClient() on later requests to that host.
CookieStore& systemCookieStore();

}  // namespace crawlerview::platform

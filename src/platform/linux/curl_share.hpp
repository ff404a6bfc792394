// Shared within the Linux back-end: libcurl's process-wide set-up and the one share handle that
// every request uses, so that all of them see one cookie jar.
#pragma once

#include <curl/curl.h>

namespace crawlerview::platform {

// curl_global_init, once per process, from whichever thread comes first.
void ensureCurlInitialised();

// The process's share handle (cookies), created on first use and never destroyed: an abandoned
// worker may still be using it while the program ends.
CURLSH* curlShare();

}  // namespace crawlerview::platform

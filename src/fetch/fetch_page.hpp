// Fetching one page on a worker thread, with a time-out, while the window stays responsive.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.hpp"

namespace crawlerview {

struct FetchRequest {
    Text url;
    std::optional<Text> method, proxy, userName, password, headerLines, postData;
    std::optional<std::int32_t> timeoutSeconds;  // left out or 0: 90 seconds
    Text* responseHeaders = nullptr;             // receives the raw header block when given
};

// The response body, or an empty buffer when the fetch failed in any way or timed out. Blocks
// until the worker has ended, or until a whole time-out period has passed without the worker
// ending and without events for the window, dispatching the window's events meanwhile. Call on
// the thread that runs the window's event loop.
ByteBuffer fetchPage(const FetchRequest& request);

}  // namespace crawlerview

// Fetching one page on a worker thread, with a time-out, while the window stays responsive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "fetch/fetch_channel.hpp"
#include "platform/worker_thread.hpp"
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

// The platform calls that a fetch makes, in one place so that tests can watch or replace them.
// fetchPage(request) uses HttpWorker, platform::startWorker, platform::waitForWorkerOrEvents and
// platform::processPendingEvents.
struct FetchSteps {
    platform::WorkerBody body;
    std::function<platform::WorkerHandle(platform::WorkerBody, std::shared_ptr<FetchChannel>)>
        startWorker;
    std::function<platform::WaitResult(platform::Worker&, std::int32_t timeoutMs)> wait;
    std::function<bool()> processPendingEvents;  // true: the program is ending
};
ByteBuffer fetchPage(const FetchRequest& request, const FetchSteps& steps);

// The wait period of one fetch, in milliseconds: 90 seconds when the time-out is left out, 0 or
// negative; never more than fits in 32 bits.
std::int32_t waitPeriodMs(std::optional<std::int32_t> timeoutSeconds);

}  // namespace crawlerview

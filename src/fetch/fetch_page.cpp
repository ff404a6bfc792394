#include "fetch/fetch_page.hpp"

#include <algorithm>
#include <limits>

#include "fetch/http_worker.hpp"
#include "platform/event_loop.hpp"

namespace crawlerview {
namespace {

constexpr std::int64_t kDefaultTimeoutSeconds = 90;

Text givenOrEmpty(const std::optional<Text>& value) {
    return value.value_or(Text());
}

}  // namespace

std::int32_t waitPeriodMs(std::optional<std::int32_t> timeoutSeconds) {
    std::int64_t seconds = timeoutSeconds.value_or(0);
    // A negative period cannot be waited; it is read like a left-out one rather than as "at once".
    if (seconds <= 0) {
        seconds = kDefaultTimeoutSeconds;
    }
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(seconds * 1000, std::numeric_limits<std::int32_t>::max()));
}

ByteBuffer fetchPage(const FetchRequest& request) {
    static const FetchSteps steps{
        [](std::shared_ptr<FetchChannel> channel) { return HttpWorker(std::move(channel)); },
        platform::startWorker,
        platform::waitForWorkerOrEvents,
        platform::processPendingEvents,
    };
    return fetchPage(request, steps);
}

ByteBuffer fetchPage(const FetchRequest& request, const FetchSteps& steps) {
    if (request.responseHeaders != nullptr) {
        request.responseHeaders->clear();
    }
    auto channel = std::make_shared<FetchChannel>();
    writeRequestRecord(*channel, RequestRecord{
                                     request.url,
                                     givenOrEmpty(request.method),
                                     givenOrEmpty(request.proxy),
                                     givenOrEmpty(request.userName),
                                     givenOrEmpty(request.password),
                                     givenOrEmpty(request.headerLines),
                                     givenOrEmpty(request.postData),
                                 });
    const std::int32_t periodMs = waitPeriodMs(request.timeoutSeconds);

    platform::WorkerHandle worker = steps.startWorker(steps.body, channel);
    if (!worker) {
        return {};
    }
    platform::WaitResult result;
    bool programEnding = false;
    do {
        result = steps.wait(*worker, periodMs);
        programEnding = steps.processPendingEvents();
    } while (!programEnding && result != platform::WaitResult::WorkerEnded &&
             result != platform::WaitResult::TimedOut);
    // A worker that has not ended is told to stop and left to finish on its own; it keeps its
    // share of the channel, which is never looked at again from here.
    worker.reset();
    if (result != platform::WaitResult::WorkerEnded) {
        return {};
    }

    ReplyRecord reply = takeReplyRecord(*channel);
    channel->close();
    if (reply.marker != kReplyMarker) {
        return {};
    }
    if (request.responseHeaders != nullptr) {
        *request.responseHeaders = std::move(reply.headers);
    }
    return std::move(reply.body);
}

}  // namespace crawlerview

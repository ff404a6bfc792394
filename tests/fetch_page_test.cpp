// fetchPage with the platform's real worker threads and waits, and worker bodies that stand in
// for the HTTP exchange: the wait period, the reply judgement and the abandoning of a worker.
#include "fetch/fetch_page.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/event_loop.hpp"

namespace crawlerview {
namespace {

using platform::WaitResult;

FetchRequest urlOnly(const Text& url) {
    FetchRequest request;
    request.url = url;
    return request;
}

TEST(FetchPage, WaitPeriod) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    struct Row {
        std::optional<std::int32_t> seconds;
        std::int32_t ms;
    } rows[] = {
        {std::nullopt, 90000}, {0, 90000},      {-1, 90000},  {-2147483647 - 1, 90000}, {1, 1000},
        {2147483, 2147483000}, {2147484, kMax}, {kMax, kMax},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds ? std::to_string(*row.seconds) : "left out");
        EXPECT_EQ(waitPeriodMs(row.seconds), row.ms);
    }
}

// What the stand-in worker bodies see and do. One fetch at a time in this file.
struct Script {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<RequestRecord> seen;
    bool bodyEnded = false;
    bool letGo = false;
    bool stopSeen = false;
};
Script* script = nullptr;

void finish() {
    std::lock_guard lock(script->mutex);
    script->bodyEnded = true;
    script->changed.notify_all();
}

// Takes the request and replies like a successful exchange.
std::int32_t replyingBody(std::shared_ptr<FetchChannel> channel) {
    script->seen = readRequestRecord(*channel);
    writeReplyRecord(*channel, "HTTP/1.1 200 OK\r\n\r\n", {'b', 0, 'y'});
    finish();
    return 1;
}

// Leaves the request in the channel, as a worker that failed does.
std::int32_t failingBody(std::shared_ptr<FetchChannel>) {
    finish();
    return 0;
}

// Writes its reply at once but ends only when let go, or when told to stop.
std::int32_t lateBody(std::shared_ptr<FetchChannel> channel) {
    writeReplyRecord(*channel, "HTTP/1.1 200 OK\r\n\r\n", {'l', 'a', 't', 'e'});
    platform::StopNotification wake([] {
        std::lock_guard lock(script->mutex);
        script->changed.notify_all();
    });
    {
        std::unique_lock lock(script->mutex);
        script->changed.wait(lock, [] { return script->letGo || platform::stopRequested(); });
        script->stopSeen = platform::stopRequested();
    }
    // Written after the caller has given up: must never reach it.
    writeReplyRecord(*channel, "HTTP/1.1 200 OK\r\n\r\n", {'l', 'a', 't', 'e', 'r'});
    finish();
    return 1;
}

class FetchPageSteps : public ::testing::Test {
  protected:
    void SetUp() override { script = &state_; }
    void TearDown() override {
        // Lets a worker that is still blocked go, and waits for it, so that no test's worker
        // outlives the state it uses.
        std::unique_lock lock(state_.mutex);
        state_.letGo = true;
        state_.changed.notify_all();
        state_.changed.wait_for(lock, std::chrono::seconds(30),
                                [this] { return state_.bodyEnded; });
    }

    FetchSteps steps(platform::WorkerBody body) {
        return FetchSteps{
            body,
            [this](platform::WorkerBody b, std::shared_ptr<FetchChannel> channel) {
                auto worker = platform::startWorker(b, std::move(channel));
                if (waitForBodyBeforeWaiting) {
                    std::unique_lock lock(state_.mutex);
                    state_.changed.wait(lock, [this] { return state_.bodyEnded; });
                }
                return worker;
            },
            [this](platform::Worker& worker, std::int32_t timeoutMs) {
                periods.push_back(timeoutMs);
                if (!scriptedWaits.empty()) {
                    const WaitResult result = scriptedWaits.front();
                    scriptedWaits.erase(scriptedWaits.begin());
                    return result;
                }
                const WaitResult result = platform::waitForWorkerOrEvents(worker, timeoutMs);
                results.push_back(result);
                return result;
            },
            [this] {
                ++pendingEventRounds;
                return programEnding;
            },
        };
    }

    Script state_;
    bool waitForBodyBeforeWaiting = false;
    std::vector<WaitResult> scriptedWaits;  // answered before the real wait is asked
    std::vector<std::int32_t> periods;
    std::vector<WaitResult> results;
    int pendingEventRounds = 0;
    bool programEnding = false;
};

TEST_F(FetchPageSteps, LeftOutFieldsTravelAsEmptyTextsAndTheReplyComesBack) {
    struct Row {
        const char* name;
        std::optional<std::int32_t> timeout;
        std::int32_t period;
    } rows[] = {{"left out", std::nullopt, 90000},
                {"zero", 0, 90000},
                {"negative", -3, 90000},
                {"seven", 7, 7000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        state_.bodyEnded = false;
        periods.clear();
        Text headers = "stale";
        FetchRequest request;
        request.url = "http://h/p";
        request.proxy = "p:1";
        request.timeoutSeconds = row.timeout;
        request.responseHeaders = &headers;
        const ByteBuffer body = fetchPage(request, steps(replyingBody));
        EXPECT_EQ(body, (ByteBuffer{'b', 0, 'y'}));
        EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\n\r\n");
        ASSERT_FALSE(periods.empty());
        EXPECT_EQ(periods.front(), row.period);
        ASSERT_TRUE(state_.seen.has_value());
        EXPECT_EQ(state_.seen->url, "http://h/p");
        EXPECT_EQ(state_.seen->proxy, "p:1");
        for (const Text* empty :
             {&state_.seen->method, &state_.seen->userName, &state_.seen->password,
              &state_.seen->headerLines, &state_.seen->postData}) {
            EXPECT_EQ(*empty, "");
        }
    }
}

TEST_F(FetchPageSteps, WorkerThatEndsBeforeTheFirstWait) {
    waitForBodyBeforeWaiting = true;
    EXPECT_EQ(fetchPage(urlOnly("http://h/"), steps(replyingBody)), (ByteBuffer{'b', 0, 'y'}));
    EXPECT_EQ(results, std::vector<WaitResult>{WaitResult::WorkerEnded});
    EXPECT_EQ(pendingEventRounds, 1);
}

TEST_F(FetchPageSteps, WorkerWithoutAReplyGivesAnEmptyBodyAndNoHeaders) {
    Text headers = "stale";
    FetchRequest request;
    request.url = "http://h/";
    request.responseHeaders = &headers;
    EXPECT_TRUE(fetchPage(request, steps(failingBody)).empty());
    EXPECT_EQ(headers, "");  // not the URL that the request record holds in that place
}

TEST_F(FetchPageSteps, EventsStartANewFullPeriod) {
    scriptedWaits = {WaitResult::EventsArrived, WaitResult::EventsArrived};
    FetchRequest request;
    request.url = "http://h/";
    request.timeoutSeconds = 5;
    EXPECT_EQ(fetchPage(request, steps(replyingBody)), (ByteBuffer{'b', 0, 'y'}));
    EXPECT_EQ(periods, (std::vector<std::int32_t>{5000, 5000, 5000}));
    EXPECT_EQ(pendingEventRounds, 3);
}

TEST_F(FetchPageSteps, TimeOutDiscardsAReplyAlreadyWrittenAndAbandonsTheWorker) {
    FetchRequest request;
    request.url = "http://h/";
    request.timeoutSeconds = 1;
    Text headers = "stale";
    request.responseHeaders = &headers;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(fetchPage(request, steps(lateBody)).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(results, std::vector<WaitResult>{WaitResult::TimedOut});
    EXPECT_EQ(headers, "");
    // The released worker was told to stop and ends by itself.
    std::unique_lock lock(state_.mutex);
    ASSERT_TRUE(state_.changed.wait_for(lock, std::chrono::seconds(30),
                                        [this] { return state_.bodyEnded; }));
    EXPECT_TRUE(state_.stopSeen);
}

TEST_F(FetchPageSteps, ProgramEndingAbandonsTheFetchAtOnce) {
    scriptedWaits = {WaitResult::EventsArrived};
    programEnding = true;
    FetchRequest request;
    request.url = "http://h/";
    EXPECT_TRUE(fetchPage(request, steps(lateBody)).empty());
    EXPECT_EQ(periods.size(), 1u);
    std::unique_lock lock(state_.mutex);
    ASSERT_TRUE(state_.changed.wait_for(lock, std::chrono::seconds(30),
                                        [this] { return state_.bodyEnded; }));
    EXPECT_TRUE(state_.stopSeen);
}

TEST_F(FetchPageSteps, WorkerThatCannotStartGivesAnEmptyBody) {
    FetchSteps none = steps(replyingBody);
    none.startWorker = [](platform::WorkerBody, std::shared_ptr<FetchChannel>) {
        return platform::WorkerHandle();
    };
    none.wait = [](platform::Worker&, std::int32_t) -> WaitResult {
        ADD_FAILURE() << "waited for a worker that does not exist";
        return WaitResult::TimedOut;
    };
    EXPECT_TRUE(fetchPage(urlOnly("http://h/"), none).empty());
    state_.bodyEnded = true;
}

}  // namespace
}  // namespace crawlerview

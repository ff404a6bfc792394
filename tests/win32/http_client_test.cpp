// The WinINet client and the worker thread at the seam: the guards that WinINet itself lacks, the
// header-block sizing rule, and the cancellation of a worker that is blocked on the network.
#include "platform/http_client.hpp"

#include "tests/win32/loopback.hpp"  // winsock2.h before windows.h
// After winsock2.h.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "fetch/fetch_channel.hpp"
#include "platform/worker_thread.hpp"

namespace crawlerview {
namespace {

using platform::HttpHandle;
using platform::systemHttpClient;

// Handles closed in reverse order of opening, whatever the test does.
struct Exchange {
    HttpHandle internet = nullptr, connection = nullptr, request = nullptr;
    ~Exchange() {
        for (HttpHandle handle : {request, connection, internet}) {
            if (handle != nullptr) {
                systemHttpClient().closeHandle(handle);
            }
        }
    }
    bool open(int port, const char* path) {
        auto& client = systemHttpClient();
        internet = client.openInternet("seam test", platform::kOpenTypeDirect, nullptr, nullptr, 0);
        if (internet == nullptr) {
            return false;
        }
        connection = client.connect(internet, "127.0.0.1", port, nullptr, nullptr,
                                    platform::kServiceHttp, 0, 0);
        if (connection == nullptr) {
            return false;
        }
        request = client.openRequest(connection, nullptr, path, "HTTP/1.1", nullptr, nullptr,
                                     platform::kFlagReload, 0);
        return request != nullptr;
    }
};

TEST(WinInetClient, ConnectRefusesWhatWinInetWouldMisread) {
    const int nginxPort = testing::serverPort(testing::serverUrl("CRAWLERVIEW_NGINX_URL"));
    ASSERT_NE(nginxPort, 0) << "run through scripts/test-windows, which starts nginx";
    auto& client = systemHttpClient();
    HttpHandle internet =
        client.openInternet("seam test", platform::kOpenTypeDirect, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    struct Row {
        const char* name;
        const char* host;
        int port;
        bool accepted;
    };
    const Row rows[] = {
        {"port 0 (WinINet: default port)", "127.0.0.1", 0, false},
        {"negative port", "127.0.0.1", -1, false},
        {"port 65536", "127.0.0.1", 65536, false},
        {"port that wraps to the server's", "127.0.0.1", nginxPort + 65536, false},
        {"null host", nullptr, nginxPort, false},
        {"empty host", "", nginxPort, false},
        {"lowest port", "127.0.0.1", 1, true},
        {"highest port", "127.0.0.1", 65535, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HttpHandle connection = client.connect(internet, row.host, row.port, nullptr, nullptr,
                                               platform::kServiceHttp, 0, 0);
        EXPECT_EQ(connection != nullptr, row.accepted);
        if (connection != nullptr) {
            client.closeHandle(connection);
        }
    }
    client.closeHandle(internet);
}

TEST(WinInetClient, QueryInfoCopiesOnlyWhenTheBlockAndItsZeroFit) {
    const int port = testing::serverPort(testing::serverUrl("CRAWLERVIEW_NGINX_URL"));
    ASSERT_NE(port, 0);
    Exchange exchange;
    ASSERT_TRUE(exchange.open(port, "/pad?pad=x"));
    auto& client = systemHttpClient();
    ASSERT_TRUE(client.sendRequest(exchange.request, nullptr, 0, nullptr, 0));

    char small[8];
    std::memset(small, 'Z', sizeof small);
    std::uint32_t length = sizeof small;
    EXPECT_FALSE(client.queryInfo(exchange.request, platform::kQueryRawHeadersCrlf, small, &length,
                                  nullptr));
    EXPECT_EQ(std::string(small, sizeof small), std::string(8, 'Z')) << "buffer must be untouched";
    const std::uint32_t needed = length;
    ASSERT_GT(needed, sizeof small);

    std::string exact(needed, 'Z');
    length = needed;
    ASSERT_TRUE(client.queryInfo(exchange.request, platform::kQueryRawHeadersCrlf, exact.data(),
                                 &length, nullptr));
    EXPECT_EQ(length, needed - 1);
    EXPECT_EQ(exact[needed - 1], '\0');
    EXPECT_EQ(exact.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(exact.substr(needed - 5, 4), "\r\n\r\n");

    std::string oneShort(needed - 1, 'Z');
    length = needed - 1;
    EXPECT_FALSE(client.queryInfo(exchange.request, platform::kQueryRawHeadersCrlf, oneShort.data(),
                                  &length, nullptr));
    EXPECT_EQ(oneShort, std::string(needed - 1, 'Z'));
}

TEST(WinInetClient, ReadOnAFailedOrAbsentRequestReportsZeroBytes) {
    std::uint32_t count = 77;
    char buffer[16];
    EXPECT_FALSE(systemHttpClient().readFile(nullptr, buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);
}

// Dispatches what earlier tests left in this thread's queue, so that it cannot wake a wait.
void drainMessages() {
    MSG pending;
    while (PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&pending);
    }
}

// A worker that waits on a server that never answers; the test sees when it has ended.
HANDLE workerEnded = nullptr;
std::atomic<int> silentPort{0};
std::atomic<bool> sawStop{false};

std::int32_t blockedWorker(std::shared_ptr<FetchChannel>) {
    {
        Exchange exchange;
        if (exchange.open(silentPort, "/")) {
            auto& client = systemHttpClient();
            client.sendRequest(exchange.request, nullptr, 0, nullptr, 0);
            char buffer[512];
            std::uint32_t count = 1;
            while (count != 0) {
                client.readFile(exchange.request, buffer, sizeof buffer, &count);
            }
        }
        sawStop = platform::stopRequested();
    }  // the handles close here, after the cancelled calls: never twice
    SetEvent(workerEnded);
    return 0;
}

TEST(WorkerThread, ReleasedWorkerBlockedInWinInetEndsByItself) {
    auto silent = std::make_unique<testing::SilentServer>();
    ASSERT_NE(silent->port(), 0);
    silentPort = silent->port();
    workerEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(workerEnded, nullptr);

    platform::WorkerHandle worker =
        platform::startWorker(blockedWorker, std::make_shared<FetchChannel>());
    ASSERT_NE(worker, nullptr);
    // The worker is blocked now: the server never answers. Messages that earlier tests left for
    // this thread wake the wait like any input; they are dispatched and the wait starts again.
    platform::WaitResult result = platform::WaitResult::EventsArrived;
    for (int round = 0; round < 50 && result == platform::WaitResult::EventsArrived; ++round) {
        result = platform::waitForWorkerOrEvents(*worker, 500);
        drainMessages();
    }
    EXPECT_EQ(result, platform::WaitResult::TimedOut);
    worker.reset();
    // Windows aborts the blocked call when the releasing side closes the request handle; wine's
    // WinINet lets it wait on until the connection ends. Either way the worker must then end by
    // itself, having seen the stop, without anyone killing it.
    silent.reset();
    // Not a speed test: a generous bound that only a worker stuck for good would exceed.
    EXPECT_EQ(WaitForSingleObject(workerEnded, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(sawStop);
    CloseHandle(workerEnded);
}

std::int32_t quickWorker(std::shared_ptr<FetchChannel> channel) {
    channel->write(Text("done"));
    return platform::stopRequested() ? 2 : 1;
}

TEST(WorkerThread, WaitReportsTheEndOfAWorkerAndPostedMessages) {
    drainMessages();
    auto channel = std::make_shared<FetchChannel>();
    platform::WorkerHandle worker = platform::startWorker(quickWorker, channel);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(platform::waitForWorkerOrEvents(*worker, 20000), platform::WaitResult::WorkerEnded);
    channel->rewind();
    EXPECT_EQ(channel->readText(), "done");

    // A message posted to the waiting thread wakes the wait, before any time-out.
    drainMessages();
    auto silent = std::make_unique<testing::SilentServer>();
    silentPort = silent->port();
    workerEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    platform::WorkerHandle blocked =
        platform::startWorker(blockedWorker, std::make_shared<FetchChannel>());
    ASSERT_NE(blocked, nullptr);
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(platform::waitForWorkerOrEvents(*blocked, 20000),
              platform::WaitResult::EventsArrived);
    blocked.reset();
    // Under wine a blocked receive ends only with its connection (see the test above).
    silent.reset();
    EXPECT_EQ(WaitForSingleObject(workerEnded, 20000), WAIT_OBJECT_0);
    CloseHandle(workerEnded);
}

TEST(WorkerThread, StopRequestedIsFalseOutsideAReleasedWorker) {
    EXPECT_FALSE(platform::stopRequested());
    platform::StopNotification outside([] { FAIL() << "no worker here to stop"; });
}

}  // namespace
}  // namespace crawlerview

// Seam: the worker thread of a fetch and the window thread's wait for it (CreateThread and
// MsgWaitForMultipleObjects on Windows; std::thread and Qt's event dispatcher on Linux).
// Back-ends: */worker_thread.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace crawlerview {
class FetchChannel;
}

namespace crawlerview::platform {

// The worker's body: gets its own share of the channel and returns the thread's exit code.
using WorkerBody = std::int32_t (*)(std::shared_ptr<FetchChannel> channel);

class Worker;  // the back-end's per-worker state
struct WorkerRelease {
    // Releasing a worker that has not ended tells it to stop and lets it run to its end detached;
    // it is never killed in the middle of a call.
    void operator()(Worker* worker) const;
};
using WorkerHandle = std::unique_ptr<Worker, WorkerRelease>;

// Starts one thread that runs body(channel) at once. Returns null when no thread could be
// started. Call on the window thread.
WorkerHandle startWorker(WorkerBody body, std::shared_ptr<FetchChannel> channel);

enum class WaitResult : std::uint32_t {
    WorkerEnded = 0,    // WAIT_OBJECT_0
    EventsArrived = 1,  // WAIT_OBJECT_0 + 1: input, posted messages, timers or paint for the window
    TimedOut = 258,     // WAIT_TIMEOUT
};

// Blocks the window thread until the worker has ended, `timeoutMs` milliseconds have passed, or
// events have arrived for the window thread, whichever comes first. Never spins: a thread that
// waits here uses no CPU until one of the three happens. Does not dispatch the events; that is
// processPendingEvents()'s job (event_loop.hpp). Without a window runtime in the process, only the
// worker's end and the time-out can end the wait.
WaitResult waitForWorkerOrEvents(Worker& worker, std::int32_t timeoutMs);

// Worker side: true on a worker thread whose worker has been released before it ended (the fetch
// was abandoned); false on any other thread. Long calls check it and give up early.
bool stopRequested();

// Worker side: while alive, `wake` runs (on the releasing thread) when this thread's worker is
// told to stop, so that a call blocked on the network can notice stopRequested() at once.
// Outside a worker thread it does nothing.
class StopNotification {
  public:
    explicit StopNotification(std::function<void()> wake);
    ~StopNotification();
    StopNotification(const StopNotification&) = delete;
    StopNotification& operator=(const StopNotification&) = delete;
};

}  // namespace crawlerview::platform

// A fetch's worker on a Windows thread (CreateThread) and the window thread's wait for it
// (MsgWaitForMultipleObjects, which also wakes for the window's messages).
//
// An abandoned worker is never killed: TerminateThread in the middle of a WinINet call would leave
// WinINet's locks and the heap in whatever state they were in. It is told to stop instead; the
// HTTP client checks that between reads and cancels a call that is blocked on the network (see
// http_client.cpp), so the thread soon ends by itself. Its result lands in a channel that nobody
// reads any more, which it keeps alive through its own shared_ptr.
#include "platform/worker_thread.hpp"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>

namespace crawlerview::platform {

namespace {

// What the thread and the releasing side share; whichever lets go last frees it.
struct WorkerState {
    WorkerBody body = nullptr;
    std::shared_ptr<FetchChannel> channel;
    std::atomic<bool> stop{false};
    std::mutex wakeMutex;  // guards wakes and serialises them with their removal
    // Keyed by the notification that registered it; kept here rather than in thread-local storage,
    // whose destructors at thread exit are fragile with mingw's static runtime.
    std::map<const StopNotification*, std::function<void()>> wakes;
};

thread_local WorkerState* currentWorker = nullptr;

DWORD WINAPI workerEntry(void* argument) {
    // The thread's own share: the releasing side may let go of the state at any time.
    std::shared_ptr<WorkerState> state(*static_cast<std::shared_ptr<WorkerState>*>(argument));
    delete static_cast<std::shared_ptr<WorkerState>*>(argument);
    currentWorker = state.get();
    std::shared_ptr<FetchChannel> channel = std::move(state->channel);
    const std::int32_t result = state->body(std::move(channel));
    currentWorker = nullptr;
    return static_cast<DWORD>(result);
}

}  // namespace

class Worker {
  public:
    std::shared_ptr<WorkerState> state;
    HANDLE thread = nullptr;
};

void WorkerRelease::operator()(Worker* worker) const {
    if (worker == nullptr) {
        return;
    }
    if (WaitForSingleObject(worker->thread, 0) != WAIT_OBJECT_0) {
        worker->state->stop = true;
        const std::lock_guard lock(worker->state->wakeMutex);
        for (auto& [notification, wake] : worker->state->wakes) {
            wake();
        }
    }
    CloseHandle(worker->thread);
    delete worker;
}

WorkerHandle startWorker(WorkerBody body, std::shared_ptr<FetchChannel> channel) {
    if (body == nullptr) {
        return nullptr;
    }
    auto state = std::make_shared<WorkerState>();
    state->body = body;
    state->channel = std::move(channel);
    auto* threadShare = new std::shared_ptr<WorkerState>(state);
    HANDLE thread = CreateThread(nullptr, 0, workerEntry, threadShare, 0, nullptr);
    if (thread == nullptr) {
        delete threadShare;
        return nullptr;
    }
    return WorkerHandle(new Worker{std::move(state), thread});
}

WaitResult waitForWorkerOrEvents(Worker& worker, std::int32_t timeoutMs) {
    const DWORD period = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    switch (MsgWaitForMultipleObjects(1, &worker.thread, FALSE, period, QS_ALLEVENTS)) {
        case WAIT_OBJECT_0:
            return WaitResult::WorkerEnded;
        case WAIT_OBJECT_0 + 1:
            return WaitResult::EventsArrived;
        default:
            // WAIT_TIMEOUT, and a wait that failed: giving up is the only answer that cannot loop.
            return WaitResult::TimedOut;
    }
}

bool stopRequested() {
    return currentWorker != nullptr && currentWorker->stop.load();
}

StopNotification::StopNotification(std::function<void()> wake) {
    if (currentWorker == nullptr) {
        return;
    }
    const std::lock_guard lock(currentWorker->wakeMutex);
    auto& registered = currentWorker->wakes[this] = std::move(wake);
    if (currentWorker->stop) {
        // Released before the call began: cancel it straight away.
        registered();
    }
}

StopNotification::~StopNotification() {
    if (currentWorker == nullptr) {
        return;
    }
    const std::lock_guard lock(currentWorker->wakeMutex);
    currentWorker->wakes.erase(this);
}

}  // namespace crawlerview::platform

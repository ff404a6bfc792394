// Linux worker threads: a std::thread per fetch, and a wait that blocks in Qt's event dispatcher
// (or on a condition variable when the process has no Qt application).
#include "platform/worker_thread.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "fetch/fetch_channel.hpp"
#include "platform/linux/program_state.hpp"

namespace crawlerview::platform {
namespace {

// What the worker thread and the thread that waits for it share. Outlives both sides: the thread
// and the handle each hold a reference.
struct WorkerState {
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended = false;
    // Set under the mutex with the wakes; read without it, since the worker asks once per chunk.
    std::atomic<bool> stop{false};
    // Keyed by the notification that registered it; run under the mutex when the worker is told
    // to stop, so that no notification can go away while its wake runs.
    std::map<const StopNotification*, std::function<void()>> wakes;
    // The dispatcher of a thread that is blocked waiting for this worker; woken when it ends.
    QAbstractEventDispatcher* waitingDispatcher = nullptr;
};

thread_local std::shared_ptr<WorkerState> currentWorker;

bool isWindowEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::Close:
        case QEvent::Show:
        case QEvent::Quit:
            return true;
        default:
            // Posted by the program or a test; the toolkit's own timers and repaints are below.
            return type >= QEvent::User && type <= QEvent::MaxUser;
    }
}

// Notes the events that end a wait; lets every event through. A blinking cursor (timers) or a
// repaint does not count, or a fetch behind a focused text box would never time out.
class EventWatch final : public QObject {
  public:
    explicit EventWatch(QAbstractEventDispatcher* dispatcher) : dispatcher_(dispatcher) {}
    bool arrived = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!arrived && isWindowEvent(event->type())) {
            arrived = true;
            dispatcher_->wakeUp();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QAbstractEventDispatcher* dispatcher_;
};

WaitResult waitWithoutEvents(WorkerState& state, std::int32_t timeoutMs) {
    std::unique_lock lock(state.mutex);
    const bool ended = state.endedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                   [&] { return state.ended; });
    return ended ? WaitResult::WorkerEnded : WaitResult::TimedOut;
}

WaitResult waitWithEvents(WorkerState& state, std::int32_t timeoutMs,
                          QAbstractEventDispatcher* dispatcher) {
    {
        std::lock_guard lock(state.mutex);
        if (state.ended) {
            return WaitResult::WorkerEnded;
        }
        state.waitingDispatcher = dispatcher;
    }
    watchForQuit();
    EventWatch watch(dispatcher);
    QCoreApplication::instance()->installEventFilter(&watch);
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
    timer.start(timeoutMs);

    auto ended = [&state] {
        std::lock_guard lock(state.mutex);
        return state.ended;
    };
    // Dispatching happens while we block: a click can run a whole nested visit in here, which is
    // why the flags are looked at again after every round.
    while (!ended() && !watch.arrived && !timedOut) {
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    QCoreApplication::instance()->removeEventFilter(&watch);
    {
        std::lock_guard lock(state.mutex);
        state.waitingDispatcher = nullptr;
        if (state.ended) {
            return WaitResult::WorkerEnded;
        }
    }
    return watch.arrived ? WaitResult::EventsArrived : WaitResult::TimedOut;
}

}  // namespace

class Worker {
  public:
    std::shared_ptr<WorkerState> state = std::make_shared<WorkerState>();
    std::thread thread;
};

void WorkerRelease::operator()(Worker* worker) const {
    if (worker == nullptr) {
        return;
    }
    bool ended;
    {
        std::lock_guard lock(worker->state->mutex);
        ended = worker->state->ended;
        if (!ended) {
            worker->state->stop = true;
            // Under the lock, so that no callback's owner can go away while it runs.
            for (auto& [notification, wake] : worker->state->wakes) {
                wake();
            }
        }
    }
    if (worker->thread.joinable()) {
        if (ended) {
            worker->thread.join();  // only its last few instructions are left
        } else {
            worker->thread.detach();
        }
    }
    delete worker;
}

WorkerHandle startWorker(WorkerBody body, std::shared_ptr<FetchChannel> channel) {
    if (body == nullptr) {
        return nullptr;
    }
    WorkerHandle worker(new Worker);
    try {
        worker->thread = std::thread(
            [body, state = worker->state](std::shared_ptr<FetchChannel> share) mutable {
                currentWorker = state;
                body(std::move(share));
                std::lock_guard lock(state->mutex);
                state->ended = true;
                state->endedChanged.notify_all();
                if (state->waitingDispatcher != nullptr) {
                    state->waitingDispatcher->wakeUp();
                }
            },
            std::move(channel));
    } catch (const std::system_error&) {
        return nullptr;
    }
    return worker;
}

WaitResult waitForWorkerOrEvents(Worker& worker, std::int32_t timeoutMs) {
    if (timeoutMs < 0) {
        timeoutMs = 0;
    }
    auto* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance(); dispatcher != nullptr) {
            return waitWithEvents(*worker.state, timeoutMs, dispatcher);
        }
    }
    return waitWithoutEvents(*worker.state, timeoutMs);
}

bool stopRequested() {
    if (!currentWorker) {
        return false;
    }
    return currentWorker->stop.load();
}

StopNotification::StopNotification(std::function<void()> wake) {
    if (!currentWorker) {
        return;
    }
    std::lock_guard lock(currentWorker->mutex);
    currentWorker->wakes[this] = std::move(wake);
}

StopNotification::~StopNotification() {
    if (!currentWorker) {
        return;
    }
    std::lock_guard lock(currentWorker->mutex);
    currentWorker->wakes.erase(this);
}

}  // namespace crawlerview::platform

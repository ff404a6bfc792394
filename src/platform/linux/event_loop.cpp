// Linux event processing on Qt, and the program-ending flag that a waiting fetch consults.
#include "platform/event_loop.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>

#include "platform/linux/program_state.hpp"

namespace crawlerview::platform {
namespace {

std::atomic<bool> ending{false};

// A quit request is handled by Qt at once (it is not left queued), so it is noted as it passes.
class QuitWatch final : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Quit) {
            noteProgramEnding();
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void noteProgramEnding() {
    ending.store(true);
}
bool programEnding() {
    return ending.load();
}

void watchForQuit() {
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return;
    }
    static QPointer<QObject> watch;
    if (watch.isNull() || watch->parent() != app) {
        watch = new QuitWatch;
        watch->setParent(app);  // goes with the application
        app->installEventFilter(watch);
    }
}

bool processPendingEvents() {
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return false;
    }
    watchForQuit();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return programEnding();
}

}  // namespace crawlerview::platform

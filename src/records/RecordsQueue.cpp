#include "RecordsQueue.h"

#include <QCoreApplication>

#include <condition_variable>
#include <memory>
#include <mutex>

RecordsQueue& RecordsQueue::shared() {
    // Never destroyed: work still queued at exit may refer to it. stop() ends the thread instead.
    static RecordsQueue* queue = [] {
        auto* created = new RecordsQueue;
        qAddPostRoutine([] { RecordsQueue::shared().stop(); });
        return created;
    }();
    return *queue;
}

RecordsQueue::RecordsQueue()
    // The wake-up captures nothing: the work itself travels through the inbox under its lock.
    : inbox_([this] {
        QMetaObject::invokeMethod(
            context_, [] { RecordsQueue::shared().inbox_.drain(); }, Qt::QueuedConnection);
    }) {
    thread_.setObjectName(QString::fromLatin1(label));
    context_ = new QObject;
    context_->moveToThread(&thread_);
    // Utility work: it must never compete with the interface for the processor.
    thread_.start(QThread::LowPriority);
}

bool RecordsQueue::isCurrent() const {
    return QThread::currentThread() == &thread_;
}

QObject* RecordsQueue::context() const {
    return context_;
}

void RecordsQueue::post(std::function<void()> work) {
    inbox_.post(std::move(work));
}

namespace {

class Waiter {
public:
    void finish() {
        std::lock_guard lock(mutex_);
        done_ = true;
        signal_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        signal_.wait(lock, [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool done_ = false;
};

// Owned by the posted item: wakes the waiting thread when the item is destroyed, also when it is
// dropped unrun because the queue stopped, so a blocking post never waits for ever.
class WakeOnRelease {
public:
    explicit WakeOnRelease(std::shared_ptr<Waiter> waiter)
        : waiter_(std::move(waiter)) {}
    WakeOnRelease(const WakeOnRelease&) = delete;
    WakeOnRelease& operator=(const WakeOnRelease&) = delete;
    ~WakeOnRelease() { waiter_->finish(); }
    Waiter& waiter() { return *waiter_; }

private:
    std::shared_ptr<Waiter> waiter_;
};

} // namespace

void RecordsQueue::runAndWait(std::function<void()> work) {
    // Waiting on the queue from the queue would wait for ever: stop loudly in every build instead.
    if (isCurrent())
        qFatal("RecordsQueue::sync: a blocking post from the records queue itself");
    auto waiter = std::make_shared<Waiter>();
    post([work = std::move(work), wake = std::make_shared<WakeOnRelease>(waiter)] {
        work();
        wake->waiter().finish();
    });
    waiter->wait();
}

void RecordsQueue::stop() {
    if (isCurrent() || !thread_.isRunning())
        return;
    sync([] {});
    inbox_.close();
    thread_.quit();
    thread_.wait();
}

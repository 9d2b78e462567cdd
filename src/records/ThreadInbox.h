#pragma once

#include "morvik_records_export.h"

#include <deque>
#include <functional>
#include <mutex>

// Work handed to another thread, run there by drain() in the order it was posted.
//
// The work travels through a list under a std::mutex; the target thread is only woken up (through its
// event loop) to drain the list. Handing the work over under a lock that ThreadSanitizer sees keeps
// the checks of the records code meaningful although Qt itself is not instrumented: the wake-up must
// carry no data of its own.
class MORVIK_RECORDS_EXPORT ThreadInbox {
public:
    // `wake` makes the target thread call drain() soon; it runs under the inbox's lock, once for each
    // batch of posts.
    explicit ThreadInbox(std::function<void()> wake);
    ThreadInbox(const ThreadInbox&) = delete;
    ThreadInbox& operator=(const ThreadInbox&) = delete;

    // Queues the work; false (and the work is dropped) once closed.
    bool post(std::function<void()> work);
    // Drops what is still waiting and every later post.
    void close();
    // On the target thread: runs the items that are there now. Items posted meanwhile bring a new
    // wake-up, so the thread's timers and network events get their turn in between.
    void drain();

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::deque<std::function<void()>> work_;
    bool wakePending_ = false;
    bool closed_ = false;
};

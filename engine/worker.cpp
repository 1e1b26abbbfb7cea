#include "engine/worker.h"

#include <new>
#include <system_error>
#include <utility>

namespace dxflist {

Worker::~Worker() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_one();
    thread_.join();
}

void Worker::start(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        job_ = std::move(job);
        busy_ = true;
    }
    if (thread_.joinable()) {
        changed_.notify_one();
        return;
    }
    try {
        thread_ = std::thread(&Worker::work, this);
    } catch (const std::system_error&) {
        runHere();
    } catch (const std::bad_alloc&) {
        runHere();
    }
}

// Without a thread of its own (a limit on processes or on memory) the job runs on the caller's
// thread: the overlap is lost, the work is not.
void Worker::runHere() {
    std::exception_ptr failure;
    try {
        job_();
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    failure_ = failure;
    busy_ = false;
}

void Worker::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Worker::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || quit_; });
        if (!busy_) return;
        lock.unlock();
        std::exception_ptr failure;
        try {
            job_();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        busy_ = false;
        changed_.notify_one();
    }
}

}  // namespace dxflist

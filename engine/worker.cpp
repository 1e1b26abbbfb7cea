#include "engine/worker.h"

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
    if (thread_.joinable())
        changed_.notify_one();
    else
        thread_ = std::thread(&Worker::work, this);
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

#include "engine/io_thread.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace dxflist {

std::shared_ptr<IoThread> IoThread::shared() {
    static std::mutex guard;
    static std::weak_ptr<IoThread> current;
    const std::lock_guard lock(guard);
    std::shared_ptr<IoThread> thread = current.lock();
    if (!thread) {
        thread = std::make_shared<IoThread>();
        current = thread;
    }
    return thread;
}

IoThread::~IoThread() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    posted_.notify_one();
    thread_.join();
}

IoThread::Ticket IoThread::post(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable() && !noThread_) {
        try {
            thread_ = std::thread(&IoThread::work, this);
        } catch (const std::system_error&) {
            noThread_ = true;
        } catch (const std::bad_alloc&) {
            noThread_ = true;
        }
    }
    if (!noThread_) {
        jobs_.push_back(std::move(job));
        const Ticket ticket = ++postedCount_;
        lock.unlock();
        posted_.notify_one();
        return ticket;
    }
    // Without the thread nothing is ever queued, so this job is the next in order.
    const Ticket ticket = ++postedCount_;
    lock.unlock();
    run(job, ticket);
    return ticket;
}

// Runs a job, on the thread or the caller's, and keeps what it threw for the one who waits.
void IoThread::run(const std::function<void()>& job, Ticket ticket) {
    std::exception_ptr failure;
    try {
        job();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        ranCount_ = ticket;
        if (failure) failures_.emplace_back(ticket, failure);
    }
    ranOne_.notify_all();
}

bool IoThread::ran(Ticket ticket) {
    const std::lock_guard lock(mutex_);
    return ranCount_ >= ticket;
}

void IoThread::wait(Ticket ticket) {
    std::unique_lock lock(mutex_);
    ranOne_.wait(lock, [&] { return ranCount_ >= ticket; });
    const auto failed = std::find_if(failures_.begin(), failures_.end(),
                                     [&](const auto& entry) { return entry.first == ticket; });
    if (failed == failures_.end()) return;
    const std::exception_ptr failure = failed->second;
    failures_.erase(failed);
    std::rethrow_exception(failure);
}

void IoThread::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        posted_.wait(lock, [this] { return !jobs_.empty() || quit_; });
        if (jobs_.empty()) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        const Ticket ticket = ranCount_ + 1;
        lock.unlock();
        run(job, ticket);
        lock.lock();
    }
}

}  // namespace dxflist

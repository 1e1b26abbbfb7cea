#pragma once
// One job at a time on a thread of its own, so that reading and writing files overlap with the
// run's own work on the next buffer.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace dxflist {

class Worker {
  public:
    Worker() = default;
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts the job; the thread is started with the first one. Where no thread can be started,
    // the job runs at once on the caller's thread. The job before must have been waited for.
    void start(std::function<void()> job);
    // Waits for the job started last; throws what it threw.
    void wait();

  private:
    void work();
    void runHere();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool quit_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace dxflist

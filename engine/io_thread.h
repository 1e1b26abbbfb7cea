#pragma once
// The thread that does a run's reading and writing, so that the scanning thread only scans:
// the drawing is read ahead and the listing (or the CR LF copy) written behind through it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace dxflist {

class IoThread {
  public:
    using Ticket = std::uint64_t;

    // The I/O thread of the run going on: the one that the readers and writers alive now
    // share, made for the first of them and ended with the last. One thread for all of a run's
    // files: with a thread each for reading and writing, three threads took turns on two cores,
    // each hand-over that found the other side asleep costing a wake-up.
    static std::shared_ptr<IoThread> shared();

    IoThread() = default;
    ~IoThread();
    IoThread(const IoThread&) = delete;
    IoThread& operator=(const IoThread&) = delete;

    // Queues a job behind the ones before it; the thread is started with the first one. Where
    // no thread can be started (a limit on processes or on memory), the job runs at once on the
    // caller's thread: the overlap is lost, the work is not.
    Ticket post(std::function<void()> job);
    // Waits for a job; throws what it threw.
    void wait(Ticket ticket);
    // Whether a job has run (without waiting for it).
    bool ran(Ticket ticket);

  private:
    void work();
    void run(const std::function<void()>& job, Ticket ticket);

    std::mutex mutex_;
    std::condition_variable posted_;
    std::condition_variable ranOne_;
    std::deque<std::function<void()>> jobs_;
    Ticket postedCount_ = 0;
    Ticket ranCount_ = 0;  // jobs run, in the order they were posted
    std::vector<std::pair<Ticket, std::exception_ptr>> failures_;
    bool noThread_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace dxflist

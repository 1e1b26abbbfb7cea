#include "engine/io_thread.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "test_support.h"

// This test program's own allocator, malloc and free behind a switch that makes the next
// allocation fail, as it may when memory runs out. Not under the sanitizers, whose allocator
// checks more than this one would.
#if !DXFLIST_TEST_SANITIZED && !defined(_WIN32)
#define DXFLIST_TEST_OWN_ALLOCATOR 1
namespace {
std::atomic<bool> failNextAllocation{false};  // set: the next allocation throws
}  // namespace

void* operator new(std::size_t size) {
    if (failNextAllocation.exchange(false)) throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
#else
#define DXFLIST_TEST_OWN_ALLOCATOR 0
#endif

namespace dxflist::test {
namespace {

// Jobs run in the order they were posted, and each failure reaches the one who waits for that
// job, not for another.
TEST(IoThreadTest, RunsJobsInOrderAndHandsEachFailureToItsWaiter) {
    const std::shared_ptr<IoThread> io = IoThread::shared();
    std::vector<int> ran;
    std::vector<IoThread::Ticket> tickets;
    for (int job = 0; job < 6; ++job) {
        tickets.push_back(io->post([&ran, job] {
            ran.push_back(job);
            if (job == 2 || job == 4) throw std::runtime_error("job " + std::to_string(job));
        }));
    }
    for (int job = 0; job < 6; ++job) {
        if (job == 2 || job == 4) {
            try {
                io->wait(tickets[static_cast<std::size_t>(job)]);
                ADD_FAILURE() << "job " << job << " failed silently";
            } catch (const std::runtime_error& failure) {
                EXPECT_EQ(failure.what(), "job " + std::to_string(job));
            }
        } else {
            EXPECT_NO_THROW(io->wait(tickets[static_cast<std::size_t>(job)])) << "job " << job;
        }
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

// The readers and writers of a run share one thread, which ends with the last of them.
TEST(IoThreadTest, OneThreadWhileAnyHolderLives) {
    std::shared_ptr<IoThread> reader = IoThread::shared();
    std::shared_ptr<IoThread> writer = IoThread::shared();
    EXPECT_EQ(reader, writer);
    const std::weak_ptr<IoThread> shared = reader;
    reader.reset();
    EXPECT_FALSE(shared.expired());
    writer.reset();
    EXPECT_TRUE(shared.expired());
}

#if DXFLIST_TEST_OWN_ALLOCATOR
// Where memory runs out as the thread is started, the jobs run at once on the caller's thread,
// in order: nothing is left waiting for a thread that never began.
TEST(IoThreadTest, WithoutMemoryForItsThreadJobsRunOnTheCallersThread) {
    IoThread io;
    // The thread each job ran on, in the order they ran.
    std::vector<std::thread::id> ranOn;
    ranOn.reserve(2);
    std::function<void()> first = [&ranOn] { ranOn.push_back(std::this_thread::get_id()); };
    std::function<void()> second = first;
    failNextAllocation = true;
    const IoThread::Ticket firstTicket = io.post(std::move(first));
    failNextAllocation = false;
    const std::thread::id caller = std::this_thread::get_id();
    ASSERT_EQ(ranOn, std::vector<std::thread::id>{caller})
        << "the job waits for a thread that was never started";
    const IoThread::Ticket secondTicket = io.post(std::move(second));
    ASSERT_EQ(ranOn, (std::vector<std::thread::id>{caller, caller}));
    EXPECT_NO_THROW(io.wait(firstTicket));
    EXPECT_NO_THROW(io.wait(secondTicket));
}
#endif

}  // namespace
}  // namespace dxflist::test

#include "engine/io_thread.h"

#include "test_support.h"

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

}  // namespace
}  // namespace dxflist::test

// dxflist-core-speed: on each processor the system has, one after the other, the time of one
// fixed integer loop and of copying 256 MiB through memory, in milliseconds on one line
// ("cpu0 116/41 cpu1 249/44"). A run with two threads can only go as fast as its slower core: on
// a virtual machine one virtual processor can run at half the speed of the other for minutes,
// as another guest takes its host core, which the system does not report (no steal time); and a
// run that moves its data through the caches slows down with the host's memory. The benchmarks
// print this beside their medians.
#include <sched.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double loopMilliseconds() {
    const auto start = std::chrono::steady_clock::now();
    volatile std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < 100'000'000; ++i) sum = sum + i * i;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Four copies of 64 MiB, more than a processor's caches hold, from memory already touched.
double copyMilliseconds(std::vector<char>& from, std::vector<char>& to) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) {
        std::memcpy(to.data(), from.data(), from.size());
        from[static_cast<std::size_t>(i) * 4096] =
            to[from.size() - 1 - static_cast<std::size_t>(i)];
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main() {
    std::vector<char> from(std::size_t{64} << 20, 'x'), to(from.size(), 'y');
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) continue;
        const double loop = loopMilliseconds();
        std::printf("cpu%d %.0f/%.0f ", cpu, loop, copyMilliseconds(from, to));
    }
    std::printf("\n");
}

// dxflist-core-speed: the time of one fixed integer loop on each processor the system has, one
// after the other, in milliseconds on one line ("cpu0 116 cpu1 249"). A run with two threads
// can only go as fast as its slower core: on a virtual machine one virtual processor can run at
// half the speed of the other for minutes, as another guest takes its host core, which the
// system does not report (no steal time). The benchmarks print this beside their medians.
#include <sched.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace {

double loopMilliseconds() {
    const auto start = std::chrono::steady_clock::now();
    volatile std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < 100'000'000; ++i) sum = sum + i * i;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) continue;
        std::printf("cpu%d %.0f ", cpu, loopMilliseconds());
    }
    std::printf("\n");
}

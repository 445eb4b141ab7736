#include "stack/TTaskTeam.h"

#include <utility>

#ifdef _WIN32
#include "sys/TWindowsApi.h"
#else
#include <sched.h>
#endif

namespace {

// How long a member watches for work (or the caller for the end of a batch) before it sleeps:
// a few tens of microseconds, about what waking a sleeping thread takes, so that back-to-back
// batches pass from member to member without a sleep and a wake-up each.
constexpr int kWatchRounds = 4000;

inline void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

}  // namespace

TTaskTeam::TTaskTeam(unsigned members)
{
    // A thread that cannot be started (no memory for its stack, a limit on threads) leaves the
    // team smaller: the caller alone still runs every task.
    try {
        for (unsigned i = 1; i < members; ++i) MbrVecThreads.emplace_back([this] { Work(); });
    } catch (const std::exception&) {
    }
}

TTaskTeam::~TTaskTeam()
{
    {
        std::lock_guard<std::mutex> lock(MbrMtxLock);
        MbrBlnStop = true;
    }
    MbrCndStart.notify_all();
    for (std::thread& thread : MbrVecThreads) thread.join();
}

void TTaskTeam::TakeTasks(std::unique_lock<std::mutex>& lock)
{
    while (MbrSizNext < MbrSizCount) {
        const size_t index = MbrSizNext++;
        ++MbrSizRunning;
        lock.unlock();
        std::exception_ptr failure;
        try {
            (*MbrPtrTask)(index);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !MbrPtrFailure) MbrPtrFailure = failure;
        --MbrSizRunning;
    }
    if (MbrSizRunning == 0) {
        MbrAtmFinished.store(MbrLngBatch, std::memory_order_release);
        MbrCndDone.notify_all();
    }
}

void TTaskTeam::Run(size_t count, const std::function<void(size_t)>& task)
{
    if (MbrVecThreads.empty()) {
        for (size_t i = 0; i < count; ++i) task(i);  // the caller's own: a throw leaves no task behind
        return;
    }
    std::unique_lock<std::mutex> lock(MbrMtxLock);
    MbrPtrTask = &task;
    MbrSizCount = count;
    MbrSizNext = 0;
    ++MbrLngBatch;
    MbrAtmBatch.store(MbrLngBatch, std::memory_order_release);
    MbrCndStart.notify_all();
    TakeTasks(lock);
    if (MbrAtmFinished.load(std::memory_order_acquire) != MbrLngBatch) {
        lock.unlock();
        for (int round = 0; round < kWatchRounds && MbrAtmFinished.load(std::memory_order_acquire) != MbrLngBatch; ++round)
            Relax();
        lock.lock();
    }
    MbrCndDone.wait(lock, [this] { return MbrSizNext == MbrSizCount && MbrSizRunning == 0; });
    MbrPtrTask = nullptr;
    MbrSizCount = 0;
    if (MbrPtrFailure) std::rethrow_exception(std::exchange(MbrPtrFailure, nullptr));
}

void TTaskTeam::Work()
{
    std::unique_lock<std::mutex> lock(MbrMtxLock);
    unsigned long seen = 0;
    for (;;) {
        lock.unlock();
        for (int round = 0; round < kWatchRounds && MbrAtmBatch.load(std::memory_order_acquire) == seen; ++round)
            Relax();
        lock.lock();
        MbrCndStart.wait(lock, [&] { return MbrBlnStop || (MbrLngBatch != seen && MbrPtrTask); });
        if (MbrBlnStop) return;
        seen = MbrLngBatch;
        TakeTasks(lock);
    }
}

unsigned TTaskTeam::AvailableProcessors()
{
#ifdef _WIN32
    // The affinity mask covers the processor group the process runs in (64 processors at most).
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        unsigned count = 0;
        for (; process != 0; process &= process - 1) ++count;
        if (count > 0) return count;
    }
#else
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<unsigned>(count);
    }
#endif
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? hardware : 1;
}

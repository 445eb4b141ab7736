#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed team of threads that runs batches of independent tasks; the calling thread takes part,
// so a team of one runs every task in the caller, in order.
class TTaskTeam {
public:
    // `members` counts the caller; at least 1. Fewer where threads cannot be started.
    explicit TTaskTeam(unsigned members);
    ~TTaskTeam();
    TTaskTeam(const TTaskTeam&) = delete;
    TTaskTeam& operator=(const TTaskTeam&) = delete;

    // Runs task(i) for every i in [0, count), in any order and on any member, and returns when
    // all have ended. A task that throws does not end the batch early: the first failure is
    // thrown once every task has ended (in a team of one, at once, with no task running).
    void Run(size_t count, const std::function<void(size_t)>& task);
    unsigned Members() const { return static_cast<unsigned>(MbrVecThreads.size()) + 1; }

    // The number of processors this process may run on (its affinity), at least 1.
    static unsigned AvailableProcessors();

private:
    void Work();
    // Takes tasks of the current batch until none is left; called with the lock held.
    void TakeTasks(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> MbrVecThreads;
    std::mutex MbrMtxLock;
    std::condition_variable MbrCndStart;
    std::condition_variable MbrCndDone;
    const std::function<void(size_t)>* MbrPtrTask = nullptr;
    size_t MbrSizCount = 0;
    size_t MbrSizNext = 0;
    size_t MbrSizRunning = 0;
    unsigned long MbrLngBatch = 0;
    // Copies of the batch started and the batch finished, watched without the lock.
    std::atomic<unsigned long> MbrAtmBatch{0};
    std::atomic<unsigned long> MbrAtmFinished{0};
    bool MbrBlnStop = false;
    std::exception_ptr MbrPtrFailure;  // the batch's first failure
};

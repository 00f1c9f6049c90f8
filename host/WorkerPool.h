#pragma once
// The threads behind iterate_generic: the calling thread takes thread index 0 and the pool's workers
// take 1 .. n-1, so a pass really runs its calls at the same time.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/AE_Effect.h"

namespace host {

class WorkerPool {
public:
    using Call = std::function<PF_Err(A_long threadIndex, A_long i)>;

    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Threads() const { return threads_; }

    // Runs calls 0 .. count-1. With `onePerThread` (count equals Threads()), call i runs on thread i;
    // otherwise the threads take calls in order. No call starts after one has failed; the result is the
    // code of the lowest-numbered failing call, or 0.
    PF_Err Run(A_long count, bool onePerThread, const Call& call);

    // True on a thread that is running a call of this pool (nested passes run inline).
    static bool InsideCall();
    // The thread index of the call running on this thread, or -1 outside calls.
    static A_long CurrentThreadIndex();

private:
    struct Job {
        A_long count = 0;
        bool onePerThread = false;
        const Call* call = nullptr;
        std::atomic<A_long> next{0};
        std::atomic<bool> failed{false};
        std::vector<PF_Err> results;
    };
    void Work(A_long threadIndex, Job& job);
    void WorkerLoop(A_long threadIndex);

    int threads_;
    std::vector<std::thread> workers_;
    std::mutex runMutex_; // one pass at a time uses the pool
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    Job* job_ = nullptr;
    unsigned long generation_ = 0;
    int busy_ = 0;
    bool stop_ = false;
};

} // namespace host

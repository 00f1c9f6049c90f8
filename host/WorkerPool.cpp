#include "host/WorkerPool.h"

namespace host {
namespace {
thread_local bool tInsideCall = false;
thread_local A_long tThreadIndex = -1;

// Marks this thread as running call(s) of `index` for the scope's lifetime.
struct CallScope {
    bool outer;
    A_long outerIndex;
    explicit CallScope(A_long index) : outer(tInsideCall), outerIndex(tThreadIndex) {
        tInsideCall = true;
        tThreadIndex = index;
    }
    ~CallScope() {
        tInsideCall = outer;
        tThreadIndex = outerIndex;
    }
};
} // namespace

WorkerPool::WorkerPool(int threads) : threads_(threads < 1 ? 1 : threads) {
    for (A_long t = 1; t < threads_; ++t)
        workers_.emplace_back([this, t] { WorkerLoop(t); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& w : workers_)
        w.join();
}

bool WorkerPool::InsideCall() {
    return tInsideCall;
}

A_long WorkerPool::CurrentThreadIndex() {
    return tInsideCall ? tThreadIndex : -1;
}

void WorkerPool::Work(A_long threadIndex, Job& job) {
    CallScope scope(threadIndex);
    if (job.onePerThread) {
        if (threadIndex < job.count)
            job.results[threadIndex] = (*job.call)(threadIndex, threadIndex);
    } else {
        for (;;) {
            if (job.failed.load())
                break;
            A_long i = job.next.fetch_add(1);
            if (i >= job.count)
                break;
            PF_Err err = (*job.call)(threadIndex, i);
            job.results[i] = err;
            if (err)
                job.failed.store(true);
        }
    }
}

void WorkerPool::WorkerLoop(A_long threadIndex) {
    unsigned long seen = 0;
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_)
                return;
            seen = generation_;
            job = job_;
        }
        Work(threadIndex, *job);
        {
            std::lock_guard lock(mutex_);
            if (--busy_ == 0)
                done_.notify_all();
        }
    }
}

PF_Err WorkerPool::Run(A_long count, bool onePerThread, const Call& call) {
    if (count <= 0)
        return PF_Err_NONE;
    Job job;
    job.count = count;
    job.onePerThread = onePerThread;
    job.call = &call;
    job.results.assign(std::size_t(count), PF_Err_NONE);

    if (tInsideCall || workers_.empty()) {
        // A pass started from inside a pass (or a pool of one) runs its calls on this thread.
        for (A_long i = 0; i < count; ++i) {
            A_long thread = onePerThread ? i : 0;
            CallScope scope(thread);
            PF_Err err = call(thread, i);
            if (err)
                return err;
        }
        return PF_Err_NONE;
    }

    std::lock_guard run(runMutex_);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        busy_ = int(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    Work(0, job);
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return busy_ == 0; });
        job_ = nullptr;
    }
    for (PF_Err err : job.results)
        if (err)
            return err;
    return PF_Err_NONE;
}

} // namespace host

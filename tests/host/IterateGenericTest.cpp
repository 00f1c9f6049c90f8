// iterate_generic: one real thread per call, the argument contract, the first failure's code, and
// fault injection.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

struct Calls {
    std::mutex mutex;
    std::vector<std::array<A_long, 3>> seen; // thread index, i, count
    std::set<std::thread::id> threads;
};

PF_Err Record(void* refcon, A_long thread, A_long i, A_long count) {
    auto* calls = static_cast<Calls*>(refcon);
    std::lock_guard lock(calls->mutex);
    calls->seen.push_back({thread, i, count});
    calls->threads.insert(std::this_thread::get_id());
    return PF_Err_NONE;
}

class IterateGeneric : public HostTest {
protected:
    IterateGeneric() { host.SetWorkerThreads(4); }
};

TEST_F(IterateGeneric, OncePerProcessorMakesOneCallPerThreadOnDistinctThreads) {
    Calls calls;
    ASSERT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &calls, &Record), PF_Err_NONE);
    ASSERT_EQ(calls.seen.size(), 4u);
    std::set<A_long> indices;
    for (auto [thread, i, count] : calls.seen) {
        EXPECT_EQ(thread, i);
        EXPECT_EQ(count, 4); // never -1
        indices.insert(i);
    }
    EXPECT_EQ(indices, (std::set<A_long>{0, 1, 2, 3}));
    EXPECT_EQ(calls.threads.size(), 4u);
}

// Every call waits until all have started: passes only when the calls really run at the same time.
struct Barrier {
    std::mutex mutex;
    std::condition_variable cv;
    int arrived = 0;
    int expected = 0;
};

PF_Err WaitForAll(void* refcon, A_long, A_long, A_long) {
    auto* b = static_cast<Barrier*>(refcon);
    std::unique_lock lock(b->mutex);
    ++b->arrived;
    b->cv.notify_all();
    bool all = b->cv.wait_for(lock, std::chrono::seconds(20), [&] { return b->arrived == b->expected; });
    return all ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

TEST_F(IterateGeneric, CallsRunConcurrently) {
    Barrier barrier;
    barrier.expected = 4;
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &barrier, &WaitForAll), PF_Err_NONE);
}

TEST_F(IterateGeneric, ACountRunsThatManyCallsWhateverTheThreads) {
    for (int threads : {1, 3, 8}) {
        host.SetWorkerThreads(threads);
        Calls calls;
        ASSERT_EQ(utils.iterate_generic(10, &calls, &Record), PF_Err_NONE);
        std::set<A_long> indices;
        for (auto [thread, i, count] : calls.seen) {
            EXPECT_GE(thread, 0);
            EXPECT_LT(thread, threads);
            EXPECT_EQ(count, 10);
            indices.insert(i);
        }
        EXPECT_EQ(indices.size(), 10u) << threads << " threads";
    }
    Calls none;
    EXPECT_EQ(utils.iterate_generic(0, &none, &Record), PF_Err_NONE);
    EXPECT_TRUE(none.seen.empty());
}

PF_Err FailOddCalls(void*, A_long, A_long i, A_long) {
    return i % 2 ? PF_Err_BAD_CALLBACK_PARAM + i : 0;
}

TEST_F(IterateGeneric, TheLowestFailingCallGivesTheResult) {
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, nullptr, &FailOddCalls),
              PF_Err_BAD_CALLBACK_PARAM + 1);
    EXPECT_EQ(utils.iterate_generic(9, nullptr, &FailOddCalls), PF_Err_BAD_CALLBACK_PARAM + 1);
}

PF_Err Throw(void*, A_long, A_long i, A_long) {
    if (i == 2)
        throw std::runtime_error("pass failed");
    return PF_Err_NONE;
}

TEST_F(IterateGeneric, AnExceptionThroughAPassIsAViolationAndAnError) {
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, nullptr, &Throw),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("pass failed"), std::string::npos);
}

TEST_F(IterateGeneric, AnInjectedFailureCallsNothing) {
    host.Faults().Inject(host::Fault::IterateGeneric, 2, PF_Interrupt_CANCEL);
    Calls calls;
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &calls, &Record), PF_Err_NONE);
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &calls, &Record), PF_Interrupt_CANCEL);
    EXPECT_EQ(calls.seen.size(), 4u);
}

TEST_F(IterateGeneric, BadArgumentsAreRefused) {
    EXPECT_EQ(utils.iterate_generic(-2, nullptr, &Record), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(utils.iterate_generic(3, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Violations().size(), 2u);
}

struct Nested {
    PF_UtilCallbacks* utils;
    std::atomic<int> inner{0};
};

PF_Err Inner(void* refcon, A_long, A_long, A_long) {
    ++static_cast<Nested*>(refcon)->inner;
    return PF_Err_NONE;
}

PF_Err Outer(void* refcon, A_long, A_long, A_long) {
    auto* n = static_cast<Nested*>(refcon);
    return n->utils->iterate_generic(3, refcon, &Inner);
}

TEST_F(IterateGeneric, APassStartedInsideAPassRunsInline) {
    Nested n{&utils};
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &n, &Outer), PF_Err_NONE);
    EXPECT_EQ(n.inner.load(), 12);
}

TEST_F(IterateGeneric, PassesFromSeveralCommandThreadsShareThePool) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int k = 0; k < 20; ++k) {
                Calls calls;
                if (utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &calls, &Record) ||
                    calls.seen.size() != 4)
                    ++failures;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
} // namespace tovrin::test

namespace tovrin::test {
namespace {

struct ProgressFromPass {
    PF_InData* in;
};

PF_Err ReportProgress(void* refcon, A_long, A_long i, A_long count) {
    auto* p = static_cast<ProgressFromPass*>(refcon);
    return p->in->inter.progress(p->in->effect_ref, i, count);
}

TEST_F(IterateGeneric, OnlyThreadIndexZeroMayReportProgress) {
    ProgressFromPass p{&in};
    EXPECT_EQ(utils.iterate_generic(PF_Iterations_ONCE_PER_PROCESSOR, &p, &ReportProgress), PF_Err_NONE);
    EXPECT_EQ(host.Violations().size(), 3u); // indices 1, 2 and 3
    EXPECT_EQ(instance.ProgressCalls().size(), 4u);
}

} // namespace
} // namespace tovrin::test

#pragma once
// The embedded host: serves the callbacks and suites of the effect protocol, accounts for every handle,
// world and suite the plug-in holds, and injects faults on request. One host exists at a time, because
// several of the protocol's callbacks carry no reference to the host that serves them.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/BlockPool.h"
#include "host/Faults.h"
#include "host/HandleTable.h"
#include "host/ServiceTrace.h"
#include "host/Settings.h"
#include "host/WorldStore.h"
#include "sdk/AE_Effect.h"
#include "sdk/SPBasic.h"

namespace host {

struct SuiteUse {
    std::string name;
    A_long version = 0;
    long acquired = 0; // acquisitions not yet released
    long total = 0;    // acquisitions since the host started
};

class Host {
public:
    explicit Host(Settings settings = {}); // throws HostError when another host exists
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The host that serves callbacks now, or null.
    static Host* Current();

    const Settings& settings() const;
    Settings& settings(); // takes effect from the next command or service call
    FaultPlan& Faults();

    // The tables handed to the plug-in.
    SPBasicSuite* BasicSuite();
    PF_UtilCallbacks* Utils();
    const PF_InteractCallbacks& Interact() const;

    // Accounting.
    HandleStats Handles() const;
    WorldStats Worlds() const;
    // The pool of a production host's world and large-handle blocks; TrimPool frees what waits in it.
    PoolStats Pool() const;
    void TrimPool();
    std::vector<SuiteUse> Suites() const;
    long SuitesHeld() const; // acquisitions not yet released, all suites together
    // What the plug-in still holds (handles, worlds, suites), one line each; empty when nothing.
    std::string LeakReport() const;

    // Protocol violations seen so far (an unserved callback called, a damaged guard, an unknown handle
    // or world, an exception thrown through iterate_generic ...). Each is also printed on stderr and
    // passed to the observer, if any.
    std::vector<std::string> Violations() const;
    void ClearViolations();
    void SetViolationObserver(std::function<void(const std::string&)> observer);
    void ReportViolation(const std::string& what);

    // Records what the plug-in spends in the host's services (ServiceTrace) from now on, or stops. Starting
    // clears what was recorded.
    void TraceServices(bool on);
    // What was recorded since tracing started or since the last take, which clears it.
    ServiceTrace TakeServiceTrace();

    // iterate_generic's calls per pass (settings().workerThreads resolved).
    int WorkerThreads() const;
    void SetWorkerThreads(int threads);

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace host

// A host in a child process: the test program runs one of its own cases with another command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/Process.h"

namespace tovrin::test {
namespace {

// Runs only in the child: prints its arguments and an environment variable.
TEST(ChildProcess, ChildSide) {
    const char* role = std::getenv("TOVRIN_HOST_CHILD");
    if (!role)
        GTEST_SKIP() << "runs only as a child";
    std::printf("role=%s\n", role);
    std::fflush(stdout);
    if (std::string(role) == "fail")
        std::exit(3);
}

TEST(ChildProcess, RunsTheTestProgramWithOtherArgumentsAndEnvironment) {
    host::ProcessResult r =
        host::RunProcess(host::SelfPath(), {"--gtest_filter=ChildProcess.ChildSide", "-L", "JP", "two words"},
                         {{"TOVRIN_HOST_CHILD", "child"}});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("role=child"), std::string::npos) << r.output;
}

TEST(ChildProcess, AFailingChildReportsItsCode) {
    host::ProcessResult r = host::RunProcess(host::SelfPath(), {"--gtest_filter=ChildProcess.ChildSide"},
                                             {{"TOVRIN_HOST_CHILD", "fail"}});
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_NE(r.output.find("role=fail"), std::string::npos) << r.output;
    EXPECT_THROW(host::RunProcess("/no/such/program", {}), std::exception);
}

} // namespace
} // namespace tovrin::test

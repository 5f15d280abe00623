#include <gtest/gtest.h>

#include <signal.h>

#include "tests/e2e/host_process.h"

namespace zev::e2e {
namespace {

using namespace std::chrono_literals;

TEST(HostProcess, CapturesOutputAndExitStatus) {
    const HostCommand command{"sh", {"-c", "printf 'out\\nput'; echo err >&2; exit 3"}, {}, {}, 30s};
    const HostResult result = RunHostCommand(command);
    EXPECT_FALSE(result.timed_out);
    EXPECT_FALSE(result.start_failed);
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(result.standard_output, "out\nput");
    EXPECT_EQ(result.standard_error, "err\n");
}

TEST(HostProcess, AppliesWorkingFolderAndEnvironment) {
    setenv("ZEV_HOST_PROCESS_REMOVED", "present", 1);
    const HostCommand command{"sh",
                              {"-c", "pwd; echo \"$ZEV_HOST_PROCESS_SET|${ZEV_HOST_PROCESS_REMOVED-unset}\""},
                              "/",
                              {{"ZEV_HOST_PROCESS_SET", "a b"}, {"ZEV_HOST_PROCESS_REMOVED", std::nullopt}},
                              30s};
    const HostResult result = RunHostCommand(command);
    unsetenv("ZEV_HOST_PROCESS_REMOVED");
    EXPECT_EQ(result.standard_output, "/\na b|unset\n");
}

TEST(HostProcess, DeadlineKillsTheWholeProcessGroup) {
    const HostCommand command{"sh", {"-c", "sleep 600 & sleep 600"}, {}, {}, 500ms};
    const HostResult result = RunHostCommand(command);
    EXPECT_TRUE(result.timed_out);
    EXPECT_EQ(result.exit_status, 128 + SIGKILL);
    ASSERT_GT(result.process_group, 0);
    EXPECT_FALSE(ProcessGroupAlive(result.process_group));
}

TEST(HostProcess, EndsWithTheChildEvenWhenADescendantKeepsTheOutputOpen) {
    // A wine server or a detached program may hold the pipes long after the child ended.
    const HostCommand command{"sh", {"-c", "sleep 600 & echo started"}, {}, {}, 20s};
    const HostResult result = RunHostCommand(command);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_output, "started\n");
    kill(-result.process_group, SIGKILL);
}

TEST(HostProcess, ReportsAProgramThatCannotStart) {
    const HostCommand missing{"zev-no-such-program", {}, {}, {}, 30s};
    const HostResult result = RunHostCommand(missing);
    EXPECT_TRUE(result.start_failed);
    EXPECT_EQ(result.exit_status, 127);
    EXPECT_NE(result.Describe(missing).find("could not be started"), std::string::npos);

    const HostCommand bad_folder{"sh", {"-c", "true"}, "/no/such/folder", {}, 30s};
    EXPECT_TRUE(RunHostCommand(bad_folder).start_failed);
}

}  // namespace
}  // namespace zev::e2e

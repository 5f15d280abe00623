// Runs a host program as a child process with a deadline. The child gets its own
// process group; when the deadline passes the whole group is killed, so a hanging
// program (or anything it started in its group) never blocks the test run.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zev::e2e {

struct HostCommand {
    std::string program;                      // searched on PATH when it has no slash
    std::vector<std::string> arguments;       // without the program name
    std::filesystem::path working_folder;     // empty: the caller's current folder
    // Changes to the inherited environment: a value sets the variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> environment;
    std::chrono::milliseconds timeout{30'000};
};

struct HostResult {
    int exit_status = -1;     // exit status, or 128 + signal number when killed by a signal
    bool timed_out = false;   // the deadline passed and the process group was killed
    bool start_failed = false;
    int process_group = -1;   // the child's process group (its process id)
    std::string standard_output;
    std::string standard_error;
    // One line for failure messages: program, status, time-out, the first part of the output.
    std::string Describe(const HostCommand& command) const;
};

// Runs the command to its end or its deadline; standard input is /dev/null.
HostResult RunHostCommand(const HostCommand& command);

// True when some process still belongs to the process group.
bool ProcessGroupAlive(int process_group);

// A long-running child (a display server) that lives until Stop() or destruction.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess() { Stop(); }

    // Starts the program with an extra pipe whose write end is passed to the child
    // as descriptor number ready_descriptor; returns the first line the child writes
    // to it, or nullopt when none arrives before the deadline (the child is then stopped).
    std::optional<std::string> StartAndReadLine(const HostCommand& command, int ready_descriptor);
    void Stop();
    bool Running() const { return process_id_ > 0; }

private:
    int process_id_ = -1;
};

}  // namespace zev::e2e

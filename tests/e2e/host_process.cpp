#include "tests/e2e/host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zev::e2e {
namespace {

using Clock = std::chrono::steady_clock;

// Everything the child needs is prepared before fork: after it only
// async-signal-safe calls are allowed.
struct PreparedExec {
    std::vector<std::string> argument_storage;
    std::vector<std::string> environment_storage;
    std::vector<char*> arguments;
    std::vector<char*> environment;

    explicit PreparedExec(const HostCommand& command) {
        argument_storage.push_back(command.program);
        argument_storage.insert(argument_storage.end(), command.arguments.begin(), command.arguments.end());
        std::map<std::string, std::string> merged;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const size_t equals = text.find('=');
            if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const auto& [name, value] : command.environment) {
            if (value) merged[name] = *value;
            else merged.erase(name);
        }
        for (const auto& [name, value] : merged) environment_storage.push_back(name + "=" + value);
        for (auto& text : argument_storage) arguments.push_back(text.data());
        arguments.push_back(nullptr);
        for (auto& text : environment_storage) environment.push_back(text.data());
        environment.push_back(nullptr);
    }
};

class Pipe {
public:
    Pipe() {
        if (pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() { CloseRead(); CloseWrite(); }
    bool Valid() const { return ends_[0] >= 0; }
    int Read() const { return ends_[0]; }
    int Write() const { return ends_[1]; }
    void CloseRead() { Close(ends_[0]); }
    void CloseWrite() { Close(ends_[1]); }

private:
    static void Close(int& descriptor) {
        if (descriptor >= 0) close(descriptor);
        descriptor = -1;
    }
    int ends_[2] = {-1, -1};
};

// In the child after fork: moves descriptor `from` to number `to`, clearing close-on-exec.
void MoveDescriptor(int from, int to) {
    if (from == to) {
        fcntl(to, F_SETFD, 0);
    } else {
        dup2(from, to);
    }
}

[[noreturn]] void ExecChild(const HostCommand& command, PreparedExec& prepared, int error_report) {
    setpgid(0, 0);
    if (!command.working_folder.empty() && chdir(command.working_folder.c_str()) != 0) {
        const int error = errno;
        (void)!write(error_report, &error, sizeof error);
        _exit(127);
    }
    execvpe(prepared.arguments[0], prepared.arguments.data(), prepared.environment.data());
    const int error = errno;
    (void)!write(error_report, &error, sizeof error);
    _exit(127);
}

// Reads what is available without blocking; false once the writer has closed.
bool Drain(int descriptor, std::string& into) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count == 0) return false;
        return errno == EAGAIN || errno == EINTR;
    }
}

int StatusFromWait(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string HostResult::Describe(const HostCommand& command) const {
    std::ostringstream text;
    text << command.program;
    for (const auto& argument : command.arguments) text << " '" << argument << "'";
    if (start_failed) text << ": could not be started";
    else if (timed_out) text << ": killed after " << command.timeout.count() << " ms";
    else text << ": exit status " << exit_status;
    const auto excerpt = [](const std::string& output) {
        return output.size() > 2000 ? output.substr(0, 2000) + "..." : output;
    };
    if (!standard_output.empty()) text << "\n--- standard output:\n" << excerpt(standard_output);
    if (!standard_error.empty()) text << "\n--- standard error:\n" << excerpt(standard_error);
    return text.str();
}

HostResult RunHostCommand(const HostCommand& command) {
    HostResult result;
    PreparedExec prepared(command);
    Pipe output;
    Pipe errors;
    Pipe exec_errors;
    const int null_input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!output.Valid() || !errors.Valid() || !exec_errors.Valid() || null_input < 0) {
        if (null_input >= 0) close(null_input);
        result.start_failed = true;
        result.standard_error = "cannot create pipes: " + std::string(std::strerror(errno));
        return result;
    }

    const pid_t child = fork();
    if (child == 0) {
        MoveDescriptor(null_input, STDIN_FILENO);
        MoveDescriptor(output.Write(), STDOUT_FILENO);
        MoveDescriptor(errors.Write(), STDERR_FILENO);
        ExecChild(command, prepared, exec_errors.Write());
    }
    close(null_input);
    if (child < 0) {
        result.start_failed = true;
        result.standard_error = "fork failed: " + std::string(std::strerror(errno));
        return result;
    }
    setpgid(child, child);  // also here, so the group exists before any kill below
    result.process_group = child;
    output.CloseWrite();
    errors.CloseWrite();
    exec_errors.CloseWrite();
    fcntl(output.Read(), F_SETFL, O_NONBLOCK);
    fcntl(errors.Read(), F_SETFL, O_NONBLOCK);

    // The wait ends with the child itself, not with the end of its output: programs
    // it leaves running (a wine server, a detached process) may keep the pipes open.
    const auto deadline = Clock::now() + command.timeout;
    bool output_open = true;
    bool errors_open = true;
    int status = 0;
    for (;;) {
        const pid_t waited = waitpid(child, &status, WNOHANG);
        if (waited == child) break;
        if (Clock::now() >= deadline) {
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            result.timed_out = true;
            break;
        }
        pollfd descriptors[2] = {{output.Read(), POLLIN, 0}, {errors.Read(), POLLIN, 0}};
        poll(descriptors, 2, 10);
        if (output_open) output_open = Drain(output.Read(), result.standard_output);
        if (errors_open) errors_open = Drain(errors.Read(), result.standard_error);
    }
    if (output_open) Drain(output.Read(), result.standard_output);
    if (errors_open) Drain(errors.Read(), result.standard_error);
    result.exit_status = StatusFromWait(status);

    int exec_error = 0;
    if (read(exec_errors.Read(), &exec_error, sizeof exec_error) == sizeof exec_error) {
        result.start_failed = true;
        result.standard_error += "cannot start " + command.program + ": " + std::strerror(exec_error);
    }
    return result;
}

bool ProcessGroupAlive(int process_group) {
    // Read from /proc rather than probing with kill(): an orphan that nobody reaps
    // stays a zombie in its group, and a zombie is not a running program.
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // Fields after the parenthesised command name: state, parent, group.
        const size_t close_paren = line.rfind(')');
        if (close_paren == std::string::npos) continue;
        std::istringstream fields(line.substr(close_paren + 1));
        char state = 0;
        int parent = 0;
        int group = 0;
        if (!(fields >> state >> parent >> group)) continue;
        if (group == process_group && state != 'Z' && state != 'X') return true;
    }
    return false;
}

std::optional<std::string> BackgroundProcess::StartAndReadLine(const HostCommand& command,
                                                               int ready_descriptor) {
    Stop();
    PreparedExec prepared(command);
    Pipe ready;
    Pipe exec_errors;
    const int null_device = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (!ready.Valid() || !exec_errors.Valid() || null_device < 0) {
        if (null_device >= 0) close(null_device);
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        MoveDescriptor(null_device, STDIN_FILENO);
        MoveDescriptor(null_device, STDOUT_FILENO);
        MoveDescriptor(null_device, STDERR_FILENO);
        MoveDescriptor(ready.Write(), ready_descriptor);
        ExecChild(command, prepared, exec_errors.Write());
    }
    close(null_device);
    if (child < 0) return std::nullopt;
    setpgid(child, child);
    process_id_ = child;
    ready.CloseWrite();
    exec_errors.CloseWrite();

    std::string line;
    const auto deadline = Clock::now() + command.timeout;
    while (Clock::now() < deadline) {
        pollfd descriptor = {ready.Read(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (poll(&descriptor, 1, static_cast<int>(std::max<long long>(left.count(), 1))) <= 0) continue;
        char c = 0;
        const ssize_t count = read(ready.Read(), &c, 1);
        if (count <= 0) break;
        if (c == '\n') return line;
        line.push_back(c);
    }
    Stop();
    return std::nullopt;
}

void BackgroundProcess::Stop() {
    if (process_id_ <= 0) return;
    kill(-process_id_, SIGTERM);
    int status = 0;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (waitpid(process_id_, &status, WNOHANG) == process_id_) {
            process_id_ = -1;
            return;
        }
        usleep(10'000);
    }
    kill(-process_id_, SIGKILL);
    waitpid(process_id_, &status, 0);
    process_id_ = -1;
}

}  // namespace zev::e2e

// Speed of the statement cycle and of the script loader: statements per second of a
// tight While loop run by the interpreter on the in-memory platform, and the time to
// load and check a script of 100,000 statements. Prints figures; no pass or fail.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>

#include "interpreter/interpreter.h"
#include "interpreter/script_check.h"
#include "platform/fake/fake_platform.h"
#include "script/script_writer.h"
#include "startup/engine.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The in-memory system with a real millisecond clock: the fake's own tick count moves
// 16 ms on every reading, which would make every statement look like a new tick.
class RealClockSystem final : public zev::SystemInfo {
public:
    explicit RealClockSystem(zev::SystemInfo& inner) : inner_(inner) {}
    zev::Text ExecutablePath() override { return inner_.ExecutablePath(); }
    zev::Text RawCommandLine() override { return inner_.RawCommandLine(); }
    zev::Text TemporaryFolder() override { return inner_.TemporaryFolder(); }
    zev::OsVersion Version() override { return inner_.Version(); }
    uint64_t TickCount() override {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    }
    bool IsAdministrator() override { return inner_.IsAdministrator(); }
    bool Is64BitWindows() override { return inner_.Is64BitWindows(); }
    zev::Text CurrentDate() override { return inner_.CurrentDate(); }
    zev::Text CurrentTime() override { return inner_.CurrentTime(); }
    bool GlassAvailable() override { return inner_.GlassAvailable(); }
    uint32_t ProcessorCount() override { return inner_.ProcessorCount(); }
    std::unique_ptr<zev::ScopeGuard> SuspendFileSystemRedirection() override {
        return inner_.SuspendFileSystemRedirection();
    }
    zev::Text ExpandEnvironmentText(zev::TextView text) override { return inner_.ExpandEnvironmentText(text); }
    std::vector<zev::Text> EnvironmentEntries() override { return inner_.EnvironmentEntries(); }

private:
    zev::SystemInfo& inner_;
};

// I = 0; While not I > limit: I = I + 1; Wend. Runs 3 x (limit + 1) + 1 statements.
void MeasureLoop(int64_t limit) {
    using namespace zev;
    StatementTableBuilder builder;
    builder.Add(u"Mathematics", {u"0", u"0", u"0", u"I"});
    builder.Add(u"While", {u"I", u"2", FromInt(limit), u"TRUE"});
    builder.Add(u"Mathematics", {u"$I$", u"1", u"0", u"I"});
    builder.Add(u"Wend");

    fake::FakePlatform fake;
    RealClockSystem system(fake.system);
    Platform platform{fake.files, fake.registry, system, fake.ui, fake.libraries, fake.processes, fake.archives};
    TVariableManager variables;
    Engine engine(platform, variables);
    engine.command_line.silent = true;
    engine.script = builder.Build();
    Interpreter interpreter(engine);
    const auto start = Clock::now();
    const double cpu_start = CpuSeconds();
    interpreter.Run(u"");
    const double seconds = SecondsSince(start);
    const double cpu_seconds = CpuSeconds() - cpu_start;
    const double statements = 3.0 * static_cast<double>(limit + 1) + 1.0;
    // Processor time as well as wall time: on a shared machine the wall figure
    // measures the neighbours too.
    std::printf("%-44s %12.0f per second  (%.0f statements in %.3f s wall, I = %s)\n", "statements in a While loop",
                statements / seconds, statements, seconds, ToUtf8(variables.ValueOf(u"I")).c_str());
    std::printf("%-44s %12.0f per second  (%.3f s processor time)\n", "statements in a While loop, processor time",
                statements / cpu_seconds, cpu_seconds);
}

void MeasureLoad(size_t count) {
    using namespace zev;
    StatementTableBuilder builder;
    for (size_t i = 0; i < count; ++i) {
        const Text number = FromInt(static_cast<int64_t>(i));
        switch (i % 4) {
            case 0: builder.Add(u"If", {u"TITLE", u"0", u"value " + number, u""}); break;
            case 1: builder.Add(u"Mathematics", {u"$I$", number, u"0", u"I"}); break;
            case 2: builder.Add(u"Comment", {u"comment number " + number}); break;
            default: builder.Add(u"End"); break;
        }
    }
    const std::string bytes = builder.Bytes();
    const auto load_start = Clock::now();
    StatementTable table;
    table.LoadFromBytes(bytes);
    const double load_seconds = SecondsSince(load_start);
    std::printf("%-44s %12.3f s  (%zu statements, %zu bytes)\n", "load", load_seconds, table.StatementCount(),
                bytes.size());
    TVariableManager variables;
    const auto check_start = Clock::now();
    const auto failure = CheckScript(table, variables);
    std::printf("%-44s %12.3f s  (%s)\n", "script check", SecondsSince(check_start),
                failure ? ToUtf8(failure->Describe()).c_str() : "passed");
}

}  // namespace

int main() {
    MeasureLoop(1'000'000);
    MeasureLoad(100'000);
    return 0;
}

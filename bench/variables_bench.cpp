// Throughput of the variable store: hashed lookups, writes and expansion of parameter
// texts. Prints operations per second; no pass or fail.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "script/substitution.h"
#include "script/variable_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Body>
void Measure(const char* label, size_t operations, Body&& body) {
    const auto start = Clock::now();
    size_t sink = 0;
    for (size_t i = 0; i < operations; ++i) sink += body(i);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-44s %12.0f per second  (%zu in %.3f s, check %zu)\n", label,
                static_cast<double>(operations) / seconds, operations, seconds, sink);
}

}  // namespace

int main() {
    using namespace zev;
    TVariableManager store;
    constexpr size_t kVariables = 400;  // about the number a large script defines
    std::vector<Text> names;
    for (size_t i = 0; i < kVariables; ++i) {
        names.push_back(u"VARIABLE_NAME_" + FromInt(static_cast<int64_t>(i)));
        store.SetItem(names.back(), u"value number " + FromInt(static_cast<int64_t>(i)));
    }
    store.SetItem(u"TITLE", u"Example Product");
    store.SetItem(u"TARGETDIR", u"C:\\Program Files\\$TITLE$\\");
    store.SetItem(u"NEWLINE", u"\r\n");

    std::vector<Text> lowered;
    for (const Text& name : names) lowered.push_back(ToLower(name));

    Measure("GetItem (existing, other letter case)", 2'000'000,
            [&](size_t i) { return store.GetItem(lowered[i % kVariables]).size(); });
    Measure("Exists (missing)", 2'000'000,
            [&](size_t i) { return store.Exists(u"MISSING_" + names[i % kVariables]) ? 1u : 0u; });
    Measure("SetItem (replace)", 2'000'000, [&](size_t i) {
        store.SetItem(names[i % kVariables], u"replaced");
        return size_t{1};
    });
    Measure("Expand (no reference)", 2'000'000,
            [&](size_t) { return store.Expand(u"A parameter without any reference").size(); });
    Measure("Expand (three references, one nested)", 1'000'000, [&](size_t) {
        return store.Expand(u"Installing $TITLE$ to $TARGETDIR$$NEWLINE$please wait").size();
    });
    Measure("Expand (unknown references)", 1'000'000,
            [&](size_t) { return store.Expand(u"$NOT_DEFINED$ and $ALSO_MISSING$ done").size(); });
    return 0;
}

// Runs a script through the interpreter alone on the fake platform, with the engine in
// reach, so that a test can see what commands left in the store and on the engine.
#pragma once

#include <vector>

#include "interpreter/interpreter.h"
#include "platform/fake/fake_platform.h"
#include "script/script_writer.h"
#include "startup/command_line.h"
#include "startup/engine.h"

namespace zev::testing {

class CommandScript {
public:
    CommandScript() {
        engine.folders.executable_path = u"C:\\Setup\\setup.exe";
        engine.folders.executable_folder = u"C:\\Setup\\";
        engine.folders.setup_name = u"setup";
        engine.folders.temporary_folder = u"C:\\Temp\\";
        engine.folders.support_folder = u"C:\\Temp\\zev1\\";
        fake.files.CreateFolderTree(u"C:\\Setup");
        fake.files.CreateFolderTree(u"C:\\Temp\\zev1");
    }

    size_t Add(TextView command, const std::vector<Text>& parameters) { return script.Add(command, parameters); }
    size_t Set(TextView name, TextView value) { return script.Add(u"Set Variable", {Text(name), Text(value)}); }

    // Runs the script with these arguments (after the executable), as start-up would
    // hand them to the interpreter.
    void Run(const std::vector<Text>& arguments = {u"/s"}) {
        std::vector<Text> all{u"C:\\Setup\\setup.exe"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        engine.command_line = ParseCommandLine(JoinCommandLine(all));
        engine.silent = engine.command_line.silent;
        variables.SetSilent(engine.silent);
        variables.SetCommandLinePairs(engine.command_line.pairs);
        engine.script = script.Build();
        Interpreter interpreter(engine);
        interpreter.Run(u"C:\\Temp\\zev1\\setup.msi");
    }

    Text Value(TextView name) const { return variables.ValueOf(name); }
    bool Exists(TextView name) const { return variables.Exists(name); }
    // Texts of the message boxes shown, in order.
    std::vector<Text> Messages() {
        std::vector<Text> texts;
        for (const auto& message : fake.ui.messages) texts.push_back(message.text);
        return texts;
    }

    fake::FakePlatform fake;
    TVariableManager variables;
    Engine engine{fake.platform, variables};
    StatementTableBuilder script;
};

// The runtime error report of a statement of a CommandScript (source "test.zev",
// line = statement index).
inline Text RuntimeErrorReport(size_t statement, TextView message) {
    return u"Runtime error in setup script:\r\rSource File: test\rLine Number: " +
           FromInt(static_cast<int64_t>(statement) + 1) + u"\r\r" + Text(message);
}

}  // namespace zev::testing

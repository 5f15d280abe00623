// Plain text and INI files: reading a text file line by line across statements,
// adding a line to a text file, and reading one INI value.
#include "interpreter/file_commands.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "interpreter/text_file.h"

namespace zev {

namespace {

constexpr TextView kReadAllPrefix = u"#READALL\\";
constexpr TextView kNewLineToken = u"$NEWLINE$";
// The profile reader's buffer: longer values are cut to one character less.
constexpr size_t kProfileBufferCharacters = 26000;

}  // namespace

namespace file_commands {

void ReadFromTextFile(Interpreter& interpreter) {
    Text path = CleanedPathParameter(interpreter, 1);
    const bool read_all = path.starts_with(kReadAllPrefix);
    if (read_all) path.erase(0, kReadAllPrefix.size());
    const Text line_name = NameParameter(interpreter, 2, NameForm::Plain);
    const Text end_name = NameParameter(interpreter, 3, NameForm::Plain);
    CreateIfMissing(interpreter, line_name);
    if (!end_name.empty()) CreateIfMissing(interpreter, end_name);

    OpenTextFile& open = EngineOpenTextFile();
    if (!open.IsOpen() || ToLower(open.path) != ToLower(path)) {
        open.Close();
        std::optional<std::string> bytes;
        {
            const auto redirection = RedirectionForBitnessMode(interpreter);
            bytes = interpreter.platform().files.ReadWholeFile(path);
        }
        if (!bytes) {
            if (!end_name.empty()) StoreResult(interpreter, end_name, u"TRUE");
            return;
        }
        open.reader.emplace(*bytes);
        open.path = path;
    }

    TextLineReader& reader = *open.reader;
    if (!reader.AtEnd()) {
        Text lines = reader.ReadLine();
        while (read_all && !reader.AtEnd()) {
            lines += kNewLineToken;
            lines += reader.ReadLine();
        }
        StoreResult(interpreter, line_name, lines);
    }
    const bool at_end = reader.AtEnd();
    if (at_end) open.Close();
    if (!end_name.empty()) StoreResult(interpreter, end_name, FromBool(at_end));
}

void WriteToTextFile(Interpreter& interpreter) {
    const Text path = CleanedPathParameter(interpreter, 1);
    const Text text = interpreter.Expanded(2);
    const bool at_top = IsTrue(interpreter.Expanded(3));

    OpenTextFile& open = EngineOpenTextFile();
    if (open.IsOpen() && ToLower(open.path) == ToLower(path)) open.reader.reset();

    const auto redirection = RedirectionForBitnessMode(interpreter);
    FileSystem& files = interpreter.platform().files;
    const std::optional<std::string> bytes = files.ReadWholeFile(path);
    // A file that exists but cannot be read is left alone: writing the new line alone
    // would throw its contents away.
    if (!bytes && files.FileExists(path)) return;
    std::vector<Text> lines = bytes ? ReadFileLines(*bytes) : std::vector<Text>();
    const std::vector<Text> added = SplitLines(text);
    lines.insert(at_top ? lines.begin() : lines.end(), added.begin(), added.end());
    files.SetNormalAttributes(path);
    files.WriteWholeFile(path, WriteTextLines(lines));
}

void GetIniFileSettings(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::Plain);
    CreateIfMissing(interpreter, result_name);
    const Text file = CleanedPathParameter(interpreter, 2);
    const Text section = CleanedPathParameter(interpreter, 3);
    const Text key = CleanedPathParameter(interpreter, 4);
    Text value;
    if (!section.empty() && !key.empty()) {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        value = interpreter.platform().files.ReadProfileString(file, section, key, kProfileBufferCharacters);
        if (value.size() >= kProfileBufferCharacters) value.resize(kProfileBufferCharacters - 1);
    }
    StoreResult(interpreter, result_name, value);
}

}  // namespace file_commands

}  // namespace zev

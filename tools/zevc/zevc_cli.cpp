#include "tools/zevc/zevc_cli.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "script/pe_image.h"
#include "script/script_writer.h"
#include "tools/zevc/script_checker.h"
#include "tools/zevc/script_compiler.h"
#include "tools/zevc/script_decompiler.h"
#include "tools/zevc/setup_builder.h"
#include "tools/zevc/source_reader.h"

namespace zev::zevc {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: zevc compile SOURCE -o SCRIPT\n"
    "       zevc check SOURCE\n"
    "       zevc decompile SCRIPT|SETUP.EXE [-o SOURCE]\n"
    "       zevc build SOURCE -o FOLDER [--stub PATH] [--archive-library PATH]\n"
    "\n"
    "  compile    writes the compiled script of a product script source\n"
    "  check      runs the engine's script check and lists every problem with its line\n"
    "  decompile  prints the source of a compiled script, or of the script appended\n"
    "             to a setup executable\n"
    "  build      checks the script, then writes FOLDER/setup.exe (engine stub + script), FOLDER/setup.res (the\n"
    "             support files) and FOLDER/zev.lib; the stub is --stub, else $ZEV_STUB,\n"
    "             else ../../win32/bin/zevstub.exe beside zevc; the archive library is\n"
    "             --archive-library, else $ZEV_ARCHIVE_LIBRARY, else zev.lib there\n";

// A failure reported as "zevc: message".
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CommandError("cannot open " + Shown(path));
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw CommandError("cannot read " + Shown(path));
    return bytes;
}

void WriteFileBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw CommandError("cannot create " + Shown(path));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw CommandError("cannot write " + Shown(path));
}

struct Arguments {
    std::string command;
    std::vector<std::string> inputs;
    std::optional<std::string> output;
    std::optional<std::string> stub;
    std::optional<std::string> archive_library;
};

Arguments Parse(const std::vector<std::string>& arguments) {
    Arguments parsed;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](std::optional<std::string>& slot) {
            if (i + 1 >= arguments.size()) throw CommandError(argument + " needs a value");
            if (slot) throw CommandError(argument + " is given twice");
            slot = arguments[++i];
        };
        if (argument == "--help" || argument == "-h") parsed.command = "help";
        else if (argument == "-o" || argument == "--output") value(parsed.output);
        else if (argument == "--stub") value(parsed.stub);
        else if (argument == "--archive-library") value(parsed.archive_library);
        else if (argument.size() > 1 && argument[0] == '-') throw CommandError("unknown option " + argument);
        else if (parsed.command.empty()) parsed.command = argument;
        else parsed.inputs.push_back(argument);
    }
    return parsed;
}

std::string SourcePathText(const std::string& source) {
    std::error_code ignored;
    fs::path absolute = fs::absolute(PathOf(source), ignored);
    if (absolute.empty()) absolute = PathOf(source);
    return Shown(absolute.lexically_normal());
}

// The compiled script in a file that is either the script itself or a setup
// executable with the script appended after its image.
std::string ScriptBytesOf(const fs::path& path, const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') {
        std::optional<uint64_t> end = PeImageEnd(bytes);
        if (end) {
            if (*end > bytes.size()) throw CommandError(Shown(path) + " is a truncated Windows executable");
            if (*end == bytes.size()) throw CommandError(Shown(path) + " has no script appended");
            return bytes.substr(static_cast<size_t>(*end));
        }
    }
    return bytes;
}

// The compiled script of a source file, or nothing after its error has been shown.
std::optional<std::string> CompileFile(const std::string& source, std::ostream& err) {
    const std::string bytes = ReadFileBytes(PathOf(source));
    try {
        return CompileToBytes(bytes, SourcePathText(source));
    } catch (const SourceError& error) {
        err << FormatSourceError(source, bytes, error);
        return std::nullopt;
    }
}

int Compile(const Arguments& arguments, std::ostream& err) {
    if (arguments.inputs.size() != 1 || !arguments.output)
        throw CommandError("compile needs one SOURCE and -o SCRIPT");
    const std::optional<std::string> script = CompileFile(arguments.inputs[0], err);
    if (!script) return 1;
    WriteFileBytes(PathOf(*arguments.output), *script);
    return 0;
}

// Prints every violation of the engine's script check; true when there is none.
bool PassesCheck(const std::string& source, const std::string& script, std::ostream& err) {
    const std::vector<std::string> violations = CheckCompiledScript(script, source);
    for (const std::string& violation : violations) err << violation << "\n";
    if (!violations.empty())
        err << "zevc: the engine would refuse this script (exit code 314): " << violations.size()
            << (violations.size() == 1 ? " problem\n" : " problems\n");
    return violations.empty();
}

int Check(const Arguments& arguments, std::ostream& err) {
    if (arguments.inputs.size() != 1 || arguments.output) throw CommandError("check needs one SOURCE");
    const std::optional<std::string> script = CompileFile(arguments.inputs[0], err);
    return script && PassesCheck(arguments.inputs[0], *script, err) ? 0 : 1;
}

int Decompile(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.inputs.size() != 1) throw CommandError("decompile needs one SCRIPT");
    const fs::path path = PathOf(arguments.inputs[0]);
    const std::string script = ScriptBytesOf(path, ReadFileBytes(path));
    ScriptSections sections;
    try {
        sections = ReadScriptSections(script);
    } catch (const ScriptLoadError& error) {
        throw CommandError(Shown(path) + ": " + error.what());
    }
    const std::string source = DecompileScript(sections);

    // The source must compile back to the very same script; say so when it cannot.
    bool same = false;
    try {
        same = CompileToBytes(source, "decompiled.zev") == script;
    } catch (const SourceError&) {
    } catch (const ScriptWriteError&) {
    }
    if (!same) {
        err << "zevc: note: " << Shown(path)
            << " was not written by zevc as it stands; compiling this source does not give it back byte for "
               "byte\n";
    }
    if (arguments.output) WriteFileBytes(PathOf(*arguments.output), source);
    else out << source;
    return 0;
}

fs::path Locate(const std::optional<std::string>& given, const char* variable, const fs::path& program,
                const char* file_name) {
    if (given) return PathOf(*given);
    if (const char* value = std::getenv(variable); value && *value) return PathOf(value);
    return (program.parent_path() / ".." / ".." / "win32" / "bin" / file_name).lexically_normal();
}

int Build(const Arguments& arguments, const fs::path& program, std::ostream& err) {
    if (arguments.inputs.size() != 1 || !arguments.output)
        throw CommandError("build needs one SOURCE and -o FOLDER");
    const std::string& source = arguments.inputs[0];
    const std::string bytes = ReadFileBytes(PathOf(source));
    CompiledProduct product;
    std::string script;
    try {
        product = CompileSource(ReadSource(bytes), FromUtf8(SourcePathText(source)));
        script = WriteScriptSections(product.sections);
    } catch (const SourceError& error) {
        err << FormatSourceError(source, bytes, error);
        return 1;
    }
    if (!PassesCheck(source, script, err)) return 1;
    BuildRequest request;
    request.source_file = PathOf(source);
    request.output_folder = PathOf(*arguments.output);
    request.stub = Locate(arguments.stub, "ZEV_STUB", program, "zevstub.exe");
    request.archive_library = Locate(arguments.archive_library, "ZEV_ARCHIVE_LIBRARY", program, "zev.lib");
    try {
        BuildSetup(product, script, request);
    } catch (const SupportFileError& error) {
        err << FormatSourceError(source, bytes, SourceError(error.At(), error.what()));
        return 1;
    } catch (const BuildError& error) {
        throw CommandError(error.what());
    }
    return 0;
}

}  // namespace

std::string CompileToBytes(std::string_view source, const std::string& source_path) {
    return WriteScriptSections(CompileSource(ReadSource(source), FromUtf8(source_path)).sections);
}

std::string FormatSourceError(const std::string& file, std::string_view source, const SourceError& error) {
    const SourceLocation at = error.At();
    std::string out = file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                      error.what() + "\n";
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
    // The line itself, then a caret under the column (tabs kept so it lines up).
    size_t start = 0;
    for (size_t line = 1; line < at.line && start != std::string_view::npos; ++line) {
        start = source.find('\n', start);
        if (start != std::string_view::npos) ++start;
    }
    if (start == std::string_view::npos || start > source.size()) return out;
    size_t end = source.find('\n', start);
    std::string_view text = source.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    out += std::string(text) + "\n";
    std::string caret;
    size_t column = 1;
    for (size_t i = 0; i < text.size() && column < at.column; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;  // continuation byte of the same character
        caret += c == '\t' ? '\t' : ' ';
        ++column;
    }
    out += caret + "^\n";
    return out;
}

int RunZevc(const std::vector<std::string>& arguments, const fs::path& program, std::ostream& out,
            std::ostream& err) {
    try {
        const Arguments parsed = Parse(arguments);
        if (parsed.command.empty() || parsed.command == "help") {
            (parsed.command.empty() ? err : out) << kUsage;
            return parsed.command.empty() ? 1 : 0;
        }
        if (parsed.command == "compile") return Compile(parsed, err);
        if (parsed.command == "decompile") return Decompile(parsed, out, err);
        if (parsed.command == "check") return Check(parsed, err);
        if (parsed.command == "build") return Build(parsed, program, err);
        throw CommandError("unknown command \"" + parsed.command + "\"\n" + kUsage);
    } catch (const CommandError& error) {
        err << "zevc: " << error.what() << "\n";
    } catch (const std::exception& error) {
        err << "zevc: " << error.what() << "\n";
    }
    return 1;
}

}  // namespace zev::zevc

#include "media/archive_routines.h"

#include <exception>

#include "startup/engine.h"

namespace zev {

namespace {

constexpr uint32_t kRetryCode = 1018;
constexpr uint32_t kProcessFailedCode = 1016;

Text ErrorText(uint32_t code) {
    return u"#" + FromInt(code);
}

Text NormaliseArchivePath(TextView archive) {
    const size_t slash = archive.find_last_of(u"\\/");
    if (slash == TextView::npos) return Text(archive);
    return WithTrailingBackslash(archive.substr(0, slash)) + Text(archive.substr(slash + 1));
}

// A fresh GUID in braces, for the control file of an out-of-process extraction.
Text NewGuidText(Engine& engine) {
    static uint64_t counter = 0;
    const uint64_t seed = engine.platform.system.TickCount() ^ (++counter * 0x9E3779B97F4A7C15ull) ^
                          reinterpret_cast<uintptr_t>(&counter);
    uint64_t state = seed;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    static const char16_t digits[] = u"0123456789ABCDEF";
    Text out = u"{";
    const int groups[] = {8, 4, 4, 4, 12};
    for (int g = 0; g < 5; ++g) {
        if (g) out += u'-';
        for (int i = 0; i < groups[g]; ++i) out += digits[next() & 0xF];
    }
    return out + u"}";
}

bool ExtractInSecondProcess(Engine& engine, const ExtractRequest& request, const std::vector<Text>& entries,
                            Text& error) {
    FileSystem& files = engine.platform.files;
    error.clear();
    const Text control = engine.folders.temporary_folder + NewGuidText(engine);
    const Text items = control + u"items";
    std::string control_text;
    for (const Text& line : {request.archive, request.password, request.output_folder,
                             FromBool(request.keep_paths), FromBool(request.overwrite)})
        control_text += ToUtf8(line) + "\r\n";
    files.WriteWholeFile(control, control_text);
    std::string item_text;
    for (const Text& entry : entries) item_text += ToUtf8(entry) + "\r\n";
    files.WriteWholeFile(items, item_text);

    const auto exit_code = engine.platform.processes.RunAndWait(
        engine.folders.executable_path, u"OutOfProcessExtract \"" + control + u"\"");
    if (!exit_code) {
        error = ErrorText(kProcessFailedCode);
    } else if (auto answer = files.ReadWholeFile(control)) {
        std::string_view text = *answer;
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        error = FromUtf8(text.substr(0, text.find_first_of("\r\n")));
    }
    files.DeleteFile(control);
    files.DeleteFile(items);
    return error.empty();
}

}  // namespace

bool ListArchiveRoutine(Engine& engine, TextView archive, TextView password, std::vector<Text>& names, Text& error) {
    error.clear();
    names.clear();
    try {
        ArchiveLibrary& library = engine.platform.archives;
        if (library.List(NormaliseArchivePath(archive), password, names)) return true;
        error = ErrorText(library.LastError());
    } catch (const std::exception& failure) {
        error = FromUtf8(failure.what());
    }
    return false;
}

bool ExtractArchiveRoutine(Engine& engine, const ExtractRequest& request, const ArchiveProgress& progress,
                           Text& error) {
    error.clear();
    try {
        ArchiveLibrary& library = engine.platform.archives;
        const Text archive = NormaliseArchivePath(request.archive);
        const Text output = WithTrailingBackslash(request.output_folder);
        std::vector<Text> entries = request.entries;
        if (entries.empty() && !ListArchiveRoutine(engine, archive, request.password, entries, error)) return false;

        auto attempt = [&] {
            return library.Extract(archive, output, entries, request.keep_paths, request.password, request.overwrite,
                                   progress);
        };
        if (attempt()) return true;
        error = ErrorText(library.LastError());
        if (error == ErrorText(kRetryCode)) {
            engine.platform.processes.TrimWorkingSet();
            if (attempt()) {
                error.clear();
                return true;
            }
            error = ErrorText(library.LastError());
        }
        if (error == ErrorText(kRetryCode) && !engine.command_line.out_of_process_extract) {
            ExtractRequest job = request;
            job.archive = archive;
            job.output_folder = output;
            return ExtractInSecondProcess(engine, job, entries, error);
        }
    } catch (const std::exception& failure) {
        error = FromUtf8(failure.what());
    }
    return false;
}

}  // namespace zev

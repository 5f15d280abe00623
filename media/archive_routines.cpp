#include "media/archive_routines.h"

#include <exception>

#include "startup/engine.h"

namespace zev {

namespace {

constexpr uint32_t kRetryCode = 1018;
constexpr uint32_t kProcessFailedCode = 1016;
constexpr uint32_t kWrongPasswordCode = 1003;

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

bool IsWrongPasswordError(TextView error) {
    return error == ErrorText(kWrongPasswordCode) || error == kWrongPasswordMessage;
}

namespace {

Text LevelText(TextView digit) {
    if (digit == u"0") return u"-ms=off -mhc=off -m0=None -m0=Copy ";
    if (digit == u"1") return u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 ";
    if (digit == u"2") return u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ";
    const Text tail = u"-m1fb=64 -m2=LZMA2 -m2d=20 -m2mf=bt4 -m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 "
                      u"-mb0:1 -mb0s1:2 -mb0s2:3 ";
    if (digit == u"3") return u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=25 -m1mf=bt4 " + tail;
    return u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 " + tail;
}

// Removes repeated entries (letter case ignored), keeping the last of each, and passes
// "*.*" as "*".
std::vector<Text> PrepareFileList(const std::vector<Text>& files) {
    std::vector<Text> kept;
    std::vector<Text> seen;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        const Text key = ToLower(*it);
        bool repeated = false;
        for (const Text& earlier : seen) repeated = repeated || earlier == key;
        if (repeated) continue;
        seen.push_back(key);
        kept.insert(kept.begin(), *it);
    }
    for (Text& entry : kept) {
        const size_t at = entry.find(u"*.*");
        if (at != Text::npos) entry.replace(at, 3, u"*");
    }
    return kept;
}

// The retry level for a failed attempt (1 to 3) of digit d.
Text RetryDigit(int attempt, int digit, bool wow64) {
    if (wow64) {
        if (attempt == 1) return digit <= 4 ? u"6" : digit == 6 ? u"5" : u"4";
        if (attempt == 2) return digit <= 4 ? u"5" : digit == 6 ? u"4" : u"3";
        return u"2";
    }
    if (attempt == 3) return u"1";
    return FromInt(digit - attempt);
}

}  // namespace

Text LevelSwitches(TextView digit, bool encrypt_headers, uint32_t processors) {
    const Text level = LevelText(digit);
    Text threads;
    if (processors < 2)
        threads = u"-mmt=off ";
    else if (level.find(u"-m1d=26") != Text::npos)
        threads = u"-mmt=2 ";
    else if (level.find(u"-m1d=25") != Text::npos)
        threads = processors < 3 ? u"-mmt=" + FromInt(processors) + u" " : Text(u"-mmt=3 ");
    else
        threads = u"-mmt=" + FromInt(processors) + u" ";
    return Text(u"-ssw ") + (encrypt_headers ? u"-mhe=on " : u"-mhe=off ") + threads + level;
}

bool CreateArchiveRoutine(Engine& engine, const CreateRequest& request, const ArchiveProgress& progress,
                          Text& error) {
    error.clear();
    try {
        ArchiveLibrary& library = engine.platform.archives;
        const std::vector<Text> files1 = PrepareFileList(request.files1);
        const std::vector<Text> files2 = PrepareFileList(request.files2);
        engine.platform.processes.TrimWorkingSet();
        const Text archive = NormaliseArchivePath(request.archive);
        const uint32_t processors = engine.platform.system.ProcessorCount();

        int digit = -1;
        bool encrypt_headers = false;
        for (const char16_t* candidate : {u"4", u"3", u"2", u"5", u"6"}) {
            for (bool flag : {true, false}) {
                if (digit < 0 && EqualsNoCase(request.switches, LevelSwitches(candidate, flag, processors))) {
                    digit = candidate[0] - u'0';
                    encrypt_headers = flag;
                }
            }
        }

        Text switches = request.switches;
        const bool wow64 = engine.platform.system.Is64BitWindows();
        for (int attempt = 0;; ++attempt) {
            if (library.Create(archive, request.level_code, files1, files2, request.mode, switches, request.password,
                               progress))
                return true;
            const uint32_t code = library.LastError();
            error = ErrorText(code);
            if (code != kRetryCode || digit < 0 || attempt == 3) return false;
            switches = LevelSwitches(RetryDigit(attempt + 1, digit, wow64), encrypt_headers, processors);
        }
    } catch (const std::exception& failure) {
        error = FromUtf8(failure.what());
    }
    return false;
}

bool DeleteArchiveRoutine(Engine& engine, TextView archive, TextView password, const std::vector<Text>& entries,
                          const ArchiveProgress& progress, Text& error) {
    error.clear();
    try {
        std::vector<Text> names = entries;
        for (Text& entry : names) {
            const size_t at = entry.find(u"*.*");
            if (at != Text::npos) entry.replace(at, 3, u"*");
        }
        ArchiveLibrary& library = engine.platform.archives;
        if (library.Delete(NormaliseArchivePath(archive), names, password, progress)) return true;
        error = ErrorText(library.LastError());
    } catch (const std::exception& failure) {
        error = FromUtf8(failure.what());
    }
    return false;
}

bool TestArchiveRoutine(Engine& engine, TextView archive, TextView password, const ArchiveProgress& progress,
                        Text& error) {
    error.clear();
    try {
        ArchiveLibrary& library = engine.platform.archives;
        if (library.Test(NormaliseArchivePath(archive), password, progress)) return true;
        error = ErrorText(library.LastError());
    } catch (const std::exception& failure) {
        error = FromUtf8(failure.what());
    }
    return false;
}

}  // namespace zev

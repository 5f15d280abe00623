#include "startup/out_of_process_extract.h"

#include "interpreter/text_file.h"
#include "media/archive_routines.h"
#include "startup/zevstub.h"

namespace zev {

bool ReadControlFlag(TextView line) {
    const Text text = Trim(line);
    if (auto number = ParseInt(text)) return *number != 0;
    return EqualsNoCase(text, u"TRUE");
}

int RunOutOfProcessExtract(Engine& engine) {
    FileSystem& files = engine.platform.files;
    const Text& control_file = engine.command_line.control_file;
    auto control = control_file.empty() ? std::nullopt : files.ReadWholeFile(control_file);
    if (!control) return kExitControlFileMissing;

    std::vector<Text> lines = ReadFileLines(*control);
    lines.resize(std::max<size_t>(lines.size(), 5));
    ExtractRequest request;
    request.archive = lines[0];
    request.password = lines[1];
    request.output_folder = lines[2];
    request.keep_paths = ReadControlFlag(lines[3]);
    request.overwrite = ReadControlFlag(lines[4]);
    if (auto items = files.ReadWholeFile(control_file + u"items")) {
        for (Text& item : ReadFileLines(*items))
            if (!item.empty()) request.entries.push_back(std::move(item));
    }
    if (!files.FileExists(request.archive)) return kExitArchiveMissing;

    Text error;
    ExtractArchiveRoutine(engine, request, nullptr, error);
    files.WriteWholeFile(control_file, ToUtf8(error) + "\r\n");
    return kExitNormal;
}

}  // namespace zev

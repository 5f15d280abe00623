#include "tools/zevc/setup_builder.h"

#include <fstream>
#include <iterator>

#include "script/pe_image.h"
#include "tools/zevc/resource_archive.h"

namespace zev::zevc {

namespace fs = std::filesystem;

namespace {

std::string Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path PathOfText(TextView text) {
    const std::string utf8 = ToUtf8(text);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadAll(const fs::path& path, const std::string& what) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw BuildError("cannot open the " + what + " " + Shown(path));
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw BuildError("cannot read the " + what + " " + Shown(path));
    return bytes;
}

void WriteAll(const fs::path& path, std::string_view first, std::string_view second = {}) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw BuildError("cannot create " + Shown(path));
    file.write(first.data(), static_cast<std::streamsize>(first.size()));
    file.write(second.data(), static_cast<std::streamsize>(second.size()));
    file.close();
    if (!file) throw BuildError("cannot write " + Shown(path));
}

// An archive name is a relative path that stays inside the archive's folder when
// unpacked: no drive, no root, no "." or ".." part, no empty part.
bool IsSafeArchiveName(TextView name) {
    if (name.empty()) return false;
    for (const Text& part : Split(Text(name), u'/')) {
        for (const Text& piece : Split(part, u'\\')) {
            if (piece.empty() || piece == u"." || piece == u".." || piece.find(u':') != Text::npos) return false;
        }
    }
    return true;
}

}  // namespace

void BuildSetup(const CompiledProduct& product, const std::string& script, const BuildRequest& request) {
    // Check every input before anything is written.
    const std::string stub = ReadAll(request.stub, "engine stub");
    std::optional<uint64_t> image_end = PeImageEnd(stub);
    if (!image_end || *image_end > stub.size())
        throw BuildError("the engine stub " + Shown(request.stub) + " is not a Windows executable");
    if (!fs::is_regular_file(request.archive_library))
        throw BuildError("cannot find the archive library " + Shown(request.archive_library));

    const fs::path base = request.source_file.parent_path();
    std::vector<ArchiveEntry> entries;
    for (const SupportFile& file : product.support_files) {
        fs::path path = PathOfText(file.path);
        if (path.is_relative()) path = base / path;
        if (!fs::is_regular_file(path))
            throw SupportFileError(file.at, "cannot find the support file " + Shown(path));
        if (!IsSafeArchiveName(file.archive_name)) {
            throw SupportFileError(file.at, "the archive name \"" + ToUtf8(file.archive_name) +
                                                "\" must be a relative path inside the archive");
        }
        for (const ArchiveEntry& entry : entries) {
            if (EqualsNoCase(entry.name, file.archive_name)) {
                throw SupportFileError(file.at, "the archive already holds a file named \"" +
                                                    ToUtf8(file.archive_name) + "\"");
            }
        }
        entries.push_back({path, file.archive_name});
    }

    std::error_code error;
    fs::create_directories(request.output_folder, error);
    if (error) throw BuildError("cannot create the folder " + Shown(request.output_folder) + ": " + error.message());

    // A stub that already carries data past its image contributes its image only.
    WriteAll(request.output_folder / "setup.exe", std::string_view(stub).substr(0, static_cast<size_t>(*image_end)),
             script);
    // Runnable where that means anything (Wine on the build machine).
    fs::permissions(request.output_folder / "setup.exe",
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add,
                    error);
    CreateResourceArchive(request.output_folder / "setup.res", entries);
    fs::copy_file(request.archive_library, request.output_folder / "zev.lib", fs::copy_options::overwrite_existing,
                  error);
    if (error) {
        throw BuildError("cannot copy the archive library " + Shown(request.archive_library) + ": " +
                         error.message());
    }
}

}  // namespace zev::zevc

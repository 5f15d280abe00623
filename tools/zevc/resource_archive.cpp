#include "tools/zevc/resource_archive.h"

#include <fstream>
#include <random>

#include "media/archive_library.h"
#include "tools/zevc/setup_builder.h"

namespace zev::zevc {

namespace fs = std::filesystem;

namespace {

std::string Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

uint32_t Crc32(std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A 7-Zip archive without entries is its signature header alone, pointing at an
// empty next header.
void WriteEmptyArchive(const fs::path& archive) {
    std::string header("7z\xBC\xAF\x27\x1C\x00\x04", 8);
    const std::string start(20, '\0');  // next header offset, size and CRC: all zero
    const uint32_t crc = Crc32(start);
    for (int k = 0; k < 4; ++k) header.push_back(static_cast<char>((crc >> (8 * k)) & 0xFF));
    header += start;
    std::ofstream file(archive, std::ios::binary | std::ios::trunc);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.close();
    if (!file) throw BuildError("cannot write " + Shown(archive));
}

// A private folder that is removed with everything in it when it goes out of scope.
class StagingFolder {
public:
    StagingFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = fs::temp_directory_path() / ("zevc-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
        throw BuildError("cannot create a temporary folder");
    }
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

void CreateResourceArchive(const fs::path& archive, const std::vector<ArchiveEntry>& entries) {
    std::error_code error;
    fs::remove(archive, error);
    if (entries.empty()) {
        WriteEmptyArchive(archive);
        return;
    }
    // The files are laid out under their archive names in a private folder, whose
    // contents the archive library then packs under those relative names.
    StagingFolder staging;
    for (const ArchiveEntry& entry : entries) {
        std::string name = ToUtf8(entry.name);
        for (char& c : name)
            if (c == '\\') c = '/';
        const fs::path target = staging.Path() / fs::path(std::u8string(name.begin(), name.end()));
        fs::create_directories(target.parent_path(), error);
        if (error || !fs::copy_file(entry.file, target, fs::copy_options::overwrite_existing, error))
            throw BuildError("cannot stage " + Shown(entry.file) + " for the resource archive");
    }
    const std::u8string folder = (staging.Path() / "*").u8string();
    const Text pattern = FromUtf8(std::string(folder.begin(), folder.end()));
    const std::u8string target_name = fs::absolute(archive).u8string();
    const Text target = FromUtf8(std::string(target_name.begin(), target_name.end()));
    const char16_t* files[] = {pattern.c_str()};
    if (!CreateArchive(target.c_str(), ZEV_ARCHIVE_LEVEL_NORMAL, files, 1, nullptr, 0, ZEV_ARCHIVE_MODE_CREATE, u"",
                       u"", nullptr, nullptr, nullptr)) {
        throw BuildError("cannot create the resource archive " + Shown(archive) + " (archive library error " +
                         std::to_string(GetLastArchiveError()) + ")");
    }
}

}  // namespace zev::zevc

// Helpers shared by the zevc tests: synthetic executables and scratch folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zev::zevc::test {

// The headers of a PE image (new header at 0x80, a 0xE0-byte optional header) with
// one section table entry per (raw offset, raw size) pair, and nothing after them.
inline std::string MakePeImage(const std::vector<std::pair<uint32_t, uint32_t>>& sections) {
    const size_t new_header = 0x80;
    const size_t optional_size = 0xE0;
    const size_t table = new_header + 4 + 20 + optional_size;
    std::string bytes(table + 40 * sections.size(), '\0');
    auto put16 = [&](size_t at, uint32_t value) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    auto put32 = [&](size_t at, uint32_t value) {
        put16(at, value & 0xFFFF);
        put16(at + 2, value >> 16);
    };
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(0x3C, new_header);
    bytes.replace(new_header, 4, std::string("PE\0\0", 4));
    put16(new_header + 4, 0x14C);
    put16(new_header + 6, static_cast<uint32_t>(sections.size()));
    put16(new_header + 20, optional_size);
    for (size_t i = 0; i < sections.size(); ++i) {
        put32(table + 40 * i + 16, sections[i].second);
        put32(table + 40 * i + 20, sections[i].first);
    }
    return bytes;
}

// An empty folder of its own under the system's temporary folder, removed with
// everything in it at the end of the test.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("zevc_test_" + name + "_" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace zev::zevc::test

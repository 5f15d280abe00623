#include "script/pe_image.h"

#include <fstream>
#include <vector>

namespace zev {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;
constexpr size_t kFileHeaderSize = 20;  // after the 4-byte "PE\0\0" signature
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kRawSizeField = 16;    // within a section header
constexpr size_t kRawOffsetField = 20;

uint32_t Read16(std::string_view bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
}

uint32_t Read32(std::string_view bytes, size_t at) {
    return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

// Where the section table starts and how many entries it has, or nullopt when the
// headers before it are not those of a PE image. Needs the bytes up to the end of
// the file header.
struct SectionTable {
    uint64_t offset;
    uint32_t count;
};

std::optional<uint32_t> NewHeaderOffset(std::string_view bytes) {
    if (bytes.size() < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
    return Read32(bytes, kNewHeaderOffsetField);
}

// bytes start at the new header (the "PE\0\0" signature).
std::optional<SectionTable> FindSectionTable(std::string_view header, uint64_t header_offset) {
    if (header.size() < 4 + kFileHeaderSize || header.substr(0, 4) != std::string_view("PE\0\0", 4))
        return std::nullopt;
    const uint32_t count = Read16(header, 4 + 2);
    const uint32_t optional_size = Read16(header, 4 + 16);
    return SectionTable{header_offset + 4 + kFileHeaderSize + optional_size, count};
}

uint64_t EndOfSections(std::string_view table, uint32_t count) {
    uint64_t end = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = static_cast<size_t>(i) * kSectionHeaderSize;
        const uint64_t section_end = static_cast<uint64_t>(Read32(table, entry + kRawOffsetField)) +
                                     Read32(table, entry + kRawSizeField);
        if (section_end > end) end = section_end;
    }
    return end;
}

}  // namespace

std::optional<uint64_t> PeImageEnd(std::string_view bytes) {
    std::optional<uint32_t> new_header = NewHeaderOffset(bytes);
    if (!new_header || *new_header > bytes.size()) return std::nullopt;
    std::optional<SectionTable> table = FindSectionTable(bytes.substr(*new_header), *new_header);
    if (!table) return std::nullopt;
    const uint64_t table_size = static_cast<uint64_t>(table->count) * kSectionHeaderSize;
    if (table->offset > bytes.size() || table_size > bytes.size() - table->offset) return std::nullopt;
    return EndOfSections(bytes.substr(static_cast<size_t>(table->offset), static_cast<size_t>(table_size)),
                         table->count);
}

std::optional<uint64_t> PeImageEndOfFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    auto read_at = [&file](uint64_t offset, size_t size) -> std::optional<std::string> {
        std::string buffer(size, '\0');
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        if (!file.read(buffer.data(), static_cast<std::streamsize>(size))) return std::nullopt;
        return buffer;
    };
    std::optional<std::string> dos = read_at(0, kDosHeaderSize);
    if (!dos) return std::nullopt;
    std::optional<uint32_t> new_header = NewHeaderOffset(*dos);
    if (!new_header) return std::nullopt;
    std::optional<std::string> header = read_at(*new_header, 4 + kFileHeaderSize);
    if (!header) return std::nullopt;
    std::optional<SectionTable> table = FindSectionTable(*header, *new_header);
    if (!table) return std::nullopt;
    std::optional<std::string> entries = read_at(table->offset, static_cast<size_t>(table->count) * kSectionHeaderSize);
    if (!entries) return std::nullopt;
    return EndOfSections(*entries, table->count);
}

}  // namespace zev

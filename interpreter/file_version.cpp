#include "interpreter/file_version.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "interpreter/expression.h"

namespace zev {

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kVersionResourceType = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
// Upper bounds of what is read, so that a damaged header cannot ask for gigabytes.
constexpr size_t kMaxHeaderBytes = 0x10000;
constexpr size_t kMaxVersionResourceBytes = 0x100000;
constexpr uint32_t kMaxSections = 96;

uint16_t Get16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

uint32_t Get32(const std::string& bytes, size_t at) {
    return Get16(bytes, at) | (static_cast<uint32_t>(Get16(bytes, at + 2)) << 16);
}

struct Section {
    uint32_t virtual_address;
    uint32_t virtual_size;
    uint32_t raw_size;
    uint32_t raw_offset;
};

class ImageReader {
public:
    ImageReader(FileSystem& files, TextView path) : files_(files), path_(path) {}

    std::optional<VersionQuadruple> Read() {
        const auto dos = files_.ReadFileRange(path_, 0, 0x40);
        if (!dos || dos->size() < 0x40 || dos->compare(0, 2, "MZ") != 0) return std::nullopt;
        const uint32_t pe_offset = Get32(*dos, 0x3C);
        const auto headers = files_.ReadFileRange(path_, pe_offset, kMaxHeaderBytes);
        if (!headers || headers->size() < 24 || headers->compare(0, 4, std::string("PE\0\0", 4)) != 0)
            return std::nullopt;
        const uint32_t section_count = Get16(*headers, 6);
        const uint32_t optional_size = Get16(*headers, 20);
        const size_t optional = 24;
        if (section_count > kMaxSections || headers->size() < optional + optional_size + 40 * section_count ||
            optional_size < 2)
            return std::nullopt;
        const uint16_t magic = Get16(*headers, optional);
        size_t count_at = 0;
        if (magic == kPe32Magic) count_at = optional + 92;
        else if (magic == kPe32PlusMagic) count_at = optional + 108;
        else return std::nullopt;
        if (count_at + 4 + 8 * (kResourceDirectoryIndex + 1) > optional + optional_size) return std::nullopt;
        if (Get32(*headers, count_at) <= kResourceDirectoryIndex) return std::nullopt;
        const size_t directory = count_at + 4 + 8 * kResourceDirectoryIndex;
        const uint32_t resource_rva = Get32(*headers, directory);
        const uint32_t resource_size = Get32(*headers, directory + 4);
        if (resource_rva == 0 || resource_size == 0) return std::nullopt;
        for (uint32_t index = 0; index < section_count; ++index) {
            const size_t at = optional + optional_size + 40 * index;
            sections_.push_back({Get32(*headers, at + 12), Get32(*headers, at + 8), Get32(*headers, at + 16),
                                 Get32(*headers, at + 20)});
        }
        return ReadVersionResource(resource_rva, resource_size);
    }

private:
    // Up to length bytes of the image at a relative virtual address.
    std::optional<std::string> ReadAt(uint32_t rva, size_t length) {
        for (const Section& section : sections_) {
            const uint64_t extent = std::max(section.virtual_size, section.raw_size);
            if (rva < section.virtual_address || rva >= section.virtual_address + extent) continue;
            const uint64_t inside = rva - section.virtual_address;
            if (inside >= section.raw_size) return std::nullopt;
            const size_t available = static_cast<size_t>(section.raw_size - inside);
            return files_.ReadFileRange(path_, section.raw_offset + inside, std::min(length, available));
        }
        return std::nullopt;
    }

    // The entry of a resource directory (offset within the resource data) with the given
    // id, or its first entry when id is empty: the entry's data offset word.
    static std::optional<uint32_t> FindEntry(const std::string& data, uint32_t directory,
                                             std::optional<uint32_t> id) {
        if (static_cast<uint64_t>(directory) + 16 > data.size()) return std::nullopt;
        const uint32_t count = static_cast<uint32_t>(Get16(data, directory + 12)) + Get16(data, directory + 14);
        for (uint32_t index = 0; index < count; ++index) {
            const uint64_t at = static_cast<uint64_t>(directory) + 16 + 8 * index;
            if (at + 8 > data.size()) return std::nullopt;
            const uint32_t name = Get32(data, static_cast<size_t>(at));
            if (!id || name == *id) return Get32(data, static_cast<size_t>(at) + 4);
        }
        return std::nullopt;
    }

    std::optional<VersionQuadruple> ReadVersionResource(uint32_t rva, uint32_t size) {
        const auto data = ReadAt(rva, std::min<size_t>(size, 64u << 20));
        if (!data) return std::nullopt;
        constexpr uint32_t kSubdirectory = 0x80000000u;
        const auto type = FindEntry(*data, 0, kVersionResourceType);
        if (!type || !(*type & kSubdirectory)) return std::nullopt;
        const auto name = FindEntry(*data, *type & ~kSubdirectory, std::nullopt);
        if (!name || !(*name & kSubdirectory)) return std::nullopt;
        const auto language = FindEntry(*data, *name & ~kSubdirectory, std::nullopt);
        if (!language || (*language & kSubdirectory) || static_cast<uint64_t>(*language) + 8 > data->size())
            return std::nullopt;
        const uint32_t version_rva = Get32(*data, *language);
        const uint32_t version_size = Get32(*data, *language + 4);
        const auto version = ReadAt(version_rva, std::min<size_t>(version_size, kMaxVersionResourceBytes));
        if (!version) return std::nullopt;
        return FixedFileVersion(*version);
    }

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" and its
    // terminator, padding to 32 bits, then the fixed block.
    static std::optional<VersionQuadruple> FixedFileVersion(const std::string& info) {
        static constexpr char16_t kKey[] = u"VS_VERSION_INFO";
        size_t at = 6;
        for (const char16_t c : TextView(kKey)) {
            if (at + 2 > info.size() || Get16(info, at) != c) return std::nullopt;
            at += 2;
        }
        at += 2;  // terminator
        at = (at + 3) & ~size_t{3};
        if (Get16(info, 2) < 52 || at + 52 > info.size() || Get32(info, at) != kFixedInfoSignature)
            return std::nullopt;
        const uint32_t most = Get32(info, at + 8);
        const uint32_t least = Get32(info, at + 12);
        return VersionQuadruple{most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF};
    }

    FileSystem& files_;
    Text path_;
    std::vector<Section> sections_;
};

uint32_t Field(TextView text) {
    const std::optional<int32_t> value = ParseInteger32(text);
    if (!value) throw ConversionError(text);
    return static_cast<uint32_t>(*value);
}

}  // namespace

VersionQuadruple ReadFileVersion(FileSystem& files, TextView path) {
    return ImageReader(files, path).Read().value_or(VersionQuadruple{0, 0, 0, 0});
}

VersionQuadruple ParseVersionText(TextView text) {
    VersionQuadruple version{0, 0, 0, 0};
    TextView rest = text;
    for (uint32_t& field : version) {
        if (rest.empty()) {
            field = 0;
            continue;
        }
        const size_t dot = rest.find(u'.');
        if (dot != TextView::npos) {
            field = Field(rest.substr(0, dot));
            rest = rest.substr(dot + 1);
        } else {
            const std::optional<int32_t> value = ParseInteger32(rest);
            field = value ? static_cast<uint32_t>(*value) : 0;
            rest = TextView();
        }
    }
    return version;
}

Text VersionText(const VersionQuadruple& version) {
    Text text;
    for (size_t index = 0; index < version.size(); ++index) {
        if (index) text += u'.';
        text += FromInt(version[index]);
    }
    return text;
}

}  // namespace zev

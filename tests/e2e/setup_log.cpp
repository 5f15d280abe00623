#include "tests/e2e/setup_log.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "script/text.h"

namespace zev::e2e {
namespace {

[[noreturn]] void Malformed(const std::string& what, size_t offset) {
    throw std::runtime_error("setup log: " + what + " at byte offset " + std::to_string(offset));
}

}  // namespace

std::vector<std::string> ParseSetupLog(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        Malformed("byte-order mark", 0);
    }
    if (bytes.size() % 2 != 0) Malformed("odd length, not UTF-16", bytes.size() - 1);

    const size_t unit_count = bytes.size() / 2;
    const auto unit = [&](size_t index) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * index]) |
                                     (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
    };
    std::vector<std::string> lines;
    Text line;
    size_t line_start = 0;
    for (size_t index = 0; index < unit_count; ++index) {
        const char16_t c = unit(index);
        if (c == u'\r') {
            if (index + 1 >= unit_count || unit(index + 1) != u'\n') Malformed("CR without LF", 2 * index);
            lines.push_back(ToUtf8(line));
            line.clear();
            ++index;
            line_start = index + 1;
        } else if (c == u'\n') {
            Malformed("LF without CR", 2 * index);
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            if (index + 1 >= unit_count || unit(index + 1) < 0xDC00 || unit(index + 1) > 0xDFFF) {
                Malformed("unpaired high surrogate", 2 * index);
            }
            line.push_back(c);
            line.push_back(unit(++index));
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            Malformed("unpaired low surrogate", 2 * index);
        } else {
            line.push_back(c);
        }
    }
    if (line_start != unit_count) Malformed("text after the last CR LF", 2 * line_start);
    return lines;
}

std::vector<std::string> ReadSetupLog(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("setup log: cannot open " + path.string());
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return ParseSetupLog(bytes);
}

}  // namespace zev::e2e

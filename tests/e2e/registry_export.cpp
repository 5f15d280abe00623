#include "tests/e2e/registry_export.h"

#include <cctype>
#include <stdexcept>

#include "script/text.h"

namespace zev::e2e {
namespace {

constexpr int kExpandStringType = 2;
constexpr int kDwordType = 4;
constexpr int kMultiStringType = 7;
constexpr int kQwordType = 11;

[[noreturn]] void Unreadable(size_t line_number, const std::string& what) {
    throw std::runtime_error("registry export line " + std::to_string(line_number) + ": " + what);
}

// The key path with its root in the long form, for comparison without regard to case.
Text CanonicalKey(std::string_view key_path) {
    Text key = FromUtf8(key_path);
    while (!key.empty() && key.back() == u'\\') key.pop_back();
    const size_t separator = key.find(u'\\');
    const Text root = key.substr(0, separator);
    const Text rest = separator == Text::npos ? Text() : key.substr(separator);
    struct Alias { const char16_t* short_name; const char16_t* long_name; };
    static const Alias aliases[] = {
        {u"HKCU", u"HKEY_CURRENT_USER"}, {u"HKLM", u"HKEY_LOCAL_MACHINE"},
        {u"HKCR", u"HKEY_CLASSES_ROOT"}, {u"HKU", u"HKEY_USERS"}, {u"HKCC", u"HKEY_CURRENT_CONFIG"},
    };
    for (const Alias& alias : aliases) {
        if (EqualsNoCase(root, alias.short_name)) return ToUpper(Text(alias.long_name) + rest);
    }
    return ToUpper(key);
}

// A quoted text at position; on return position is just past the closing quote.
std::string ReadQuoted(std::string_view line, size_t& position, size_t line_number) {
    if (position >= line.size() || line[position] != '"') Unreadable(line_number, "quote expected");
    std::string text;
    for (++position; position < line.size(); ++position) {
        const char c = line[position];
        if (c == '"') {
            ++position;
            return text;
        }
        if (c == '\\' && position + 1 < line.size()) {
            const char escaped = line[++position];
            switch (escaped) {
                case 'n': text.push_back('\n'); break;
                case 'r': text.push_back('\r'); break;
                case '0': text.push_back('\0'); break;
                default: text.push_back(escaped); break;
            }
            continue;
        }
        text.push_back(c);
    }
    Unreadable(line_number, "closing quote missing");
}

std::vector<std::uint8_t> ReadHexBytes(std::string_view text, size_t line_number) {
    std::vector<std::uint8_t> bytes;
    size_t position = 0;
    while (position < text.size()) {
        const size_t comma = text.find(',', position);
        const std::string_view item =
            text.substr(position, comma == std::string_view::npos ? std::string_view::npos : comma - position);
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1]))) {
            Unreadable(line_number, "bad hexadecimal byte '" + std::string(item) + "'");
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(item), nullptr, 16)));
        if (comma == std::string_view::npos) break;
        position = comma + 1;
    }
    return bytes;
}

Text Utf16FromBytes(const std::vector<std::uint8_t>& bytes) {
    Text text;
    for (size_t index = 0; index + 1 < bytes.size(); index += 2) {
        text.push_back(static_cast<char16_t>(bytes[index] | (bytes[index + 1] << 8)));
    }
    return text;
}

RegistryValue ReadValueData(std::string_view data, size_t line_number) {
    RegistryValue value;
    if (!data.empty() && data.front() == '"') {
        size_t position = 0;
        value.type = RegistryType::String;
        value.text = ReadQuoted(data, position, line_number);
        if (position != data.size()) Unreadable(line_number, "text after the closing quote");
        return value;
    }
    if (data.starts_with("dword:")) {
        const std::string_view digits = data.substr(6);
        if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
            Unreadable(line_number, "bad dword '" + std::string(digits) + "'");
        }
        value.type = RegistryType::Dword;
        value.raw_type = kDwordType;
        value.number = std::stoul(std::string(digits), nullptr, 16);
        return value;
    }
    if (!data.starts_with("hex")) Unreadable(line_number, "unknown value form '" + std::string(data) + "'");
    const size_t colon = data.find(':');
    if (colon == std::string_view::npos) Unreadable(line_number, "colon missing after hex");
    const std::string_view kind = data.substr(3, colon - 3);
    int type = 3;  // REG_BINARY
    if (!kind.empty()) {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') Unreadable(line_number, "bad hex type");
        type = static_cast<int>(std::stoul(std::string(kind.substr(1, kind.size() - 2)), nullptr, 16));
    }
    value.raw_type = type;
    value.data = ReadHexBytes(data.substr(colon + 1), line_number);
    switch (type) {
        case 3:
            value.type = RegistryType::Binary;
            break;
        case kExpandStringType: {
            Text text = Utf16FromBytes(value.data);
            while (!text.empty() && text.back() == u'\0') text.pop_back();
            value.type = RegistryType::ExpandString;
            value.text = ToUtf8(text);
            break;
        }
        case kMultiStringType: {
            value.type = RegistryType::MultiString;
            Text text = Utf16FromBytes(value.data);
            // Strings end with a NUL each; the list ends with one more.
            size_t start = 0;
            for (size_t index = 0; index < text.size(); ++index) {
                if (text[index] != u'\0') continue;
                if (index == start) break;
                value.strings.push_back(ToUtf8(TextView(text).substr(start, index - start)));
                start = index + 1;
            }
            break;
        }
        case kDwordType:
        case kQwordType: {
            value.type = type == kDwordType ? RegistryType::Dword : RegistryType::Qword;
            for (size_t index = value.data.size(); index-- > 0;) value.number = (value.number << 8) | value.data[index];
            break;
        }
        default:
            value.type = RegistryType::Other;
            break;
    }
    return value;
}

// Logical lines: a hexadecimal value continues on the next line after a backslash.
std::vector<std::pair<size_t, std::string>> LogicalLines(std::string_view text) {
    std::vector<std::pair<size_t, std::string>> lines;
    size_t line_number = 0;
    bool continuing = false;
    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(position, end - position));
        position = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (continuing) {
            const size_t first = line.find_first_not_of(' ');
            lines.back().second += first == std::string::npos ? std::string() : line.substr(first);
        } else {
            lines.emplace_back(line_number, line);
        }
        std::string& current = lines.back().second;
        continuing = !current.empty() && current.back() == '\\' && current.find("=hex") != std::string::npos;
        if (continuing) current.pop_back();
        if (end == text.size()) break;
    }
    return lines;
}

}  // namespace

const RegistryValue* RegistryKey::Find(std::string_view name) const {
    const Text wanted = FromUtf8(name);
    for (const auto& [value_name, value] : values) {
        if (EqualsNoCase(FromUtf8(value_name), wanted)) return &value;
    }
    return nullptr;
}

std::optional<RegistryKey> ParseRegistryExport(std::string_view utf8_text, std::string_view key_path) {
    const Text wanted = CanonicalKey(key_path);
    std::optional<RegistryKey> found;
    bool in_wanted = false;
    for (const auto& [line_number, line] : LogicalLines(utf8_text)) {
        if (line.empty() || line.front() == ';' || line.starts_with("Windows Registry Editor") ||
            line == "REGEDIT4") {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') Unreadable(line_number, "key line without ']'");
            const std::string section = line.substr(1, line.size() - 2);
            const Text canonical = CanonicalKey(section);
            in_wanted = canonical == wanted;
            if (in_wanted && !found) found.emplace();
            const Text prefix = wanted + u"\\";
            if (canonical.size() > prefix.size() && canonical.starts_with(prefix) &&
                canonical.find(u'\\', prefix.size()) == Text::npos) {
                if (!found) found.emplace();
                found->subkeys.push_back(section.substr(section.rfind('\\') + 1));
            }
            continue;
        }
        std::string name;
        size_t position = 0;
        if (line.front() == '@') {
            position = 1;
        } else {
            name = ReadQuoted(line, position, line_number);
        }
        if (position >= line.size() || line[position] != '=') Unreadable(line_number, "'=' expected");
        RegistryValue value = ReadValueData(std::string_view(line).substr(position + 1), line_number);
        if (in_wanted) found->values.emplace_back(std::move(name), std::move(value));
    }
    return found;
}

}  // namespace zev::e2e

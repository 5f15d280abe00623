#include "script/statement_table.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zev {

namespace {

const Text kEmpty;

std::string Quoted(TextView text) { return "\"" + ToUtf8(text) + "\""; }

// Fixed lines are the first lines of their section; a section too short to hold
// them reads the missing ones as empty rather than borrowing lines of the next.
class SectionReader {
public:
    SectionReader(const ScriptSections& sections, int number)
        : lines_(sections.Section(number)), first_line_(sections.first_line[number - 1]),
          number_(number) {}

    const Text& Fixed(size_t index) const { return index < lines_.size() ? lines_[index] : kEmpty; }

    int64_t FixedNumber(size_t index, const char* what) const {
        std::optional<int64_t> value = ParseInt(Fixed(index));
        if (!value) {
            // A missing line is reported at the section's "$" line.
            size_t line = first_line_ + std::min(index, lines_.size());
            throw ScriptLoadError("line " + std::to_string(line) + ", section " +
                                  std::to_string(number_) + " (" + what + "): " +
                                  Quoted(Fixed(index)) + " is not a whole number");
        }
        return *value;
    }

    std::vector<Text> ListAfter(size_t fixed_count) const {
        if (fixed_count >= lines_.size()) return {};
        return std::vector<Text>(lines_.begin() + static_cast<std::ptrdiff_t>(fixed_count), lines_.end());
    }

    IndexedLines IndexedListAfter(size_t fixed_count) const {
        IndexedLines list;
        for (size_t i = fixed_count; i < lines_.size(); ++i) list.Append(lines_[i]);
        return list;
    }

private:
    const std::vector<Text>& lines_;
    size_t first_line_;
    int number_;
};

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

}  // namespace

ScriptSections ReadScriptSections(std::string_view bytes) {
    ScriptSections sections;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    size_t section = 0;
    size_t line_number = 0;
    bool section_started = false;
    size_t position = 0;
    while (section < kScriptSectionCount && position < bytes.size()) {
        size_t end = bytes.find('\n', position);
        std::string_view line = end == std::string_view::npos ? bytes.substr(position)
                                                              : bytes.substr(position, end - position);
        position = end == std::string_view::npos ? bytes.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++line_number;
        if (!section_started) {
            sections.first_line[section] = line_number;
            section_started = true;
        }
        if (line == "$") {
            ++section;
            section_started = false;
            continue;
        }
        sections.lines[section].push_back(FromUtf8(line));
    }
    if (section < kScriptSectionCount) {
        throw ScriptLoadError("script ends after line " + std::to_string(line_number) +
                              " inside section " + std::to_string(section + 1) +
                              "; each of the 13 sections must end with a line \"$\"");
    }
    return sections;
}

// --- IndexedLines -------------------------------------------------------------------

void IndexedLines::Append(Text line) {
    index_.try_emplace(ToLower(line), lines_.size());
    lines_.push_back(std::move(line));
}

void IndexedLines::Clear() {
    lines_.clear();
    index_.clear();
}

const Text& IndexedLines::AtOrEmpty(size_t index) const {
    return index < lines_.size() ? lines_[index] : kEmpty;
}

size_t IndexedLines::IndexOf(TextView text) const {
    auto hit = index_.find(ToLower(text));
    return hit == index_.end() ? npos : hit->second;
}

void IndexedLines::Replace(size_t index, Text line) {
    if (index >= lines_.size()) return;
    lines_[index] = std::move(line);
    Reindex();
}

void IndexedLines::Reindex() {
    index_.clear();
    for (size_t i = 0; i < lines_.size(); ++i) index_.try_emplace(ToLower(lines_[i]), i);
}

// --- StatementTable -----------------------------------------------------------------

void StatementTable::Load(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    const std::string shown(name.begin(), name.end());
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ScriptLoadError("cannot open the script file \"" + shown + "\"");
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw ScriptLoadError("cannot read the script file \"" + shown + "\"");
    LoadFromBytes(bytes);
}

void StatementTable::LoadFromBytes(std::string_view bytes) {
    Clear();
    const ScriptSections sections = ReadScriptSections(bytes);

    for (const Text& line : sections.Section(1)) commands_.Append(line);
    for (const Text& line : sections.Section(2)) identifiers_.Append(line);
    {
        // Only whole lines are replaced, and only among the parameters.
        std::vector<Text> parameters = sections.Section(3);
        for (Text& line : parameters)
            if (EqualsNoCase(line, u"$WILD_DOLLAR$") || EqualsNoCase(line, u"$DOLLAR$")) line = u"$";
        for (Text& line : parameters) parameters_.Append(std::move(line));
    }
    for (const Text& line : sections.Section(4)) flags_.Append(line);

    const SectionReader s5(sections, 5);
    product_.product_code = s5.Fixed(0);
    product_.product_title = s5.Fixed(1);
    plugins_ = s5.IndexedListAfter(2);

    const SectionReader s6(sections, 6);
    product_.publisher = s6.Fixed(0);
    product_.contact = s6.Fixed(1);
    product_.help_link = s6.Fixed(2);
    product_.update_url = s6.Fixed(3);
    product_.comments = s6.Fixed(4);
    product_.display_version = s6.Fixed(5);
    passwords_ = s6.ListAfter(6);

    for (const Text& line : sections.Section(7)) media_.Append(line);

    const SectionReader s8(sections, 8);
    product_.media_mode = s8.FixedNumber(0, "media mode");
    component_sizes_ = s8.ListAfter(1);

    const SectionReader s9(sections, 9);
    product_.revision_code = s9.Fixed(0);
    media_files_ = s9.ListAfter(1);

    const SectionReader s10(sections, 10);
    product_.language_dialog = s10.Fixed(0) == u"TRUE";
    product_.default_language = s10.Fixed(1);
    headers_ = s10.ListAfter(2);
    // Pairs are header first, index second; the first pair naming an index wins.
    for (size_t i = 1; i < headers_.size(); i += 2) header_by_index_.try_emplace(headers_[i], i - 1);

    compile_vars_ = sections.Section(11);

    const SectionReader s12(sections, 12);
    product_.code_page = s12.FixedNumber(0, "code page");
    positions_ = s12.ListAfter(1);

    const SectionReader s13(sections, 13);
    product_.total_file_size = s13.FixedNumber(0, "total file size");
    file_table_ = s13.ListAfter(1);
}

void StatementTable::Clear() {
    commands_.Clear();
    identifiers_.Clear();
    parameters_.Clear();
    flags_.Clear();
    media_.Clear();
    plugins_.Clear();
    positions_.clear();
    product_ = ProductValues{};
    passwords_.clear();
    component_sizes_.clear();
    media_files_.clear();
    headers_.clear();
    header_by_index_.clear();
    compile_vars_.clear();
    file_table_.clear();
}

SourcePosition StatementTable::Position(size_t index) const {
    if (index >= positions_.size()) return {Text(), -1};
    const Text& text = positions_[index];
    size_t star = text.find(u'*');
    if (star == Text::npos) return {text, -1};
    std::optional<int64_t> line = ParseInt(TextView(text).substr(star + 1));
    return {text.substr(0, star), line ? *line : -1};
}

Text StatementTable::SourceFileTitle(size_t index) const {
    Text file = Position(index).file;
    size_t slash = file.find_last_of(u"\\/");
    if (slash != Text::npos) file.erase(0, slash + 1);
    size_t dot = file.rfind(u'.');
    if (dot != Text::npos && dot > 0) file.erase(dot);
    return file;
}

bool StatementTable::IsVisible(size_t index) const {
    return index < commands_.Count() && Flag(index) != u"C" && Command(index) != u"Ignore";
}

Text StatementTable::Parameter(TextView identifier, size_t n) const {
    // A statement without an identifier (a short section 2) has no block; without this
    // it would read its parameters after whatever empty line section 3 holds.
    if (identifier.empty()) return Text();
    size_t at = parameters_.IndexOf(identifier);
    if (at == IndexedLines::npos) return Text();
    if (n >= parameters_.Count() - at) return Text();
    return parameters_.At(at + n);
}

bool StatementTable::FindCompileTimeVariable(TextView name, Text& value) const {
    for (size_t i = 0; i + 1 < compile_vars_.size(); i += 2) {
        if (EqualsNoCase(compile_vars_[i], name)) {
            value = compile_vars_[i + 1];
            return true;
        }
    }
    return false;
}

Text StatementTable::CommandHeaderOf(size_t statement) const {
    auto hit = header_by_index_.find(FromInt(static_cast<int64_t>(statement)));
    return hit == header_by_index_.end() ? Text() : headers_[hit->second];
}

int64_t StatementTable::ComponentSize(TextView name) const {
    const Text wanted = ToUpper(name);
    for (size_t i = 0; i + 1 < component_sizes_.size(); i += 2) {
        if (component_sizes_[i] == wanted) {
            std::optional<int64_t> size = ParseInt(component_sizes_[i + 1]);
            return size ? *size : -1;
        }
    }
    return -1;
}

bool StatementTable::FindWebMediaPassword(TextView media_name, Text& password) const {
    for (size_t i = 0; i + 1 < passwords_.size(); i += 2) {
        if (EqualsNoCase(passwords_[i], media_name)) {
            password = DecodeProtectedPassword(passwords_[i + 1]);
            return true;
        }
    }
    return false;
}

// --- Protected passwords --------------------------------------------------------------

std::optional<Text> TryDecodeProtectedPassword(TextView protected_text) {
    if (protected_text.size() % 2 != 0) return std::nullopt;
    // Step 1 and 2: hexadecimal pairs, each character then combined with its position.
    Text digits;
    digits.reserve(protected_text.size() / 2);
    for (size_t i = 0; i < protected_text.size(); i += 2) {
        int high = HexDigit(protected_text[i]);
        int low = HexDigit(protected_text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digits.push_back(static_cast<char16_t>((high * 16 + low) ^ (digits.size() & 0xFFFF)));
    }
    // Step 3: hexadecimal pairs again, the second digit of each pair the high one.
    if (digits.size() % 2 != 0) return std::nullopt;
    Text password;
    password.reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2) {
        int low = HexDigit(digits[i]);
        int high = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        password.push_back(static_cast<char16_t>(high * 16 + low));
    }
    return password;
}

Text DecodeProtectedPassword(TextView protected_text) {
    std::optional<Text> password = TryDecodeProtectedPassword(protected_text);
    return password ? *password : Text();
}

Text EncodeProtectedPassword(TextView password) {
    if (password.size() > kMaxProtectedPasswordLength) {
        throw std::invalid_argument("a web media password can have at most " +
                                    std::to_string(kMaxProtectedPasswordLength) + " characters");
    }
    Text digits;
    for (char16_t c : password) {
        if (c > 0xFF) {
            throw std::invalid_argument(
                "a web media password can only hold characters from U+0000 to U+00FF");
        }
        digits.push_back(kHexDigits[c & 0xF]);
        digits.push_back(kHexDigits[c >> 4]);
    }
    Text out;
    out.reserve(digits.size() * 2);
    for (size_t i = 0; i < digits.size(); ++i) {
        unsigned value = static_cast<unsigned>(digits[i]) ^ static_cast<unsigned>(i);
        out.push_back(kHexDigits[(value >> 4) & 0xF]);
        out.push_back(kHexDigits[value & 0xF]);
    }
    return out;
}

}  // namespace zev

#include "tools/zevc/script_decompiler.h"

#include <unordered_map>

#include "tools/zevc/script_compiler.h"
#include "tools/zevc/source_reader.h"

namespace zev::zevc {

namespace {

// A statement is moved down to its recorded line by at most this many blank lines;
// further away it gets a "line" attribute instead.
constexpr int64_t kMaxPadding = 40;

const Text kEmpty;

const Text& At(const std::vector<Text>& lines, size_t index) {
    return index < lines.size() ? lines[index] : kEmpty;
}

std::optional<int64_t> CanonicalNumber(TextView text) {
    std::optional<int64_t> value = ParseInt(text);
    if (!value || *value < 0 || FromInt(*value) != text) return std::nullopt;
    return value;
}

// A directive value: bare for GUIDs and numbers, quoted otherwise.
std::string Word(TextView text) { return IsBareWord(text) ? ToUtf8(text) : QuoteValue(text); }

class Decompiler {
public:
    explicit Decompiler(const ScriptSections& sections) : s_(sections) {}

    std::string Run() {
        Header();
        SideTables();
        Statements();
        return out_;
    }

private:
    void Line(const std::string& text) {
        out_ += text;
        out_ += '\n';
        ++line_;
    }

    void Directive(const char* keyword, std::initializer_list<std::string> values) {
        std::string text = std::string("@") + keyword;
        for (const std::string& value : values) text += " " + value;
        Line(text);
    }

    const Text& Fixed(int section, size_t index) const { return At(s_.Section(section), index); }
    std::vector<Text> List(int section, size_t fixed) const {
        const auto& lines = s_.Section(section);
        return fixed < lines.size() ? std::vector<Text>(lines.begin() + static_cast<std::ptrdiff_t>(fixed), lines.end())
                                    : std::vector<Text>();
    }

    // Values equal to what the compiler writes by default are left out.
    void Header() {
        const auto positions = List(12, 1);
        if (!positions.empty()) {
            // The first recorded source file heads the file, so that statements can
            // stand on their recorded lines.
            const Text& first = positions.front();
            size_t star = first.find(u'*');
            if (star != Text::npos && CanonicalNumber(TextView(first).substr(star + 1))) {
                origin_ = first.substr(0, star);
                origin_set_ = true;
                Directive("origin", {QuoteValue(origin_)});
            }
        }
        Directive("product-code", {Word(Fixed(5, 0))});
        if (!Fixed(5, 1).empty()) Directive("title", {QuoteValue(Fixed(5, 1))});
        Directive("revision-code", {Word(Fixed(9, 0))});
        const char* const text_lines[] = {"publisher", "contact", "help-link", "update-url", "comments", "version"};
        for (size_t i = 0; i < 6; ++i)
            if (s_.Section(6).size() <= i || !Fixed(6, i).empty()) Directive(text_lines[i], {QuoteValue(Fixed(6, i))});
        if (Fixed(8, 0) != u"1") Directive("media-mode", {Word(Fixed(8, 0))});
        const Text& flag = Fixed(10, 0);
        if (flag != u"FALSE")
            Directive("language-dialog", {flag == u"TRUE" ? "true" : QuoteValue(flag)});
        if (s_.Section(10).size() < 2 || !Fixed(10, 1).empty())
            Directive("default-language", {QuoteValue(Fixed(10, 1))});
        if (Fixed(12, 0) != u"0") Directive("code-page", {Word(Fixed(12, 0))});
        if (Fixed(13, 0) != u"0") Directive("total-size", {Word(Fixed(13, 0))});
    }

    void SideTables() {
        for (const Text& plugin : List(5, 2)) Directive("plugin", {QuoteValue(plugin)});

        const auto passwords = List(6, 6);
        for (size_t i = 0; i < passwords.size(); i += 2) {
            const Text& protected_form = At(passwords, i + 1);
            std::optional<Text> clear = TryDecodeProtectedPassword(protected_form);
            bool reversible = false;
            if (clear) {
                try {
                    reversible = EncodeProtectedPassword(*clear) == protected_form;
                } catch (const std::invalid_argument&) {
                }
            }
            if (reversible) Directive("web-media-password", {QuoteValue(passwords[i]), QuoteValue(*clear)});
            else Directive("web-media-protected-password", {QuoteValue(passwords[i]), QuoteValue(protected_form)});
        }

        const auto sizes = List(8, 1);
        for (size_t i = 0; i < sizes.size(); i += 2)
            Directive("component-size", {QuoteValue(sizes[i]), Word(At(sizes, i + 1))});

        const auto media_files = List(9, 1);
        for (size_t i = 0; i < media_files.size(); i += 3) {
            Directive("media-file", {QuoteValue(media_files[i]), QuoteValue(At(media_files, i + 1)),
                                     QuoteValue(At(media_files, i + 2))});
        }

        const auto variables = s_.Section(11);
        for (size_t i = 0; i < variables.size(); i += 2)
            Directive("compile-variable", {QuoteValue(variables[i]), QuoteValue(At(variables, i + 1))});

        CommandHeaders();
        FileTable();
    }

    // Headers become statement attributes when they are one per statement in
    // statement order, as zevc writes them; otherwise explicit pairs.
    void CommandHeaders() {
        const auto pairs = List(10, 2);
        const size_t count = s_.Section(1).size();
        bool as_attributes = pairs.size() % 2 == 0;
        int64_t previous = -1;
        for (size_t i = 0; as_attributes && i < pairs.size(); i += 2) {
            std::optional<int64_t> index = CanonicalNumber(pairs[i + 1]);
            if (!index || *index <= previous || static_cast<size_t>(*index) >= count) as_attributes = false;
            else previous = *index;
        }
        if (as_attributes) {
            for (size_t i = 0; i < pairs.size(); i += 2)
                header_of_[static_cast<size_t>(*ParseInt(pairs[i + 1]))] = pairs[i];
            return;
        }
        for (size_t i = 0; i < pairs.size(); i += 2)
            Directive("command-header", {QuoteValue(pairs[i]), QuoteValue(At(pairs, i + 1))});
    }

    void FileTable() {
        const auto lines = List(13, 1);
        auto is_record = [&](size_t i) { return i + 1 < lines.size() && lines[i + 1] == u"NEWHEADER"; };
        for (size_t i = 0; i < lines.size();) {
            if (is_record(i)) {
                Directive("files", {QuoteValue(lines[i])});
                i += 2;
            } else if (i + 1 < lines.size() && !is_record(i + 1)) {
                Directive("file", {QuoteValue(lines[i]), QuoteValue(lines[i + 1])});
                i += 2;
            } else {
                Directive("file-table-line", {QuoteValue(lines[i])});
                i += 1;
            }
        }
    }

    // Splits section 3 into blocks: a block starts at the first line equal to a
    // statement's identifier (letter case ignored, as the engine looks it up).
    void FindBlocks() {
        const auto& identifiers = s_.Section(2);
        const size_t count = s_.Section(1).size();
        std::unordered_map<Text, size_t> owner;
        for (size_t i = 0; i < count && i < identifiers.size(); ++i) owner.try_emplace(ToLower(identifiers[i]), i);
        blocks_.assign(count, {});
        has_block_.assign(count, false);
        size_t current = count;  // lines before the first block belong to no statement
        for (const Text& raw : s_.Section(3)) {
            auto hit = owner.find(ToLower(raw));
            if (hit != owner.end() && !has_block_[hit->second]) {
                current = hit->second;
                has_block_[current] = true;
                continue;
            }
            if (current < count) blocks_[current].push_back(raw == u"$WILD_DOLLAR$" ? Text(u"$") : raw);
        }
    }

    void Statements() {
        FindBlocks();
        const auto& commands = s_.Section(1);
        const auto positions = List(12, 1);
        const Text& product_code = Fixed(5, 0);
        for (size_t i = 0; i < commands.size(); ++i) {
            std::vector<std::string> attributes;
            const Text& identifier = At(s_.Section(2), i);
            if (identifier != DerivedIdentifier(product_code, i)) attributes.push_back("id " + Word(identifier));
            const Text& flag = At(s_.Section(4), i);
            if (flag == u"C" && commands[i] == u"Comment") attributes.push_back("disabled");
            else if (!flag.empty()) attributes.push_back("flag " + QuoteValue(flag));
            const Text& media = At(s_.Section(7), i);
            if (!media.empty()) attributes.push_back("media " + QuoteValue(media));
            if (auto header = header_of_.find(i); header != header_of_.end())
                attributes.push_back("header " + QuoteValue(header->second));

            // The recorded source position: reproduced by @origin and the line the
            // statement stands on, or written out.
            std::optional<int64_t> recorded_line;
            if (i < positions.size()) {
                const Text& position = positions[i];
                size_t star = position.find(u'*');
                std::optional<int64_t> number =
                    star == Text::npos ? std::nullopt : CanonicalNumber(TextView(position).substr(star + 1));
                if (number) {
                    Text path = position.substr(0, star);
                    if (!origin_set_ || path != origin_) {
                        Directive("origin", {QuoteValue(path)});
                        origin_ = path;
                        origin_set_ = true;
                    }
                    recorded_line = number;
                } else {
                    attributes.push_back("position " + QuoteValue(position));
                }
            }
            if (recorded_line) {
                int64_t gap = *recorded_line - line_;
                if (gap >= 0 && gap <= kMaxPadding) {
                    for (int64_t k = 0; k < gap; ++k) Line("");
                } else {
                    attributes.push_back("line " + std::to_string(*recorded_line + 1));
                }
            }

            // Blocks are indented for the reader; the compiler ignores leading blanks.
            const bool visible = flag != u"C" && commands[i] != u"Ignore";
            const Text& command = commands[i];
            const bool closes = visible && (command == u"End" || command == u"Wend" || command == u"Until" ||
                                            command == u"Next");
            const bool continues = visible && (command == u"Else" || command == u"Else If");
            if (closes && depth_ > 0) --depth_;
            std::string text(2 * static_cast<size_t>(continues && depth_ > 0 ? depth_ - 1 : depth_), ' ');
            if (visible && (command == u"If" || command == u"While" || command == u"Repeat" ||
                            command == u"For Each" || command == u"Wizard Loop"))
                ++depth_;
            if (!attributes.empty()) {
                text += "[";
                for (size_t k = 0; k < attributes.size(); ++k) text += (k ? ", " : "") + attributes[k];
                text += "] ";
            }
            text += CommandSource(commands[i]);
            if (has_block_[i] && blocks_[i].empty()) {
                text += " ()";
            } else {
                for (const Text& parameter : blocks_[i]) text += " " + QuoteValue(parameter);
            }
            Line(text);
        }
    }

    const ScriptSections& s_;
    std::string out_;
    int64_t line_ = 0;  // 0-based number of the next output line
    std::unordered_map<size_t, Text> header_of_;
    std::vector<std::vector<Text>> blocks_;
    std::vector<bool> has_block_;
    Text origin_;
    bool origin_set_ = false;
    int depth_ = 0;  // open blocks, for indentation
};

}  // namespace

std::string DecompileScript(const ScriptSections& sections) { return Decompiler(sections).Run(); }

}  // namespace zev::zevc

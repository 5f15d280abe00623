#include "tools/zevc/source_reader.h"

#include <cstdio>

namespace zev::zevc {

namespace {

using Line = std::u32string;

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }

// Characters a bare word may not hold: blanks, the syntax characters, controls.
bool EndsBareWord(char32_t c) {
    return c <= 0x20 || c == 0x7F || c == U'"' || c == U'<' || c == U'#' || c == U',' ||
           c == U'[' || c == U']' || c == U'(' || c == U')';
}

// Characters written as <U+XXXX> rather than literally: controls, and characters
// that are invisible or change how a line is read.
bool NeedsCharacterCode(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF ||
           (c >= 0xD800 && c <= 0xDFFF);
}

std::string HexCode(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(c));
    return buffer;
}

void AppendUtf16(Text& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

std::u32string ToUtf32(TextView text) {
    std::u32string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

std::string Utf8Of(char32_t c) {
    Text t;
    AppendUtf16(t, c);
    return ToUtf8(t);
}

// Splits the file into lines of Unicode characters, refusing malformed UTF-8 and
// control characters other than tab.
std::vector<Line> DecodeLines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::vector<Line> lines(1);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const SourceLocation here{lines.size(), lines.back().size() + 1};
        unsigned char b = s[i];
        if (b == '\n') {
            lines.emplace_back();
            ++i;
            continue;
        }
        if (b == '\r' && i + 1 < n && s[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (b < 0x80) {
            if ((b < 0x20 && b != '\t') || b == 0x7F) {
                throw SourceError(here, "control character U+" + HexCode(b) +
                                            " is not allowed in a source file; write <U+" +
                                            HexCode(b) + "> in a value");
            }
            lines.back().push_back(b);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if ((b & 0xE0) == 0xC0) { extra = 1; c = b & 0x1F; minimum = 0x80; }
        else if ((b & 0xF0) == 0xE0) { extra = 2; c = b & 0x0F; minimum = 0x800; }
        else if ((b & 0xF8) == 0xF0) { extra = 3; c = b & 0x07; minimum = 0x10000; }
        else extra = -1;
        bool valid = extra > 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) valid = false;
            else c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            throw SourceError(here, "the source file is not valid UTF-8 here");
        lines.back().push_back(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return lines;
}

class Parser {
public:
    explicit Parser(std::vector<Line> lines) : lines_(std::move(lines)) {}

    SourceScript Parse() {
        for (row_ = 0; row_ < lines_.size(); ++row_) {
            column_ = 0;
            SkipBlanks();
            if (AtLineEnd()) continue;
            if (Peek() == U'@') ParseDirective();
            else ParseStatement();
            SkipBlanks();
            if (!AtLineEnd()) throw Error("unexpected text; a line holds one statement or directive");
        }
        return std::move(script_);
    }

private:
    const Line& Current() const { return lines_[row_]; }
    char32_t Peek(size_t ahead = 0) const {
        return column_ + ahead < Current().size() ? Current()[column_ + ahead] : U'\0';
    }
    SourceLocation Here() const { return {row_ + 1, column_ + 1}; }
    SourceError Error(const std::string& message) const { return SourceError(Here(), message); }
    void SkipBlanks() {
        while (column_ < Current().size() && IsBlank(Current()[column_])) ++column_;
    }
    // End of the line's content: its end or a comment.
    bool AtLineEnd() const { return column_ >= Current().size() || Current()[column_] == U'#'; }
    bool AtValue() const { return Peek() == U'"' || Peek() == U'<'; }

    std::string Name() {
        std::string name;
        while ((Peek() >= U'a' && Peek() <= U'z') || (Peek() >= U'0' && Peek() <= U'9') ||
               Peek() == U'-') {
            name.push_back(static_cast<char>(Peek()));
            ++column_;
        }
        return name;
    }

    // A value: quoted pieces and character codes written without blanks between them.
    SourceValue ParseValue() {
        SourceValue value{Text(), Here(), true};
        while (AtValue()) {
            if (Peek() == U'"') {
                const SourceLocation opening = Here();
                ++column_;
                for (;;) {
                    if (column_ >= Current().size())
                        throw SourceError(opening, "this text has no closing double quote");
                    char32_t c = Current()[column_++];
                    if (c == U'"') {
                        if (Peek() != U'"') break;
                        ++column_;
                    }
                    AppendUtf16(value.text, c);
                }
            } else {
                value.text += ParseCharacterCode();
            }
        }
        return value;
    }

    Text ParseCharacterCode() {
        const SourceLocation opening = Here();
        auto fail = [&]() {
            return SourceError(opening, "expected a character code such as <U+0009>");
        };
        ++column_;
        if (Peek() != U'U' || Peek(1) != U'+') throw fail();
        column_ += 2;
        char32_t code = 0;
        size_t digits = 0;
        for (;; ++column_, ++digits) {
            char32_t c = Peek();
            int digit = c >= U'0' && c <= U'9'   ? static_cast<int>(c - U'0')
                        : c >= U'A' && c <= U'F' ? static_cast<int>(c - U'A' + 10)
                        : c >= U'a' && c <= U'f' ? static_cast<int>(c - U'a' + 10)
                                                 : -1;
            if (digit < 0) break;
            if (digits == 6) throw fail();
            code = code * 16 + static_cast<char32_t>(digit);
        }
        if (digits < 4 || Peek() != U'>') throw fail();
        ++column_;
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            throw SourceError(opening, "U+" + HexCode(code) + " is not a Unicode character");
        Text out;
        AppendUtf16(out, code);
        return out;
    }

    // A directive or attribute value: a value, or a bare word.
    SourceValue ParseWordOrValue(const std::string& what) {
        if (AtValue()) return ParseValue();
        SourceValue word{Text(), Here(), false};
        while (column_ < Current().size() && !EndsBareWord(Current()[column_]))
            AppendUtf16(word.text, Current()[column_++]);
        if (word.text.empty()) throw Error("expected " + what);
        return word;
    }

    void ParseDirective() {
        SourceDirective directive;
        directive.at = Here();
        directive.statements_before = script_.statements.size();
        ++column_;
        std::string keyword = Name();
        if (keyword.empty()) throw Error("expected a directive name after @");
        directive.keyword = FromUtf8(keyword);
        for (;;) {
            const size_t before = column_;
            SkipBlanks();
            if (AtLineEnd()) break;
            if (column_ == before) throw Error("expected a blank before the next value");
            directive.values.push_back(ParseWordOrValue("a value"));
        }
        script_.directives.push_back(std::move(directive));
    }

    void ParseAttributes(SourceStatement& statement) {
        ++column_;  // "["
        for (;;) {
            SkipBlanks();
            SourceAttribute attribute;
            attribute.at = Here();
            std::string name = Name();
            if (name.empty()) throw Error("expected an attribute name");
            attribute.name = FromUtf8(name);
            if (statement.Find(attribute.name))
                throw SourceError(attribute.at, "the attribute \"" + name + "\" is given twice");
            if (name == "disabled") {
                // no value
            } else if (name == "id" || name == "media" || name == "header" || name == "flag" ||
                       name == "line" || name == "position") {
                SkipBlanks();
                attribute.value = ParseWordOrValue("a value for \"" + name + "\"");
            } else {
                throw SourceError(attribute.at, "unknown attribute \"" + name +
                                                    "\"; known are id, media, header, flag, "
                                                    "disabled, line and position");
            }
            statement.attributes.push_back(std::move(attribute));
            SkipBlanks();
            if (Peek() == U',') {
                ++column_;
                continue;
            }
            if (Peek() == U']') {
                ++column_;
                return;
            }
            throw Error("expected \",\" or \"]\"");
        }
    }

    void ParseCommand(SourceStatement& statement) {
        if (AtValue()) {
            statement.command = ParseValue();
            return;
        }
        statement.command = SourceValue{Text(), Here(), false};
        if (AtLineEnd()) throw Error("expected a command name");
        size_t end = column_;
        const Line& line = Current();
        while (end < line.size()) {
            char32_t c = line[end];
            if (c == U'"' || c == U'<') break;
            if ((c == U'#' || c == U'(') && end > column_ && IsBlank(line[end - 1])) break;
            ++end;
        }
        size_t last = end;
        while (last > column_ && IsBlank(line[last - 1])) --last;
        if (last == column_) throw Error("expected a command name");
        for (size_t i = column_; i < last; ++i) AppendUtf16(statement.command.text, line[i]);
        column_ = end;
    }

    void ParseStatement() {
        SourceStatement statement;
        statement.at = Here();
        if (Peek() == U'[') {
            ParseAttributes(statement);
            SkipBlanks();
        }
        ParseCommand(statement);
        SkipBlanks();
        if (Peek() == U'(') {
            ParseParameterList(statement);
        } else {
            for (;;) {
                SkipBlanks();
                if (AtLineEnd()) break;
                if (!AtValue()) throw Error("expected a parameter in double quotes");
                statement.parameters.push_back(ParseValue());
            }
        }
        statement.has_block = statement.has_block || !statement.parameters.empty();
        script_.statements.push_back(std::move(statement));
    }

    // "(" values, over as many lines as needed, ")".
    void ParseParameterList(SourceStatement& statement) {
        const SourceLocation opening = Here();
        ++column_;
        statement.has_block = true;
        for (;;) {
            SkipBlanks();
            if (AtLineEnd()) {
                if (row_ + 1 >= lines_.size())
                    throw SourceError(opening, "the parameter list opened here has no closing \")\"");
                ++row_;
                column_ = 0;
                continue;
            }
            if (Peek() == U')') {
                ++column_;
                return;
            }
            if (!AtValue()) throw Error("expected a parameter in double quotes or \")\"");
            statement.parameters.push_back(ParseValue());
        }
    }

    std::vector<Line> lines_;
    size_t row_ = 0;
    size_t column_ = 0;
    SourceScript script_;
};

}  // namespace

SourceScript ReadSource(std::string_view bytes) { return Parser(DecodeLines(bytes)).Parse(); }

std::string QuoteValue(TextView value) {
    std::string out;
    bool open = false;
    for (char32_t c : ToUtf32(value)) {
        if (NeedsCharacterCode(c)) {
            if (open) out += '"';
            open = false;
            out += "<U+" + HexCode(c) + ">";
            continue;
        }
        if (!open) out += '"';
        open = true;
        if (c == U'"') out += '"';
        out += Utf8Of(c);
    }
    if (open) out += '"';
    if (out.empty()) out = "\"\"";
    return out;
}

bool IsBareWord(TextView text) {
    if (text.empty()) return false;
    for (char32_t c : ToUtf32(text))
        if (EndsBareWord(c) || NeedsCharacterCode(c)) return false;
    return true;
}

std::string CommandSource(TextView command) {
    const std::u32string c = ToUtf32(command);
    bool bare = !c.empty() && !IsBlank(c.front()) && !IsBlank(c.back()) && c.front() != U'@' &&
                c.front() != U'[' && c.front() != U'#';
    for (size_t i = 0; bare && i < c.size(); ++i) {
        if (c[i] == U'"' || c[i] == U'<' || NeedsCharacterCode(c[i])) bare = false;
        if ((c[i] == U'#' || c[i] == U'(') && i > 0 && IsBlank(c[i - 1])) bare = false;
    }
    return bare ? ToUtf8(command) : QuoteValue(command);
}

}  // namespace zev::zevc

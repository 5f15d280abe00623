#include "tools/zevc/script_compiler.h"

#include <cstdio>
#include <map>
#include <unordered_map>

#include "script/script_writer.h"

namespace zev::zevc {

namespace {

struct DirectiveRule {
    const char* keyword;
    size_t min_values;
    size_t max_values;
    bool repeatable;
};

// Every directive the source format knows; the single ones form the product header.
constexpr DirectiveRule kDirectives[] = {
    {"product-code", 1, 1, false},     {"title", 1, 1, false},
    {"publisher", 1, 1, false},        {"contact", 1, 1, false},
    {"help-link", 1, 1, false},        {"update-url", 1, 1, false},
    {"comments", 1, 1, false},         {"version", 1, 1, false},
    {"revision-code", 1, 1, false},    {"media-mode", 1, 1, false},
    {"language-dialog", 1, 1, false},  {"default-language", 1, 1, false},
    {"code-page", 1, 1, false},        {"total-size", 1, 1, false},
    {"plugin", 1, 1, true},            {"web-media-password", 2, 2, true},
    {"web-media-protected-password", 2, 2, true},
    {"component-size", 2, 2, true},    {"media-file", 3, 3, true},
    {"command-header", 2, 2, true},    {"compile-variable", 2, 2, true},
    {"files", 1, 1, true},             {"file", 2, 2, true},
    {"file-table-line", 1, 1, true},   {"support", 1, 2, true},
    {"origin", 1, 1, true},
};

const DirectiveRule* FindRule(const Text& keyword) {
    for (const auto& rule : kDirectives)
        if (FromUtf8(rule.keyword) == keyword) return &rule;
    return nullptr;
}

std::string CountText(const DirectiveRule& rule) {
    if (rule.min_values == rule.max_values)
        return std::to_string(rule.min_values) + (rule.min_values == 1 ? " value" : " values");
    return std::to_string(rule.min_values) + " or " + std::to_string(rule.max_values) + " values";
}

// A whole number with no sign, blanks or leading zeros, written back the same way.
std::optional<int64_t> CanonicalNumber(TextView text) {
    std::optional<int64_t> value = ParseInt(text);
    if (!value || FromInt(*value) != text) return std::nullopt;
    return value;
}

class Compiler {
public:
    Compiler(const SourceScript& source, TextView source_path)
        : source_(source), source_path_(source_path) {}

    CompiledProduct Compile() {
        CollectDirectives();
        WriteHeader();
        WriteStatements();
        CheckParameterLookups();
        return std::move(result_);
    }

private:
    ScriptSections& Sections() { return result_.sections; }

    // Appends a value to a section after checking that it can be written there.
    void Put(int section, const SourceValue& value) { Put(section, value.text, value.at); }
    void Put(int section, const Text& text, SourceLocation at) {
        std::string reason = UnwritableReason(text, section);
        if (!reason.empty()) throw SourceError(at, reason);
        Sections().Section(section).push_back(text);
    }

    void CollectDirectives() {
        for (const SourceDirective& directive : source_.directives) {
            const DirectiveRule* rule = FindRule(directive.keyword);
            const std::string name = "@" + ToUtf8(directive.keyword);
            if (!rule) throw SourceError(directive.at, "unknown directive \"" + name + "\"");
            if (directive.values.size() < rule->min_values ||
                directive.values.size() > rule->max_values) {
                throw SourceError(directive.at, name + " takes " + CountText(*rule));
            }
            // The recorded position is split at its first "*".
            if (directive.keyword == u"origin" && directive.values[0].text.find(u'*') != Text::npos)
                throw SourceError(directive.values[0].at, "@origin cannot hold \"*\"");
            if (!rule->repeatable) {
                auto [first, inserted] = single_.try_emplace(rule->keyword, &directive);
                if (!inserted) {
                    throw SourceError(directive.at, name + " is given twice (first at line " +
                                                        std::to_string(first->second->at.line) + ")");
                }
            }
        }
    }

    const SourceDirective* Single(const char* keyword) const {
        auto hit = single_.find(keyword);
        return hit == single_.end() ? nullptr : hit->second;
    }

    void PutSingle(int section, const char* keyword) {
        const SourceDirective* directive = Single(keyword);
        if (directive) Put(section, directive->values[0]);
        else Sections().Section(section).emplace_back();
    }

    const SourceValue& RequiredGuid(const char* keyword) {
        const SourceDirective* directive = Single(keyword);
        if (!directive)
            throw SourceError({1, 1}, std::string("the product header has no @") + keyword);
        const SourceValue& value = directive->values[0];
        if (!IsBracedGuid(value.text)) {
            throw SourceError(value.at, std::string("@") + keyword +
                                            " must be a GUID in braces, such as "
                                            "{4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}");
        }
        return value;
    }

    // A number line: the directive's value in canonical form, or the default.
    void PutNumber(int section, const char* keyword, int64_t fallback, int64_t minimum,
                   int64_t maximum, const std::string& rule_text) {
        const SourceDirective* directive = Single(keyword);
        if (!directive) {
            Sections().Section(section).push_back(FromInt(fallback));
            return;
        }
        const SourceValue& value = directive->values[0];
        std::optional<int64_t> number = CanonicalNumber(value.text);
        if (!number || *number < minimum || *number > maximum)
            throw SourceError(value.at, std::string("@") + keyword + " must be " + rule_text);
        Sections().Section(section).push_back(value.text);
    }

    void WriteHeader() {
        const SourceValue& product_code = RequiredGuid("product-code");
        product_code_ = product_code.text;
        Put(5, product_code);
        PutSingle(5, "title");
        ForEach("plugin", [&](const SourceDirective& d) { Put(5, d.values[0]); });

        for (const char* keyword : {"publisher", "contact", "help-link", "update-url", "comments", "version"})
            PutSingle(6, keyword);
        for (const SourceDirective& d : source_.directives) {
            if (d.keyword == u"web-media-password") {
                Put(6, d.values[0]);
                Text protected_form;
                try {
                    protected_form = EncodeProtectedPassword(d.values[1].text);
                } catch (const std::invalid_argument& error) {
                    throw SourceError(d.values[1].at, error.what());
                }
                Put(6, protected_form, d.values[1].at);
            } else if (d.keyword == u"web-media-protected-password") {
                Put(6, d.values[0]);
                Put(6, d.values[1]);
            }
        }

        PutNumber(8, "media-mode", 1, 1, 3, "1, 2 or 3");
        ForEach("component-size", [&](const SourceDirective& d) {
            Put(8, ToUpper(d.values[0].text), d.values[0].at);
            std::optional<int64_t> size = CanonicalNumber(d.values[1].text);
            if (!size || *size < 0)
                throw SourceError(d.values[1].at, "a component size must be a whole number of bytes, 0 or more");
            Put(8, d.values[1]);
        });

        Put(9, RequiredGuid("revision-code"));
        ForEach("media-file", [&](const SourceDirective& d) {
            for (const SourceValue& value : d.values) Put(9, value);
        });

        if (const SourceDirective* flag = Single("language-dialog")) {
            const Text& text = flag->values[0].text;
            if (!EqualsNoCase(text, u"true") && !EqualsNoCase(text, u"false"))
                throw SourceError(flag->values[0].at, "@language-dialog must be true or false");
            Sections().Section(10).push_back(ToUpper(text));
        } else {
            Sections().Section(10).push_back(u"FALSE");
        }
        PutSingle(10, "default-language");
        // The per-statement headers follow in WriteStatements, the explicit pairs last.

        ForEach("compile-variable", [&](const SourceDirective& d) {
            Put(11, d.values[0]);
            Put(11, d.values[1]);
        });

        PutNumber(12, "code-page", 0, INT64_MIN, INT64_MAX, "a whole number");

        PutNumber(13, "total-size", 0, 0, INT64_MAX, "a whole number of bytes, 0 or more");
        for (const SourceDirective& d : source_.directives) {
            if (d.keyword == u"files") {
                Put(13, d.values[0]);
                Sections().Section(13).push_back(u"NEWHEADER");
            } else if (d.keyword == u"file" || d.keyword == u"file-table-line") {
                for (const SourceValue& value : d.values) Put(13, value);
            }
        }

        ForEach("support", [&](const SourceDirective& d) {
            SupportFile file{d.values[0].text, Text(), d.values[0].at};
            if (d.values.size() > 1) {
                file.archive_name = d.values[1].text;
            } else {
                size_t slash = file.path.find_last_of(u"\\/");
                file.archive_name = slash == Text::npos ? file.path : file.path.substr(slash + 1);
            }
            if (file.path.empty() || file.archive_name.empty())
                throw SourceError(d.values[0].at, "@support needs a file path");
            result_.support_files.push_back(std::move(file));
        });
    }

    template <typename Action>
    void ForEach(const char* keyword, Action action) {
        const Text wanted = FromUtf8(keyword);
        for (const SourceDirective& d : source_.directives)
            if (d.keyword == wanted) action(d);
    }

    void WriteStatements() {
        std::vector<std::pair<Text, Text>> headers;
        size_t next_directive = 0;
        Text origin = source_path_;
        for (size_t index = 0; index < source_.statements.size(); ++index) {
            for (; next_directive < source_.directives.size() &&
                   source_.directives[next_directive].statements_before <= index;
                 ++next_directive) {
                const SourceDirective& d = source_.directives[next_directive];
                if (d.keyword == u"origin") origin = d.values[0].text;
            }
            WriteStatement(index, origin, headers);
        }
        for (const auto& [header, index] : headers) {
            Sections().Section(10).push_back(header);
            Sections().Section(10).push_back(index);
        }
        ForEach("command-header", [&](const SourceDirective& d) {
            Put(10, d.values[0]);
            Put(10, d.values[1]);
        });
    }

    static void CheckNoValue(const SourceAttribute* a, const SourceAttribute* b) {
        if (a && b) {
            throw SourceError(b->at, "\"" + ToUtf8(a->name) + "\" and \"" + ToUtf8(b->name) +
                                         "\" cannot be given together");
        }
    }

    void WriteStatement(size_t index, const Text& origin, std::vector<std::pair<Text, Text>>& headers) {
        const SourceStatement& statement = source_.statements[index];
        const SourceAttribute* id = statement.Find(u"id");
        const SourceAttribute* disabled = statement.Find(u"disabled");
        const SourceAttribute* flag = statement.Find(u"flag");
        const SourceAttribute* media = statement.Find(u"media");
        const SourceAttribute* header = statement.Find(u"header");
        const SourceAttribute* line = statement.Find(u"line");
        const SourceAttribute* position = statement.Find(u"position");
        CheckNoValue(disabled, flag);
        CheckNoValue(line, position);

        // A disabled statement keeps its parameters but is written as a Comment.
        Put(1, disabled ? Text(u"Comment") : statement.command.text, statement.command.at);

        Text identifier = id ? id->value->text : DerivedIdentifier(product_code_, index);
        const SourceLocation id_at = id ? id->value->at : statement.at;
        if (identifier.empty()) throw SourceError(id_at, "an identifier cannot be empty");
        auto [previous, inserted] = identifier_owner_.try_emplace(ToLower(identifier), index);
        if (!inserted) {
            throw SourceError(id_at, "the identifier " + ToUtf8(identifier) +
                                         " is already used by the statement at line " +
                                         std::to_string(source_.statements[previous->second].at.line));
        }
        Put(2, identifier, id_at);

        if (statement.has_block) {
            block_start_.push_back(Sections().Section(3).size());
            Put(3, identifier, id_at);
            for (const SourceValue& parameter : statement.parameters) {
                parameter_source_[Sections().Section(3).size()] = &parameter;
                Put(3, parameter);
            }
        } else {
            block_start_.push_back(IndexedLines::npos);
        }

        if (disabled) Sections().Section(4).push_back(u"C");
        else if (flag) Put(4, *flag->value);
        else Sections().Section(4).emplace_back();

        if (media) Put(7, *media->value);
        else Sections().Section(7).emplace_back();

        if (header) {
            std::string reason = UnwritableReason(header->value->text, 10);
            if (!reason.empty()) throw SourceError(header->value->at, reason);
            headers.emplace_back(header->value->text, FromInt(static_cast<int64_t>(index)));
        }

        if (position) {
            Put(12, *position->value);
        } else {
            int64_t zero_based = static_cast<int64_t>(statement.at.line) - 1;
            if (line) {
                std::optional<int64_t> number = CanonicalNumber(line->value->text);
                if (!number || *number < 1)
                    throw SourceError(line->value->at, "\"line\" must be a line number, 1 or more");
                zero_based = *number - 1;
            }
            Put(12, origin + u"*" + FromInt(zero_based), statement.at);
        }
    }

    // The engine finds a statement's parameters at the first line of section 3 that
    // equals its identifier; a parameter with that text placed earlier would
    // silently hand the statement the wrong parameters.
    void CheckParameterLookups() {
        IndexedLines parameters;
        for (const Text& line : Sections().Section(3)) parameters.Append(line);
        for (size_t index = 0; index < source_.statements.size(); ++index) {
            size_t found = parameters.IndexOf(Sections().Section(2)[index]);
            if (found == block_start_[index]) continue;
            auto culprit = parameter_source_.find(found);
            const SourceLocation at = culprit != parameter_source_.end() ? culprit->second->at
                                                                         : source_.statements[index].at;
            throw SourceError(at, "this parameter equals the identifier of the statement at line " +
                                      std::to_string(source_.statements[index].at.line) +
                                      ", which would then read its parameters from here");
        }
    }

    const SourceScript& source_;
    Text source_path_;
    Text product_code_;
    std::map<std::string, const SourceDirective*> single_;
    std::unordered_map<Text, size_t> identifier_owner_;
    std::vector<size_t> block_start_;
    std::unordered_map<size_t, const SourceValue*> parameter_source_;
    CompiledProduct result_;
};

// FNV-1a over the bytes, then a strong 64-bit finaliser; two seeds give 128 bits.
uint64_t Hash64(std::string_view bytes, uint64_t seed) {
    uint64_t hash = 0xCBF29CE484222325ULL ^ seed;
    for (unsigned char b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ULL;
    }
    hash ^= hash >> 30;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 27;
    hash *= 0x94D049BB133111EBULL;
    hash ^= hash >> 31;
    return hash;
}

}  // namespace

CompiledProduct CompileSource(const SourceScript& source, TextView source_path) {
    return Compiler(source, source_path).Compile();
}

Text DerivedIdentifier(TextView product_code, size_t index) {
    const std::string key = ToUtf8(ToUpper(product_code)) + "#" + std::to_string(index);
    const uint64_t high = Hash64(key, 0x5175ULL);
    const uint64_t low = Hash64(key, 0x7A65ULL << 32);
    // Version nibble 8 (a name-derived identifier of our own) and the RFC 4122 variant.
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-8%03X-%04X-%012llX}",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return FromUtf8(buffer);
}

bool IsBracedGuid(TextView text) {
    constexpr std::string_view shape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const char16_t c = text[i];
        if (shape[i] != 'X') {
            if (c != shape[i]) return false;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'))) {
            return false;
        }
    }
    return true;
}

}  // namespace zev::zevc

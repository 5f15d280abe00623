// The product script source as read by zevc, before it is compiled.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "script/text.h"

namespace zev::zevc {

// 1-based line and column (columns count Unicode characters).
struct SourceLocation {
    size_t line = 0;
    size_t column = 0;
};

// An error in a source file, reported as file:line:column: message.
class SourceError : public std::runtime_error {
public:
    SourceError(SourceLocation at, const std::string& message)
        : std::runtime_error(message), at_(at) {}
    SourceLocation At() const { return at_; }

private:
    SourceLocation at_;
};

struct SourceValue {
    Text text;
    SourceLocation at;
    bool quoted = false;  // written as a quoted text or character codes, not a bare word
};

struct SourceAttribute {
    Text name;                         // "id", "media", "header", "flag", "disabled", "line", "position"
    std::optional<SourceValue> value;  // absent for "disabled"
    SourceLocation at;
};

struct SourceStatement {
    SourceLocation at;  // where the statement's line begins
    SourceValue command;
    std::vector<SourceAttribute> attributes;
    std::vector<SourceValue> parameters;
    bool has_block = false;  // parameters were given, or an empty list "()"

    const SourceAttribute* Find(TextView name) const {
        for (const auto& attribute : attributes)
            if (attribute.name == name) return &attribute;
        return nullptr;
    }
};

struct SourceDirective {
    Text keyword;  // without the "@"
    std::vector<SourceValue> values;
    SourceLocation at;
    size_t statements_before = 0;  // statements that precede it in the file
};

struct SourceScript {
    std::vector<SourceDirective> directives;
    std::vector<SourceStatement> statements;
};

}  // namespace zev::zevc

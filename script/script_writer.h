// Writing a compiled script: the inverse of ReadScriptSections.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "script/statement_table.h"

namespace zev {

// A value that has no place in a compiled script.
class ScriptWriteError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Why a value cannot be written as one line of the given section, or empty when it
// can. No value may hold a line break; outside section 3 no value may be exactly
// "$" (there it would end the section; section 3 writes it as "$WILD_DOLLAR$").
std::string UnwritableReason(TextView value, int section);

// The script as UTF-8 text: each line ends with CR LF, each section with a line
// "$", no byte-order mark. A parameter line that is exactly "$" is written as
// "$WILD_DOLLAR$". Throws ScriptWriteError for a value UnwritableReason refuses.
// For any text that ReadScriptSections accepts and that uses CR LF line ends and
// no byte-order mark, writing what it read gives back the same bytes.
std::string WriteScriptSections(const ScriptSections& sections);

// Builds statement tables in memory for tests and tools: statements in order,
// with neutral product values that the caller may replace.
class StatementTableBuilder {
public:
    StatementTableBuilder();

    // Appends a statement; its identifier is derived from its index. A statement
    // given no parameters gets no parameter block. Returns the statement index.
    size_t Add(TextView command, const std::vector<Text>& parameters = {}, TextView flag = u"",
               TextView media = u"");
    // The raw sections, for side tables and fixed lines.
    ScriptSections& Sections() { return sections_; }

    std::string Bytes() const { return WriteScriptSections(sections_); }
    StatementTable Build() const;

private:
    ScriptSections sections_;
};

}  // namespace zev

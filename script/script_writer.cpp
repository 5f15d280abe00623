#include "script/script_writer.h"

#include <cstdio>

namespace zev {

std::string UnwritableReason(TextView value, int section) {
    if (value.find_first_of(u"\r\n") != TextView::npos)
        return "a value cannot hold a line break (write $NEWLINE$ instead)";
    if (value == u"$" && section != 3)
        return "a value that is exactly \"$\" can only be written as a statement parameter";
    return {};
}

std::string WriteScriptSections(const ScriptSections& sections) {
    std::string out;
    for (int number = 1; number <= static_cast<int>(kScriptSectionCount); ++number) {
        for (const Text& line : sections.Section(number)) {
            std::string reason = UnwritableReason(line, number);
            if (!reason.empty()) {
                throw ScriptWriteError("section " + std::to_string(number) + ": " + reason);
            }
            out += line == u"$" ? std::string("$WILD_DOLLAR$") : ToUtf8(line);
            out += "\r\n";
        }
        out += "$\r\n";
    }
    return out;
}

StatementTableBuilder::StatementTableBuilder() {
    sections_.Section(5) = {u"{00000000-0000-0000-0000-000000000000}", u"Test Product"};
    sections_.Section(6) = {u"", u"", u"", u"", u"", u"1.0"};
    sections_.Section(8) = {u"1"};
    sections_.Section(9) = {u"{00000000-0000-0000-0000-000000000001}"};
    sections_.Section(10) = {u"FALSE", u""};
    sections_.Section(12) = {u"0"};
    sections_.Section(13) = {u"0"};
}

size_t StatementTableBuilder::Add(TextView command, const std::vector<Text>& parameters,
                                  TextView flag, TextView media) {
    const size_t index = sections_.Section(1).size();
    char identifier[40];
    std::snprintf(identifier, sizeof identifier, "{7E570000-0000-4000-8000-%012zX}", index);
    const Text id = FromUtf8(identifier);
    sections_.Section(1).emplace_back(command);
    sections_.Section(2).push_back(id);
    if (!parameters.empty()) {
        sections_.Section(3).push_back(id);
        for (const Text& parameter : parameters) sections_.Section(3).push_back(parameter);
    }
    sections_.Section(4).emplace_back(flag);
    sections_.Section(7).emplace_back(media);
    sections_.Section(12).push_back(u"test.zev*" + FromInt(static_cast<int64_t>(index)));
    return index;
}

StatementTable StatementTableBuilder::Build() const {
    StatementTable table;
    table.LoadFromBytes(Bytes());
    return table;
}

}  // namespace zev

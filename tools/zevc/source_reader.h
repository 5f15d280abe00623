// Reading the product script source: the text layer of zevc.
#pragma once

#include <string>
#include <string_view>

#include "tools/zevc/source_model.h"

namespace zev::zevc {

// Parses a source file's bytes (UTF-8; a leading byte-order mark is skipped).
// Throws SourceError at the first fault.
SourceScript ReadSource(std::string_view bytes);

// The source text of one value: quoted, with "" for a quote and <U+XXXX> pieces for
// control and invisible characters, so that ReadSource gives the value back exactly.
std::string QuoteValue(TextView value);
// A command name as a statement line starts with it: bare when that reads back
// unchanged, quoted otherwise.
std::string CommandSource(TextView command);
// True when the text can be written as a bare word in a directive or attribute.
bool IsBareWord(TextView text);

}  // namespace zev::zevc

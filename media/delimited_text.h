// The "|"-delimited lists of the archive statements: file lists given to Compress and
// Delete, and the entry names List returns.
#pragma once

#include <vector>

#include "script/text.h"

namespace zev {

// Entries joined by "|"; an entry holding a blank, a control character, a double quote
// or "|" is quoted with inner quotes doubled; a list of one empty entry is "".
Text JoinDelimited(const std::vector<Text>& entries);

// "|" separates entries, and so do blanks and control characters outside double quotes;
// double quotes group an entry (a doubled quote inside stands for one quote).
std::vector<Text> SplitDelimited(TextView text);

}  // namespace zev

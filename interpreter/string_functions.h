// Text reshaping done by the string commands: splitting a text in two ("Parse String")
// and replacing a search text ("Replace String").
#pragma once

#include <cstdint>
#include <optional>

#include "script/text.h"

namespace zev {

struct SplitText {
    Text first;
    Text second;
    bool operator==(const SplitText&) const = default;
};

// Splits source by mode: 0 at the first occurrence of pattern, 1 at its last occurrence,
// 2 after the first N characters, 3 before the last N characters (N: pattern read as an
// integer). The pattern itself belongs to neither part in modes 0 and 1. A mode outside
// 0 to 3, or a pattern that is not an integer in modes 2 and 3, gives two empty parts.
// With ignore_case the search ignores letter case; the parts keep the source's own
// letters. With trim, spaces and control characters are removed at both ends of each part.
SplitText SplitByPattern(TextView source, TextView pattern, int64_t mode, bool trim, bool ignore_case);

// Replaces search by replacement in value: only the first occurrence unless replace_all,
// matching case unless ignore_case. Line breaks (CR LF) in all three texts are first
// turned into "$NEWLINE$" and stay so in the result. An empty search changes nothing.
Text ReplaceText(TextView value, TextView search, TextView replacement, bool ignore_case, bool replace_all);

}  // namespace zev

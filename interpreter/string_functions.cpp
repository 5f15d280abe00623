#include "interpreter/string_functions.h"

#include <algorithm>

#include "script/substitution.h"

namespace zev {

namespace {

constexpr size_t npos = TextView::npos;

// The characters of text from 1-based position start, at most count of them; a start
// before 1 counts as 1, a count below 1 gives the empty text.
Text Copy(TextView text, int64_t start, int64_t count) {
    if (start < 1) start = 1;
    if (count < 1 || start > static_cast<int64_t>(text.size())) return Text();
    const size_t offset = static_cast<size_t>(start - 1);
    const size_t available = text.size() - offset;
    return Text(text.substr(offset, static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(available)))));
}

}  // namespace

SplitText SplitByPattern(TextView source, TextView pattern, int64_t mode, bool trim, bool ignore_case) {
    const Text search_source = ignore_case ? ToLower(source) : Text(source);
    const Text search_pattern = ignore_case ? ToLower(pattern) : Text(pattern);
    const int64_t length = static_cast<int64_t>(source.size());

    // Split position (1-based; 0: no split), cut adjustment and skip length.
    int64_t position = 0;
    int64_t adjustment = 1;
    int64_t skip = 1;
    switch (mode) {
        case 0: {
            skip = static_cast<int64_t>(search_pattern.size());
            const size_t hit = search_pattern.empty() ? npos : search_source.find(search_pattern);
            position = hit == npos ? length + 1 : static_cast<int64_t>(hit) + 1;
            break;
        }
        case 1: {
            skip = static_cast<int64_t>(search_pattern.size());
            const size_t hit = search_pattern.empty() ? npos : search_source.rfind(search_pattern);
            if (hit == npos) {
                position = 1;
                skip = 0;
            } else {
                position = static_cast<int64_t>(hit) + 1;
            }
            break;
        }
        case 2:
        case 3: {
            const std::optional<int64_t> count = ParseInt(pattern);
            if (!count) break;
            adjustment = 0;
            position = mode == 2 ? *count : length - *count;
            if (position == 0) {
                position = 1;
                adjustment = 1;
                skip = -1;
            }
            break;
        }
        default:
            break;
    }
    if (position == 0) return {};
    SplitText parts{Copy(source, 1, position - adjustment), Copy(source, position + skip, length)};
    if (trim) {
        parts.first = Trim(parts.first);
        parts.second = Trim(parts.second);
    }
    return parts;
}

Text ReplaceText(TextView value, TextView search, TextView replacement, bool ignore_case, bool replace_all) {
    const Text text = LineBreaksToToken(value);
    const Text what = LineBreaksToToken(search);
    const Text with = LineBreaksToToken(replacement);
    if (replace_all) return ignore_case ? ReplaceAllNoCase(text, what, with) : ReplaceAll(text, what, with);
    if (what.empty()) return text;
    const size_t hit = ignore_case ? FindNoCase(text, what) : text.find(what);
    if (hit == npos) return text;
    return text.substr(0, hit) + with + text.substr(hit + what.size());
}

}  // namespace zev

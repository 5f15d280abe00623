#include "media/delimited_text.h"

namespace zev {

namespace {

bool NeedsQuotes(TextView entry) {
    for (char16_t c : entry)
        if (c <= u' ' || c == u'"' || c == u'|') return true;
    return false;
}

}  // namespace

Text JoinDelimited(const std::vector<Text>& entries) {
    if (entries.size() == 1 && entries[0].empty()) return u"\"\"";
    Text out;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i) out += u'|';
        const Text& entry = entries[i];
        if (!NeedsQuotes(entry)) {
            out += entry;
            continue;
        }
        out += u'"';
        for (char16_t c : entry) {
            if (c == u'"') out += u'"';
            out += c;
        }
        out += u'"';
    }
    return out;
}

std::vector<Text> SplitDelimited(TextView text) {
    std::vector<Text> entries;
    size_t i = 0;
    const size_t n = text.size();
    auto skip_blanks = [&] {
        while (i < n && text[i] <= u' ') ++i;
    };
    skip_blanks();
    while (i < n) {
        Text entry;
        if (text[i] == u'"') {
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        entry += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += text[i++];
            }
        } else {
            while (i < n && text[i] > u' ' && text[i] != u'|') entry += text[i++];
        }
        entries.push_back(std::move(entry));
        skip_blanks();
        if (i < n && text[i] == u'|') {
            ++i;
            skip_blanks();
            if (i >= n) entries.emplace_back();
        }
    }
    return entries;
}

}  // namespace zev

#include "script/comma_text.h"

namespace zev {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kDelimiter = u',';

// Spaces and control characters separate items when they stand outside quotes.
bool IsBlank(char16_t c) { return c <= u' '; }

bool NeedsQuotes(TextView item) {
    for (char16_t c : item)
        if (c < 0x21 || c == kDelimiter || c == kQuote) return true;
    return false;
}

void SkipBlanks(TextView text, size_t& position) {
    while (position < text.size() && IsBlank(text[position])) ++position;
}

// Reads a quoted item starting at the opening quote; a doubled quote stands for one.
Text ReadQuoted(TextView text, size_t& position) {
    Text item;
    ++position;
    while (position < text.size()) {
        const char16_t c = text[position++];
        if (c != kQuote) {
            item.push_back(c);
        } else if (position < text.size() && text[position] == kQuote) {
            item.push_back(kQuote);
            ++position;
        } else {
            break;
        }
    }
    return item;
}

}  // namespace

std::vector<Text> ReadCommaText(TextView text) {
    std::vector<Text> items;
    size_t position = 0;
    SkipBlanks(text, position);
    while (position < text.size()) {
        if (text[position] == kQuote) {
            items.push_back(ReadQuoted(text, position));
        } else {
            const size_t start = position;
            while (position < text.size() && !IsBlank(text[position]) &&
                   text[position] != kDelimiter)
                ++position;
            items.emplace_back(text.substr(start, position - start));
        }
        SkipBlanks(text, position);
        if (position < text.size() && text[position] == kDelimiter) {
            if (position + 1 == text.size()) items.emplace_back();
            ++position;
            SkipBlanks(text, position);
        }
    }
    return items;
}

Text WriteCommaText(const std::vector<Text>& items) {
    if (items.size() == 1 && items.front().empty()) return Text(2, kQuote);
    Text out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out.push_back(kDelimiter);
        const Text& item = items[i];
        if (!NeedsQuotes(item)) {
            out.append(item);
            continue;
        }
        out.push_back(kQuote);
        for (char16_t c : item) {
            out.push_back(c);
            if (c == kQuote) out.push_back(kQuote);
        }
        out.push_back(kQuote);
    }
    return out;
}

}  // namespace zev

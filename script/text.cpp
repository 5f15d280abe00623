#include "script/text.h"

#include <algorithm>

namespace zev {

Text FromUtf8(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) { extra = 1; cp = b & 0x1F; min = 0x80; }
        else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; min = 0x800; }
        else if ((b & 0xF8) == 0xF0) { extra = 3; cp = b & 0x07; min = 0x10000; }
        else { out.push_back(0xFFFD); ++i; continue; }
        bool ok = true;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::string ToUtf8(TextView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {

// Ranges where upper and lower case alternate (even = upper, odd = lower).
struct AlternatingRange {
    char16_t first;
    char16_t last;
};
constexpr AlternatingRange kAlternating[] = {
    {0x0100, 0x012F}, {0x0132, 0x0137}, {0x014A, 0x0177}, {0x0182, 0x0185},
    {0x01A0, 0x01A5}, {0x01DE, 0x01EF}, {0x01F8, 0x021F}, {0x0222, 0x0233},
    {0x03D8, 0x03EF}, {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x04D0, 0x052F},
    {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF},
};
// Ranges where upper and lower case alternate with upper on odd code points.
constexpr AlternatingRange kAlternatingOdd[] = {
    {0x0139, 0x0148}, {0x0179, 0x017E}, {0x01CD, 0x01DC}, {0x04C1, 0x04CE},
};

}  // namespace

char16_t LowerCharBeyondAscii(char16_t c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
    if (c == 0x178) return 0xFF;
    for (const auto& r : kAlternating)
        if (c >= r.first && c <= r.last) return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    for (const auto& r : kAlternatingOdd)
        if (c >= r.first && c <= r.last) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return static_cast<char16_t>(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return static_cast<char16_t>(c + 63);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);  // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    if (c >= 0x531 && c <= 0x556) return static_cast<char16_t>(c + 48);  // Armenian
    if (c >= 0x10A0 && c <= 0x10C5) return static_cast<char16_t>(c - 0x10A0 + 0x2D00);
    if (c >= 0x2160 && c <= 0x216F) return static_cast<char16_t>(c + 16);  // Roman numerals
    if (c >= 0x24B6 && c <= 0x24CF) return static_cast<char16_t>(c + 26);  // circled letters
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);  // full-width
    return c;
}

char16_t UpperCharBeyondAscii(char16_t c) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c == 0xB5) return c;
    for (const auto& r : kAlternating)
        if (c >= r.first && c <= r.last) return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
    for (const auto& r : kAlternatingOdd)
        if (c >= r.first && c <= r.last) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 63);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c >= 0x561 && c <= 0x586) return static_cast<char16_t>(c - 48);
    if (c >= 0x2D00 && c <= 0x2D25) return static_cast<char16_t>(c - 0x2D00 + 0x10A0);
    if (c >= 0x2170 && c <= 0x217F) return static_cast<char16_t>(c - 16);
    if (c >= 0x24D0 && c <= 0x24E9) return static_cast<char16_t>(c - 26);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);
    return c;
}

Text ToLower(TextView text) {
    Text out(text);
    for (auto& c : out) c = LowerChar(c);
    return out;
}

Text ToUpper(TextView text) {
    Text out(text);
    for (auto& c : out) c = UpperChar(c);
    return out;
}

bool EqualsNoCase(TextView a, TextView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

bool StartsWithNoCase(TextView text, TextView prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(TextView text, TextView suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

size_t FindNoCase(TextView haystack, TextView needle, size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : TextView::npos;
    if (haystack.size() < needle.size()) return TextView::npos;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return i;
    return TextView::npos;
}

Text ReplaceAllNoCase(TextView text, TextView what, TextView with) {
    if (what.empty()) return Text(text);
    Text out;
    size_t pos = 0;
    for (;;) {
        size_t hit = FindNoCase(text, what, pos);
        if (hit == TextView::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text.substr(pos));
    return out;
}

Text ReplaceAll(TextView text, TextView what, TextView with) {
    if (what.empty()) return Text(text);
    Text out;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(what, pos);
        if (hit == TextView::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text.substr(pos));
    return out;
}

Text Trim(TextView text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && text[b] <= u' ') ++b;
    while (e > b && text[e - 1] <= u' ') --e;
    return Text(text.substr(b, e - b));
}

std::optional<int64_t> ParseInt(TextView text) {
    Text t = Trim(text);
    if (t.empty()) return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (t[0] == u'+' || t[0] == u'-') {
        negative = t[0] == u'-';
        i = 1;
    }
    if (i >= t.size()) return std::nullopt;
    uint64_t value = 0;
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return std::nullopt;
        uint64_t digit = t[i] - u'0';
        if (value > (limit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (negative) return value == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(value);
    return static_cast<int64_t>(value);
}

Text FromInt(int64_t value) {
    // Digits written straight into UTF-16, without a narrow string in between: every
    // Mathematics result passes here.
    char16_t digits[20];
    char16_t* start = digits + 20;
    uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
    do {
        *--start = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    Text out;
    out.reserve(static_cast<size_t>(digits + 20 - start) + 1);
    if (value < 0) out.push_back(u'-');
    out.append(start, digits + 20);
    return out;
}

bool IsTrue(TextView text) {
    return EqualsNoCase(text, u"TRUE") || text == u"-1";
}

Text WithTrailingBackslash(TextView folder) {
    Text out(folder);
    if (out.empty() || out.back() != u'\\') out.push_back(u'\\');
    return out;
}

std::vector<Text> Split(TextView text, char16_t separator) {
    std::vector<Text> parts;
    size_t start = 0;
    for (;;) {
        size_t hit = text.find(separator, start);
        if (hit == TextView::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, hit - start));
        start = hit + 1;
    }
}

}  // namespace zev

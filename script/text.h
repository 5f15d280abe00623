// Engine text: every value the engine handles is UTF-16, held as std::u16string.
// Files the engine reads and writes for itself are UTF-8; these helpers convert at
// that boundary and provide the letter-case rules used by variable names, command
// names and comparisons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zev {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed input never fails: each bad byte becomes U+FFFD,
// and an unpaired surrogate is written as U+FFFD.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// Simple one-to-one case mapping over the Basic Multilingual Plane
// (Latin, Greek, Cyrillic, Armenian, Georgian, full-width forms).
// The mapping of characters from U+0080 up.
char16_t LowerCharBeyondAscii(char16_t c);
char16_t UpperCharBeyondAscii(char16_t c);
// Inline ASCII path: names and command words are almost always ASCII, and these run
// once per character of every variable lookup.
inline char16_t LowerChar(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return LowerCharBeyondAscii(c);
}
inline char16_t UpperChar(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    return UpperCharBeyondAscii(c);
}
Text ToLower(TextView text);
Text ToUpper(TextView text);

bool EqualsNoCase(TextView a, TextView b);
bool StartsWithNoCase(TextView text, TextView prefix);
bool EndsWithNoCase(TextView text, TextView suffix);
// Position of the first occurrence of needle at or after from, ignoring case; npos if none.
size_t FindNoCase(TextView haystack, TextView needle, size_t from = 0);
// Replaces every occurrence of what (ignoring case) by with, scanning left to right
// without re-scanning inserted text.
Text ReplaceAllNoCase(TextView text, TextView what, TextView with);
Text ReplaceAll(TextView text, TextView what, TextView with);

// Strips characters at or below U+0020 at both ends.
Text Trim(TextView text);

// Decimal integer with optional sign; surrounding blanks allowed; nothing else.
std::optional<int64_t> ParseInt(TextView text);
Text FromInt(int64_t value);

// The engine's truth test: upper-cased text "TRUE", or "-1".
bool IsTrue(TextView text);
inline Text FromBool(bool value) { return value ? u"TRUE" : u"FALSE"; }

// Folder values end with one backslash.
Text WithTrailingBackslash(TextView folder);

// Splits at a separator character; n separators give n + 1 parts.
std::vector<Text> Split(TextView text, char16_t separator);

}  // namespace zev

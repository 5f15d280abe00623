// Archive entry paths: the safety check before anything is extracted, and the matching
// of entry names against the caller's names and wildcards.
#pragma once

#include <optional>
#include <unordered_map>
#include <vector>

#include "script/text.h"

namespace zev::archive {

// The parts of an entry path split at "/", "\" and U+F05C (7-Zip's stand-in for a
// backslash inside a name), empty and "." parts dropped. nullopt when the path could
// leave the folder it is extracted to: a leading separator (absolute or network path), a
// drive letter or any ":" (streams), a ".." part or a part of only dots and blanks,
// a control character, a reserved device name (CON, NUL, COM1, ...), or no name at all.
std::optional<std::vector<Text>> SafeParts(TextView entryPath);

// The entry path with "\" separators and no empty, "." or trailing parts; what listings
// report and what names are matched against.
Text NormalName(TextView entryPath);

// "*" matches any run of characters (separators included), "?" one character; letter
// case is ignored.
bool WildcardMatch(TextView pattern, TextView text);

// Selects entries by the caller's names: an entry is selected when a name or wildcard
// matches its normal name or the normal name of a folder above it ("*.*" means "*").
class EntrySelector {
public:
    explicit EntrySelector(const std::vector<Text>& names);
    bool SelectsAll() const { return patterns_.empty(); }
    bool Selects(TextView normalName);
    // Index of a name that has not selected anything so far, or -1.
    int UnusedName() const;

private:
    std::vector<Text> patterns_;
    std::vector<bool> used_;
    // Names without "*" or "?", by their letter-case-folded text, to their pattern indices.
    std::unordered_map<Text, std::vector<size_t>> exact_;
    std::vector<size_t> wildcards_;  // indices of the patterns with wildcards
};

}  // namespace zev::archive

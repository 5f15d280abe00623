// The switch text of CreateArchive: 7-Zip command-line method switches turned into 7z
// handler properties.
#pragma once

#include <optional>
#include <vector>

#include "script/text.h"

namespace zev::archive {

struct HandlerProperty {
    Text name;   // as written after "-m", before "="
    Text value;  // after "="; empty for "-mb0:1" or "-mx9"
    bool operator==(const HandlerProperty&) const = default;
};

// Splits at blanks and control characters outside double quotes. "-m<name>[=<value>]"
// becomes a property; "-ssw", "-ssc", "-ssc-", "-r", "-r-" and "-y" are accepted and
// ignored (letter case ignored); any other word makes the text invalid (nullopt).
// A property whose name was given before (letter case ignored) replaces the earlier one
// in the earlier one's place.
std::optional<std::vector<HandlerProperty>> ParseSwitchText(TextView text);

// The 7-Zip compression level (0-9) for one of the library's level codes.
int LevelFromCode(int32_t levelCode);

}  // namespace zev::archive

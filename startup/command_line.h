// The engine's command line: switches s, qn, update, updatesetup, "/g=", "/m=", "/l=",
// "/p=", NAME=VALUE presets and the out-of-process extraction mode.
//
// Arguments are split as the platform splits them (see SplitCommandLine); argument 0
// is the executable and is never examined. Matching rules:
// - "/s", "-s", "/qn", "-qn" (the whole text after the leading character, letter case
//   ignored) make the run silent; "/update", "/updatesetup" and their "-" forms
//   suppress the splash and preparation windows.
// - "/g=", "/m=", "/l=" or "-l=", "/p=" or "-p=": the first argument whose lower-cased
//   text STARTS with the switch text (for the two-form switches, each argument is tried
//   with "/" and then "-"). An argument that merely contains the switch text further in
//   is not taken, so a preset such as NOTE=a/l=b never becomes the log path. The value
//   is the whole argument lower-cased without its first three characters.
// - Every argument that starts with neither "/" nor "-" and contains "=" is a preset:
//   the text before the first "=" upper-cased, and the text after it as written.
// - "OutOfProcessExtract" as argument 1 (exact letter case) selects out-of-process
//   extraction; argument 2 is its control file.
#pragma once

#include <vector>

#include "script/text.h"

namespace zev {

struct CommandLine {
    // The raw command line without the executable part.
    Text tail;
    bool silent = false;
    // "update" or "updatesetup": no splash and no preparation window.
    bool suppress_windows = false;
    Text group_policy_path;    // "/g="
    Text self_extractor_path;  // "/m="
    Text log_path;             // "/l=" or "-l="
    Text cache_override;       // "/p=" or "-p=", without the trailing backslash added on use
    // Alternating upper-cased names and values of the NAME=VALUE arguments, in order.
    std::vector<Text> pairs;
    bool out_of_process_extract = false;
    Text control_file;
    // Every argument, argument 0 (the executable) included.
    std::vector<Text> arguments;
};

// Splits a raw command line as the system's argument splitter does. Argument 0 runs to
// the next double quote when it starts with one, else to the first blank, and takes no
// escapes. Further arguments are separated by spaces and tabs outside quotes; a double
// quote toggles quoting and is removed; 2n backslashes before a double quote give n
// backslashes and the quote toggles, 2n+1 give n backslashes and a literal quote;
// backslashes elsewhere are literal; inside quotes, three quotes in a row give one
// literal quote, and a doubled quote closes the quoted part.
std::vector<Text> SplitCommandLine(TextView raw);

// Quotes arguments so that SplitCommandLine gives them back unchanged (argument 0 must
// not contain a double quote).
Text JoinCommandLine(const std::vector<Text>& arguments);

// The raw command line without the executable part: after a leading quoted executable
// path, everything past its closing quote and the one character that follows it;
// otherwise everything past the first blank; empty when there is no blank.
Text CommandLineTail(TextView raw);

// From the raw command line as the system reports it for the process.
CommandLine ParseCommandLine(TextView raw);
// From the raw command line (for the tail) and an already split argument vector.
CommandLine ParseCommandLine(TextView raw, std::vector<Text> arguments);
// From an argument vector alone; the tail is that of JoinCommandLine(arguments).
CommandLine ParseArguments(std::vector<Text> arguments);

}  // namespace zev

#include "startup/command_line.h"

namespace zev {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kBackslash = u'\\';

bool IsSeparator(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsSwitchWord(TextView argument, TextView word) {
    return !argument.empty() && (argument.front() == u'/' || argument.front() == u'-') &&
           EqualsNoCase(argument.substr(1), word);
}

// The value of the first argument that starts with one of the switch texts (tried in the
// given order for each argument), or nothing.
bool FindValueSwitch(const std::vector<Text>& arguments, std::initializer_list<TextView> forms,
                     Text& value) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const Text lowered = ToLower(arguments[i]);
        for (TextView form : forms) {
            if (TextView(lowered).starts_with(form)) {
                value = lowered.substr(3);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<Text> SplitCommandLine(TextView raw) {
    std::vector<Text> arguments;
    size_t position = 0;
    Text current;
    if (!raw.empty() && raw.front() == kQuote) {
        const size_t closing = raw.find(kQuote, 1);
        const size_t end = closing == TextView::npos ? raw.size() : closing;
        current.assign(raw.substr(1, end - 1));
        position = closing == TextView::npos ? raw.size() : closing + 1;
    } else {
        while (position < raw.size() && !IsSeparator(raw[position])) ++position;
        current.assign(raw.substr(0, position));
    }
    arguments.push_back(std::move(current));
    current.clear();
    while (position < raw.size() && IsSeparator(raw[position])) ++position;
    if (position >= raw.size()) return arguments;

    size_t quotes = 0;       // odd: inside a quoted part
    size_t backslashes = 0;  // run of backslashes just written
    while (position < raw.size()) {
        const char16_t c = raw[position];
        if (IsSeparator(c) && quotes == 0) {
            arguments.push_back(std::move(current));
            current.clear();
            backslashes = 0;
            while (position < raw.size() && IsSeparator(raw[position])) ++position;
            if (position >= raw.size()) return arguments;
            continue;
        }
        if (c == kBackslash) {
            current.push_back(c);
            ++backslashes;
            ++position;
            continue;
        }
        if (c != kQuote) {
            current.push_back(c);
            backslashes = 0;
            ++position;
            continue;
        }
        current.resize(current.size() - backslashes / 2);
        if (backslashes % 2 == 0) {
            ++quotes;
        } else {
            current.back() = kQuote;  // the odd backslash escapes the quote
        }
        backslashes = 0;
        ++position;
        while (position < raw.size() && raw[position] == kQuote) {
            if (++quotes == 3) {
                current.push_back(kQuote);
                quotes = 0;
            }
            ++position;
        }
        if (quotes == 2) quotes = 0;
    }
    arguments.push_back(std::move(current));
    return arguments;
}

Text JoinCommandLine(const std::vector<Text>& arguments) {
    Text out;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const Text& argument = arguments[i];
        if (i != 0) out.push_back(u' ');
        if (i == 0) {
            out.push_back(kQuote);
            out.append(argument);
            out.push_back(kQuote);
            continue;
        }
        const bool plain = !argument.empty() && argument.find_first_of(u" \t\"") == Text::npos;
        if (plain) {
            out.append(argument);
            continue;
        }
        out.push_back(kQuote);
        size_t backslashes = 0;
        for (char16_t c : argument) {
            if (c == kBackslash) {
                ++backslashes;
                continue;
            }
            if (c == kQuote) {
                out.append(backslashes * 2 + 1, kBackslash);
            } else {
                out.append(backslashes, kBackslash);
            }
            backslashes = 0;
            out.push_back(c);
        }
        out.append(backslashes * 2, kBackslash);
        out.push_back(kQuote);
    }
    return out;
}

Text CommandLineTail(TextView raw) {
    if (!raw.empty() && raw.front() == kQuote) {
        const size_t closing = raw.find(kQuote, 1);
        if (closing == TextView::npos || closing + 2 > raw.size()) return Text();
        return Text(raw.substr(closing + 2));
    }
    const size_t blank = raw.find(u' ');
    if (blank == TextView::npos) return Text();
    return Text(raw.substr(blank + 1));
}

CommandLine ParseCommandLine(TextView raw) {
    return ParseCommandLine(raw, SplitCommandLine(raw));
}

CommandLine ParseArguments(std::vector<Text> arguments) {
    // Join before the vector is handed over: argument evaluation order is unspecified.
    const Text raw = JoinCommandLine(arguments);
    return ParseCommandLine(raw, std::move(arguments));
}

CommandLine ParseCommandLine(TextView raw, std::vector<Text> arguments) {
    CommandLine line;
    line.tail = CommandLineTail(raw);
    line.arguments = std::move(arguments);
    const std::vector<Text>& args = line.arguments;

    for (size_t i = 1; i < args.size(); ++i) {
        const Text& argument = args[i];
        if (IsSwitchWord(argument, u"s") || IsSwitchWord(argument, u"qn")) line.silent = true;
        if (IsSwitchWord(argument, u"update") || IsSwitchWord(argument, u"updatesetup"))
            line.suppress_windows = true;
        if (!argument.empty() && argument.front() != u'/' && argument.front() != u'-') {
            const size_t equals = argument.find(u'=');
            if (equals != Text::npos) {
                line.pairs.push_back(ToUpper(TextView(argument).substr(0, equals)));
                line.pairs.push_back(argument.substr(equals + 1));
            }
        }
    }
    FindValueSwitch(args, {u"/g="}, line.group_policy_path);
    FindValueSwitch(args, {u"/m="}, line.self_extractor_path);
    FindValueSwitch(args, {u"/l=", u"-l="}, line.log_path);
    FindValueSwitch(args, {u"/p=", u"-p="}, line.cache_override);

    if (args.size() > 1 && args[1] == u"OutOfProcessExtract") {
        line.out_of_process_extract = true;
        if (args.size() > 2) line.control_file = args[2];
    }
    return line;
}

}  // namespace zev

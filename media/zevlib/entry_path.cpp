#include "media/zevlib/entry_path.h"

#include <array>

namespace zev::archive {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'/' || c == u'\\' || c == u'\uF05C';
}

bool IsReservedDeviceName(TextView part) {
    // The device is named by the part up to its first dot, trailing blanks ignored:
    // "nul", "NUL.txt" and "con .log" all name devices on Windows.
    TextView base = part.substr(0, part.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
    static constexpr std::array<std::u16string_view, 6> kPlain = {u"CON", u"PRN",    u"AUX",
                                                                  u"NUL", u"CONIN$", u"CONOUT$"};
    for (TextView name : kPlain)
        if (EqualsNoCase(base, name)) return true;
    if (base.size() == 4 && (StartsWithNoCase(base, u"COM") || StartsWithNoCase(base, u"LPT")) && base[3] >= u'1' &&
        base[3] <= u'9')
        return true;
    return false;
}

std::vector<TextView> SplitParts(TextView path) {
    std::vector<TextView> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

}  // namespace

std::optional<std::vector<Text>> SafeParts(TextView entryPath) {
    if (entryPath.empty() || IsSeparator(entryPath.front())) return std::nullopt;
    std::vector<Text> parts;
    for (TextView part : SplitParts(entryPath)) {
        if (part == u".") continue;
        bool onlyDotsAndBlanks = true;
        for (char16_t c : part) {
            if (c < 0x20 || c == u':') return std::nullopt;
            if (c != u'.' && c != u' ') onlyDotsAndBlanks = false;
        }
        if (onlyDotsAndBlanks || IsReservedDeviceName(part)) return std::nullopt;
        parts.emplace_back(part);
    }
    if (parts.empty()) return std::nullopt;
    return parts;
}

Text NormalName(TextView entryPath) {
    Text name;
    for (TextView part : SplitParts(entryPath)) {
        if (part == u".") continue;
        if (!name.empty()) name += u'\\';
        name += part;
    }
    return name;
}

bool WildcardMatch(TextView pattern, TextView text) {
    // Iterative matcher with one back-tracking point for the last "*".
    size_t p = 0, t = 0, starP = TextView::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == u'?' || LowerChar(pattern[p]) == LowerChar(text[t]))) {
            ++p;
            ++t;
        } else if (starP != TextView::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

namespace {

bool HasWildcard(TextView pattern) {
    return pattern.find_first_of(u"*?") != TextView::npos;
}

Text FoldedKey(TextView name) {
    Text key(name);
    for (char16_t& c : key) c = LowerChar(c);
    return key;
}

}  // namespace

EntrySelector::EntrySelector(const std::vector<Text>& names) {
    for (const Text& name : names) {
        Text pattern = NormalName(name);
        if (pattern.empty()) continue;
        const size_t last = pattern.rfind(u'\\');
        const size_t tail = last == Text::npos ? 0 : last + 1;
        if (pattern.compare(tail, Text::npos, u"*.*") == 0) pattern.resize(pattern.size() - 2);
        const size_t index = patterns_.size();
        if (HasWildcard(pattern))
            wildcards_.push_back(index);
        else
            exact_[FoldedKey(pattern)].push_back(index);
        patterns_.push_back(std::move(pattern));
    }
    used_.assign(patterns_.size(), false);
}

bool EntrySelector::Selects(TextView normalName) {
    if (patterns_.empty()) return true;
    bool selected = false;
    // Plain names by lookup: the full name first, then each folder above it. A caller
    // that names every entry of a large archive would otherwise pay names x entries
    // wildcard matches.
    if (!exact_.empty()) {
        Text key = FoldedKey(normalName);
        while (true) {
            if (auto found = exact_.find(key); found != exact_.end()) {
                for (size_t index : found->second) used_[index] = true;
                selected = true;
            }
            const size_t separator = key.rfind(u'\\');
            if (separator == Text::npos) break;
            key.resize(separator);
        }
    }
    for (size_t i : wildcards_) {
        size_t end = normalName.size();
        while (true) {
            if (WildcardMatch(patterns_[i], normalName.substr(0, end))) {
                used_[i] = true;
                selected = true;
                break;
            }
            const size_t separator = normalName.rfind(u'\\', end == 0 ? 0 : end - 1);
            if (separator == TextView::npos || end == 0) break;
            end = separator;
        }
    }
    return selected;
}

int EntrySelector::UnusedName() const {
    for (size_t i = 0; i < used_.size(); ++i)
        if (!used_[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace zev::archive

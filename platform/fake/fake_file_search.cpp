// The fake file system's searches, ranges, volume figures and INI reader.
#include <algorithm>

#include "platform/fake/fake_platform.h"

namespace zev::fake {

namespace {

// "*" matches any run of characters, "?" any one; letter case is ignored.
bool WildcardMatch(TextView name, TextView pattern) {
    size_t n = 0, p = 0, star = TextView::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || LowerChar(pattern[p]) == LowerChar(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star != TextView::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

Text LastComponent(const Text& key) {
    const size_t slash = key.find_last_of(u'\\');
    return slash == Text::npos ? key : key.substr(slash + 1);
}

Text ParentKey(const Text& key) {
    const size_t slash = key.find_last_of(u'\\');
    return slash == Text::npos ? Text() : key.substr(0, slash);
}

// Blanks around the text and one pair of enclosing quotes removed.
Text ProfileValue(TextView text) {
    Text value = Trim(text);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

std::optional<std::string> FakeFileSystem::ReadFileRange(TextView path, uint64_t offset, size_t length) {
    std::lock_guard guard(lock_);
    auto it = files_.find(Key(path));
    if (it == files_.end()) return std::nullopt;
    if (offset >= it->second.size()) return std::string();
    return it->second.substr(static_cast<size_t>(offset), length);
}

std::vector<FileSystem::FoundEntry> FakeFileSystem::FindEntries(TextView pattern) {
    std::lock_guard guard(lock_);
    const Text key = Key(pattern);
    const Text folder = ParentKey(key);
    Text name_pattern = LastComponent(key);
    if (name_pattern == u"*.*") name_pattern = u"*";
    std::vector<FoundEntry> found;
    for (const auto& entry : files_)
        if (ParentKey(entry.first) == folder && WildcardMatch(LastComponent(entry.first), name_pattern))
            found.push_back({LastComponent(entry.first), false, false});
    for (const Text& entry : folders_)
        if (ParentKey(entry) == folder && WildcardMatch(LastComponent(entry), name_pattern))
            found.push_back({LastComponent(entry), true, false});
    std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) { return a.name < b.name; });
    return found;
}

std::optional<FileSystem::VolumeSpace> FakeFileSystem::QueryVolumeSpace(TextView path) {
    std::lock_guard guard(lock_);
    volume_queries.emplace_back(path);
    return volume_space;
}

Text FakeFileSystem::ReadProfileString(TextView file, TextView section, TextView key, size_t buffer_characters) {
    const std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) return Text();
    Text text = FromUtf8(*bytes);
    if (text.starts_with(u"\uFEFF")) text.erase(0, 1);
    bool in_section = false;
    for (Text line : Split(text, u'\n')) {
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        const Text trimmed = Trim(line);
        if (trimmed.starts_with(u"[")) {
            const size_t close = trimmed.find(u']');
            in_section = close != Text::npos && EqualsNoCase(Trim(TextView(trimmed).substr(1, close - 1)), section);
            continue;
        }
        const size_t equals = trimmed.find(u'=');
        if (!in_section || equals == Text::npos) continue;
        if (!EqualsNoCase(Trim(TextView(trimmed).substr(0, equals)), key)) continue;
        Text value = ProfileValue(TextView(trimmed).substr(equals + 1));
        if (buffer_characters > 0 && value.size() > buffer_characters - 1) value.resize(buffer_characters - 1);
        return value;
    }
    return Text();
}

}  // namespace zev::fake

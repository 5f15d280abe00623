#include "media/zevlib/switch_text.h"

#include <array>

#include "media/archive_library.h"

namespace zev::archive {

namespace {

std::vector<Text> SplitWords(TextView text) {
    std::vector<Text> words;
    Text word;
    bool quoted = false, inWord = false;
    for (char16_t c : text) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c <= u' ' && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

}  // namespace

std::optional<std::vector<HandlerProperty>> ParseSwitchText(TextView text) {
    static constexpr std::array<std::u16string_view, 6> kIgnored = {u"-ssw", u"-ssc", u"-ssc-", u"-r", u"-r-", u"-y"};
    std::vector<HandlerProperty> properties;
    for (const Text& word : SplitWords(text)) {
        bool ignored = false;
        for (TextView name : kIgnored) ignored = ignored || EqualsNoCase(word, name);
        if (ignored) continue;
        if (word.size() < 3 || !StartsWithNoCase(word, u"-m")) return std::nullopt;
        HandlerProperty property;
        const size_t equals = word.find(u'=');
        property.name = word.substr(2, equals == Text::npos ? Text::npos : equals - 2);
        if (equals != Text::npos) property.value = word.substr(equals + 1);
        if (property.name.empty()) return std::nullopt;
        bool replaced = false;
        for (HandlerProperty& earlier : properties) {
            if (EqualsNoCase(earlier.name, property.name)) {
                earlier = property;
                replaced = true;
            }
        }
        if (!replaced) properties.push_back(std::move(property));
    }
    return properties;
}

int LevelFromCode(int32_t levelCode) {
    switch (levelCode) {
        case ZEV_ARCHIVE_LEVEL_STORE: return 0;
        case ZEV_ARCHIVE_LEVEL_FASTEST: return 1;
        case ZEV_ARCHIVE_LEVEL_FAST: return 3;
        case ZEV_ARCHIVE_LEVEL_NORMAL: return 5;
        case ZEV_ARCHIVE_LEVEL_MAXIMUM: return 7;
        case ZEV_ARCHIVE_LEVEL_ULTRA:
        case ZEV_ARCHIVE_LEVEL_ULTRA_ALT: return 9;
        default: return 5;
    }
}

}  // namespace zev::archive

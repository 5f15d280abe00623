#include "interpreter/text_file.h"

namespace zev {

TextLineReader::TextLineReader(std::string_view bytes) : text_(FromUtf8(bytes)) {
    if (!text_.empty() && text_.front() == u'\uFEFF') position_ = 1;
}

Text TextLineReader::ReadLine() {
    const size_t end = text_.find_first_of(u"\r\n", position_);
    if (end == Text::npos) {
        Text line = text_.substr(position_);
        position_ = text_.size();
        return line;
    }
    Text line = text_.substr(position_, end - position_);
    position_ = end + 1;
    if (text_[end] == u'\r' && position_ < text_.size() && text_[position_] == u'\n') ++position_;
    return line;
}

std::vector<Text> ReadFileLines(std::string_view bytes) {
    std::vector<Text> lines;
    TextLineReader reader(bytes);
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    return lines;
}

std::vector<Text> SplitLines(TextView text) {
    std::vector<Text> lines(1);
    for (size_t index = 0; index < text.size(); ++index) {
        const char16_t c = text[index];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n') ++index;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

std::string WriteTextLines(const std::vector<Text>& lines) {
    std::string bytes = "\xEF\xBB\xBF";
    for (const Text& line : lines) {
        bytes += ToUtf8(line);
        bytes += "\r\n";
    }
    return bytes;
}

OpenTextFile& EngineOpenTextFile() {
    static OpenTextFile open_file;
    return open_file;
}

void CloseOpenTextFile() {
    EngineOpenTextFile().Close();
}

}  // namespace zev

// Plain text files of the text-file commands: UTF-8 lines, and the one file that
// "Read from Text File" holds open from one statement to the next.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "script/text.h"

namespace zev {

// A reader over a file's bytes decoded as UTF-8, a leading byte-order mark skipped.
// Carriage return + line feed, a lone line feed and a lone carriage return each end a
// line; a break at the very end does not start another line.
class TextLineReader {
public:
    explicit TextLineReader(std::string_view bytes);
    bool AtEnd() const { return position_ >= text_.size(); }
    // The next line without its break; the empty text at the end.
    Text ReadLine();

private:
    Text text_;
    size_t position_ = 0;
};

// Every line of a file's bytes, as TextLineReader reads them.
std::vector<Text> ReadFileLines(std::string_view bytes);
// A text split at its line breaks: every break separates two lines, so a text ending
// with a break gives an empty last line, and the empty text one empty line.
std::vector<Text> SplitLines(TextView text);
// UTF-8 with a byte-order mark, every line followed by carriage return + line feed.
std::string WriteTextLines(const std::vector<Text>& lines);

// The text file that "Read from Text File" holds open: its path as the script gave it
// (without the read-all prefix) and the reader positioned after the last line read.
// Engine-wide and used on the interpreter's thread only; one file at a time.
struct OpenTextFile {
    Text path;  // empty when no file is open
    std::optional<TextLineReader> reader;

    bool IsOpen() const { return reader.has_value(); }
    // Closes the file and forgets its path.
    void Close() {
        reader.reset();
        path.clear();
    }
};

OpenTextFile& EngineOpenTextFile();

// Closes the open text file, if any, and forgets its name: the exit-script routine's
// step for the text-file commands.
void CloseOpenTextFile();

}  // namespace zev

// The statement table: the loaded installation script.
//
// The compiled script is a UTF-8 text of 13 sections, each ended by a line that is
// exactly "$". Sections 1, 2, 4, 7 and the list part of 12 are parallel lists indexed
// by the 0-based statement index; section 3 holds parameter blocks (an identifier line
// followed by the statement's parameter lines); the other sections hold product values
// and side tables. The table is filled once by Load and never written during a run.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/text.h"

namespace zev {

// A script file that cannot be read as a statement table. The message names the
// section and the 1-based line of the file where reading failed.
class ScriptLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The thirteen sections of a compiled script as raw lines, before any fix-up: the
// terminating "$" lines are not stored, a parameter "$" stays "$WILD_DOLLAR$".
inline constexpr size_t kScriptSectionCount = 13;
struct ScriptSections {
    std::array<std::vector<Text>, kScriptSectionCount> lines;
    // 1-based file line of each section's first line (its "$" line when empty).
    std::array<size_t, kScriptSectionCount> first_line{};

    std::vector<Text>& Section(int number) { return lines[number - 1]; }
    const std::vector<Text>& Section(int number) const { return lines[number - 1]; }
};

// Splits a compiled script into its sections. A leading byte-order mark is skipped;
// lines end with CR LF or LF (a lone CR is part of the line); bytes after the
// thirteenth "$" line are ignored. Throws ScriptLoadError when the text ends before
// its thirteenth "$" line.
ScriptSections ReadScriptSections(std::string_view bytes);

// An ordered list of lines with a case-insensitive hash index from line text to the
// first index holding it.
class IndexedLines {
public:
    void Append(Text line);
    void Clear();
    size_t Count() const { return lines_.size(); }
    const Text& At(size_t index) const { return lines_[index]; }
    // The line at index, or the empty text past either end.
    const Text& AtOrEmpty(size_t index) const;
    // First index whose line equals text (letter case ignored), or npos.
    size_t IndexOf(TextView text) const;
    const std::vector<Text>& Lines() const { return lines_; }
    // Replaces a line in place, keeping the index correct.
    void Replace(size_t index, Text line);

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    void Reindex();
    std::vector<Text> lines_;
    std::unordered_map<Text, size_t> index_;  // key: lower-cased line
};

struct SourcePosition {
    Text file;      // source file path as written by the authoring tool
    int64_t line;   // 0-based line within that file; -1 when unknown
};

struct ProductValues {
    Text product_code;      // section 5, line 1
    Text product_title;     // section 5, line 2
    Text publisher;         // section 6, lines 1..6
    Text contact;
    Text help_link;
    Text update_url;
    Text comments;
    Text display_version;
    int64_t media_mode = 1;       // section 8
    Text revision_code;           // section 9
    bool language_dialog = false; // section 10, line 1 ("TRUE" exactly)
    Text default_language;        // section 10, line 2
    int64_t code_page = 0;        // section 12, line 1 (read, not used)
    int64_t total_file_size = 0;  // section 13, line 1
};

class StatementTable {
public:
    // Reads a compiled script from a file or from its bytes. Throws ScriptLoadError on
    // an unreadable file, a non-numeric fixed line where a number is required, or a
    // file that ends before its thirteenth "$" line.
    void Load(const std::filesystem::path& path);
    void LoadFromBytes(std::string_view bytes);

    size_t StatementCount() const { return commands_.Count(); }
    const Text& Command(size_t index) const { return commands_.AtOrEmpty(index); }
    const Text& Identifier(size_t index) const { return identifiers_.AtOrEmpty(index); }
    const Text& Flag(size_t index) const { return flags_.AtOrEmpty(index); }
    const Text& MediaName(size_t index) const { return media_.AtOrEmpty(index); }
    SourcePosition Position(size_t index) const;
    // Source file name without folder and extension, as the error report shows it.
    Text SourceFileTitle(size_t index) const;
    // A statement runs when its flag is not "C" and its command is not "Ignore".
    bool IsVisible(size_t index) const;

    // Parameter n of the statement with this identifier: the line n places after the
    // identifier line in section 3; n = 0 gives the identifier line; the empty text
    // when no block carries the identifier, the identifier is empty, or the index runs
    // past the end.
    Text Parameter(TextView identifier, size_t n) const;
    // Shorthand: parameter n of the statement at index.
    Text ParameterOf(size_t statement, size_t n) const { return Parameter(Identifier(statement), n); }

    const ProductValues& Product() const { return product_; }
    const IndexedLines& Commands() const { return commands_; }
    const IndexedLines& Identifiers() const { return identifiers_; }
    const IndexedLines& Parameters() const { return parameters_; }
    const IndexedLines& Flags() const { return flags_; }
    const IndexedLines& Media() const { return media_; }
    const std::vector<Text>& SourcePositions() const { return positions_; }
    const IndexedLines& PluginCommands() const { return plugins_; }
    bool IsPluginCommand(TextView command) const { return plugins_.IndexOf(command) != IndexedLines::npos; }

    // Side tables, as flat lists in file order.
    const std::vector<Text>& WebMediaPasswords() const { return passwords_; }   // section 6 pairs
    const std::vector<Text>& ComponentSizes() const { return component_sizes_; } // section 8 pairs
    const std::vector<Text>& MediaFileTable() const { return media_files_; }     // section 9 triples
    const std::vector<Text>& CommandHeaders() const { return headers_; }         // section 10 pairs
    const std::vector<Text>& CompileTimeVariables() const { return compile_vars_; } // section 11 pairs
    const std::vector<Text>& FileTable() const { return file_table_; }           // section 13 lines

    // Lookups on the side tables.
    // Compile-time variable by name (letter case ignored; the first match wins).
    bool FindCompileTimeVariable(TextView name, Text& value) const;
    // Command header of the statement at index, or the empty text.
    Text CommandHeaderOf(size_t statement) const;
    // Size of a component by upper-cased name; -1 when not listed.
    int64_t ComponentSize(TextView name) const;
    // Decoded archive password of a web media ("offline" for the offline media).
    bool FindWebMediaPassword(TextView media_name, Text& password) const;

    void Clear();

    // Friend access for the writer used by the authoring tool.
    friend class StatementTableBuilder;

private:
    IndexedLines commands_;
    IndexedLines identifiers_;
    IndexedLines parameters_;
    IndexedLines flags_;
    IndexedLines media_;
    IndexedLines plugins_;
    std::vector<Text> positions_;
    ProductValues product_;
    std::vector<Text> passwords_;
    std::vector<Text> component_sizes_;
    std::vector<Text> media_files_;
    std::vector<Text> headers_;
    std::unordered_map<Text, size_t> header_by_index_;  // decimal index -> position in headers_
    std::vector<Text> compile_vars_;
    std::vector<Text> file_table_;
};

// Decodes the protected form of a web media password (section 6). A malformed
// protected text (odd length, a character that is not a hexadecimal digit) decodes
// to the empty text, so the archive is then opened without a password and fails.
Text DecodeProtectedPassword(TextView protected_text);
// The same, telling a malformed protected text apart from an empty password.
std::optional<Text> TryDecodeProtectedPassword(TextView protected_text);
// The inverse, used by the authoring tool: upper-case hexadecimal digits. The form
// holds only characters up to U+00FF and passwords of at most
// kMaxProtectedPasswordLength characters; anything else has no protected form and
// throws std::invalid_argument.
inline constexpr size_t kMaxProtectedPasswordLength = 128;
Text EncodeProtectedPassword(TextView password);

}  // namespace zev

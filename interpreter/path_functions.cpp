#include "interpreter/path_functions.h"

#include <vector>

#include "interpreter/parameter_forms.h"

namespace zev {

namespace {

constexpr TextView kPathDelimiters = u"\\:";

size_t LastDelimiter(TextView path, TextView delimiters) {
    return path.find_last_of(delimiters);
}

// A folder text with one trailing backslash; the empty text stays empty, since a lone
// backslash would name the root of the current drive instead of "no folder".
Text FolderWithBackslash(TextView folder) {
    return folder.empty() ? Text() : WithTrailingBackslash(folder);
}

Text WithoutTrailingBackslash(TextView folder) {
    if (!folder.empty() && folder.back() == u'\\') folder.remove_suffix(1);
    return Text(folder);
}

}  // namespace

Text FileDrive(TextView path) {
    if (path.size() >= 2 && path[1] == u':') return Text(path.substr(0, 2));
    if (!path.starts_with(u"\\\\")) return Text();
    // "\\server\share": up to the backslash that follows the share name.
    const size_t server_end = path.find(u'\\', 2);
    if (server_end == TextView::npos) return Text(path);
    const size_t share_end = path.find(u'\\', server_end + 1);
    return Text(share_end == TextView::npos ? path : path.substr(0, share_end));
}

Text FileNamePart(TextView path) {
    const size_t delimiter = LastDelimiter(path, kPathDelimiters);
    return Text(delimiter == TextView::npos ? path : path.substr(delimiter + 1));
}

Text FileExtensionPart(TextView path) {
    const size_t delimiter = LastDelimiter(path, u".\\:");
    if (delimiter == TextView::npos || path[delimiter] != u'.') return Text();
    return Text(path.substr(delimiter));
}

Text FolderPart(TextView path) {
    const size_t delimiter = LastDelimiter(path, kPathDelimiters);
    return delimiter == TextView::npos ? Text() : Text(path.substr(0, delimiter + 1));
}

Text ExtractPathPart(TextView cleaned, int64_t mode) {
    switch (mode) {
        case 0:
            return FileNamePart(cleaned);
        case 1: {
            const Text name = FileNamePart(cleaned);
            return name.substr(0, name.size() - FileExtensionPart(name).size());
        }
        case 2: {
            const Text extension = FileExtensionPart(cleaned);
            return extension.empty() ? extension : extension.substr(1);
        }
        case 3:
            return FolderWithBackslash(FolderPart(cleaned));
        case 4:
            return FolderWithBackslash(FolderPart(WithoutTrailingBackslash(FolderPart(cleaned))));
        case 5:
            return FolderWithBackslash(FileDrive(cleaned));
        case 6:
            return CollapseAllBackslashPairs(cleaned);
        default:
            return Text(cleaned);
    }
}

Text LongPathForm(FileSystem& files, TextView path) {
    const Text unquoted = ReplaceAll(path, u"\"", u"");
    const Text root = FileDrive(unquoted);
    Text result = root;
    for (const Text& component : Split(TextView(unquoted).substr(root.size()), u'\\')) {
        if (component.empty()) continue;
        const Text written = result + u"\\" + component;
        const std::optional<Text> found = files.DirectoryEntryName(written);
        if (!found) return written;
        result += u"\\" + *found;
    }
    return result;
}

Text ShortPathForm(FileSystem& files, TextView path) {
    if (auto plain = files.ShortPathName(path)) return *plain;
    if (auto prefixed = files.ShortPathName(u"\\\\?\\" + Text(path))) return *prefixed;
    return Text(path);
}

Text ConvertPathValue(FileSystem& files, SystemInfo& system, TextView cleaned, TextView setup_folder,
                      bool short_form) {
    Text path(cleaned);
    if (Text expanded = system.ExpandEnvironmentText(path); !expanded.empty()) path = std::move(expanded);
    if (FileDrive(path).empty()) path = WithTrailingBackslash(setup_folder) + path;
    if (std::optional<Text> full = files.FullPathName(path); full && !full->empty()) path = std::move(*full);
    if (!files.FolderExists(path) && !files.FileExists(path)) return Text();
    return short_form ? ShortPathForm(files, path) : LongPathForm(files, path);
}

}  // namespace zev

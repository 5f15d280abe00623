#include "interpreter/file_search.h"

#include <atomic>

namespace zev {

namespace {

// Process-wide, like the progress position it feeds.
std::atomic<int> folder_counter{0};

int NextFolderPosition() {
    int current = folder_counter.load();
    int next = 0;
    do {
        next = (current + 1) % 101;
    } while (!folder_counter.compare_exchange_weak(current, next));
    return next;
}

// Returns false when the search was asked to stop.
bool SearchFolder(FileSystem& files, TextView pattern, bool recurse, bool include_folders, const SearchHooks& hooks,
                  std::vector<Text>& found) {
    const size_t separator = pattern.find_last_of(u"\\:");
    const Text folder = WithTrailingBackslash(separator == TextView::npos ? TextView() : pattern.substr(0, separator + 1));
    const Text name_pattern(separator == TextView::npos ? pattern : pattern.substr(separator + 1));
    const auto stop = [&hooks] { return hooks.stop_requested && hooks.stop_requested(); };

    if (hooks.folder_searched) hooks.folder_searched(NextFolderPosition());
    for (const FileSystem::FoundEntry& entry : files.FindEntries(folder + u"*.*")) {
        if (!entry.is_folder) continue;
        if (recurse && !entry.is_link) {
            if (!SearchFolder(files, folder + entry.name + u"\\" + name_pattern, recurse, include_folders, hooks,
                              found) ||
                stop())
                return false;
        }
        if (include_folders) found.push_back(folder + entry.name);
    }
    for (const FileSystem::FoundEntry& entry : files.FindEntries(folder + name_pattern)) {
        if (entry.is_folder) continue;
        const Text path = folder + entry.name;
        if (hooks.file_found) hooks.file_found(path);
        found.push_back(path);
        if (stop()) return false;
    }
    return true;
}

}  // namespace

std::vector<Text> SearchFiles(FileSystem& files, TextView pattern, bool recurse, bool include_folders,
                              const SearchHooks& hooks) {
    std::vector<Text> found;
    SearchFolder(files, pattern, recurse, include_folders, hooks, found);
    return found;
}

void DeleteFilesRecursive(FileSystem& files, TextView pattern) {
    std::vector<Text> entries = SearchFiles(files, pattern, true, true);
    for (;;) {
        const size_t noted = entries.size();
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            files.SetNormalAttributes(*entry);
            files.DeleteFile(*entry);
        }
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) files.RemoveEmptyFolder(*entry);
        entries = SearchFiles(files, pattern, true, true);
        if (entries.size() == noted) return;
    }
}

}  // namespace zev

#include "media/offline_media_copy.h"

#include "interpreter/path_functions.h"

namespace zev {

namespace {

constexpr TextView kKeepText = u"$IGNORE$";

Text ParentFolder(TextView folder) {
    TextView text = folder;
    while (!text.empty() && text.back() == u'\\') text.remove_suffix(1);
    const size_t slash = text.rfind(u'\\');
    return slash == TextView::npos ? Text(folder) : Text(text.substr(0, slash + 1));
}

struct MediaFile {
    Text relative;  // below its listing root
    bool from_offline = true;
};

// Lists a media folder; a name that cannot be found when checked makes the whole listing
// be made again with long-path names.
void ListMediaFolder(FileSystem& files, const Text& root, bool from_offline, OfflineMediaCopyState& state,
                     std::vector<MediaFile>& out) {
    auto listed = ListFilesBelow(files, root);
    bool unreachable = !listed;
    if (listed) {
        for (const Text& name : *listed) unreachable = unreachable || !files.FileExists(root + name);
    }
    if (unreachable) {
        if (auto long_listing = ListFilesBelow(files, LongPathForm(root))) {
            listed = std::move(long_listing);
            state.long_paths = true;
        }
    }
    if (!listed) return;
    for (Text& name : *listed) out.push_back({std::move(name), from_offline});
}

}  // namespace

bool CopyOfflineMedia(FileSystem& files, const OfflineMediaCopyJob& job, OfflineMediaCopyState& state,
                      const MediaProgress& progress, Text& error) {
    error.clear();
    auto publish = [&](TextView text, int position) { return !progress || progress(text, position); };
    publish(kKeepText, 0);

    Text source = WithTrailingBackslash(job.source_folder);
    if (!files.FolderExists(source + u"offline") && !files.FolderExists(source + u"mergemod"))
        source = ParentFolder(source);
    const Text media_root = WithTrailingBackslash(job.media_root);
    const Text offline_root = source + u"offline\\";
    const Text merge_root = source + u"mergemod\\";

    std::vector<MediaFile> media;
    if (files.FolderExists(offline_root)) ListMediaFolder(files, offline_root, true, state, media);
    if (files.FolderExists(merge_root)) ListMediaFolder(files, merge_root, false, state, media);

    const size_t count = media.size();
    for (size_t i = 0; i < count; ++i) {
        const MediaFile& file = media[i];
        const int position = static_cast<int>(std::min<size_t>(i * 100 / count + 1, 100));
        if (!publish(kKeepText, position)) {
            error = u"The copy of the installation data was cancelled";
            return false;
        }
        const Text from = (file.from_offline ? offline_root : merge_root) + file.relative;
        const Text folder = (file.from_offline ? media_root + u"offline\\" : media_root) + FolderPart(file.relative);
        const Text to = folder + FileNamePart(file.relative);
        files.CreateFolderTree(state.long_paths ? LongPathForm(folder) : folder);
        publish(FileNamePart(file.relative) + u", " + FromInt(position) + u"% complete", position);

        const Text source_name = state.long_paths ? LongPathForm(from) : from;
        const Text target_name = state.long_paths ? LongPathForm(to) : to;
        if (!files.FileExists(target_name)) {
            files.SetNormalAttributes(target_name);
            if (job.cache_sources && job.media_mode == 2) {
                LinkOrCopyFile(files, source_name, target_name);
            } else if (!files.MoveFile(source_name, target_name).ok()) {
                LinkOrCopyFile(files, source_name, target_name);
            }
            if (job.compress) files.SetCompressed(target_name);
        }
        // A file that did not arrive is a failed copy, whichever way its names were formed.
        if (!files.FileExists(to) && !files.FileExists(LongPathForm(to))) {
            error = u"Unable to copy " + from + u" to " + to;
            return false;
        }
    }

    if (!job.copy_web_location.empty() && !job.setup_file.empty())
        files.CopyFile(job.setup_file, WithTrailingBackslash(job.copy_web_location) + FileNamePart(job.setup_file), true);
    return true;
}

}  // namespace zev

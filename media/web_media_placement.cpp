#include "media/web_media_placement.h"

#include "interpreter/path_functions.h"

#include "media/archive_jobs.h"
#include "startup/engine.h"

namespace zev {

namespace {

constexpr TextView kLongPrefix = u"\\\\?\\";
constexpr TextView kLongNetworkPrefix = u"\\\\?\\UNC\\";

TextView WithoutLongPrefix(TextView path) {
    if (path.starts_with(kLongNetworkPrefix)) return path.substr(kLongNetworkPrefix.size() - 1);
    if (path.starts_with(kLongPrefix)) return path.substr(kLongPrefix.size());
    return path;
}

// "C:" of a drive path, "\\server\share" of a network path (letter case folded).
Text DriveOf(TextView path) {
    path = WithoutLongPrefix(path);
    if (path.starts_with(u"\\\\")) {
        size_t end = path.find(u'\\', 2);
        if (end != TextView::npos) end = path.find(u'\\', end + 1);
        return ToLower(path.substr(0, end));
    }
    return path.size() >= 2 && path[1] == u':' ? ToLower(path.substr(0, 2)) : Text();
}

Text WithoutExtension(TextView name) {
    const size_t dot = name.rfind(u'.');
    return Text(dot == TextView::npos ? name : name.substr(0, dot));
}

TextView WithoutTrailingSeparators(TextView text) {
    while (!text.empty() && (text.back() == u'\\' || text.back() == u'/')) text.remove_suffix(1);
    return text;
}

void ClearAndDelete(FileSystem& files, TextView path) {
    files.SetNormalAttributes(path);
    files.DeleteFile(path);
}

bool ListInto(FileSystem& files, const Text& folder, const Text& relative, std::vector<Text>& out) {
    auto entries = files.ListFolder(folder);
    if (!entries) return false;
    for (const auto& entry : *entries) {
        const Text name = relative.empty() ? entry.name : relative + u"\\" + entry.name;
        if (entry.is_folder) {
            if (!ListInto(files, WithTrailingBackslash(folder) + entry.name, name, out)) return false;
        } else {
            out.push_back(name);
        }
    }
    return true;
}

}  // namespace

Text LongPathForm(TextView path) {
    if (path.starts_with(kLongPrefix)) return Text(path);
    if (path.starts_with(u"\\\\")) return Text(kLongNetworkPrefix) + Text(path.substr(2));
    return Text(kLongPrefix) + Text(path);
}

PlatformStatus LinkOrCopyFile(FileSystem& files, TextView from, TextView to) {
    const Text drive = DriveOf(from);
    if (!drive.empty() && drive == DriveOf(to)) {
        if (PlatformStatus linked = files.CreateHardLink(from, to); linked.ok()) return linked;
    }
    return files.CopyFile(from, to, false);
}

std::optional<std::vector<Text>> ListFilesBelow(FileSystem& files, TextView folder) {
    std::vector<Text> out;
    if (!ListInto(files, Text(WithoutTrailingSeparators(folder)), Text(), out)) return std::nullopt;
    return out;
}

PlatformStatus MoveFolderTree(FileSystem& files, TextView from, TextView to) {
    const Text source = Text(WithoutTrailingSeparators(from));
    const Text target = Text(WithoutTrailingSeparators(to));
    if (!files.FolderExists(source)) return PlatformStatus::Success();
    auto entries = files.ListFolder(source);
    if (!entries) return {3, u"The folder " + source + u" cannot be listed."};
    if (PlatformStatus made = files.CreateFolderTree(target); !made.ok()) return made;
    for (const auto& entry : *entries) {
        const Text child_from = source + u"\\" + entry.name;
        const Text child_to = target + u"\\" + entry.name;
        PlatformStatus moved = entry.is_folder ? MoveFolderTree(files, child_from, child_to)
                                               : (ClearAndDelete(files, child_to), files.MoveFile(child_from, child_to));
        if (!moved.ok()) return moved;
    }
    return files.RemoveEmptyFolder(source);
}

std::vector<MediaFileRow> MediaFileRows(const std::vector<Text>& flat_table) {
    std::vector<MediaFileRow> rows;
    for (size_t i = 0; i + 2 < flat_table.size(); i += 3) rows.push_back({flat_table[i], flat_table[i + 1], flat_table[i + 2]});
    return rows;
}

namespace {

// Pairs (source, destination), lower-cased, of the files already moved out of the
// unpacked archive.
class MovedFiles {
public:
    void Record(TextView source, TextView destination) { pairs_.emplace_back(ToLower(source), ToLower(destination)); }
    // The first destination a source was moved to; nothing when it was not moved.
    std::optional<Text> DestinationOf(TextView source) const {
        const Text key = ToLower(WithoutLongPrefix(source));
        for (const auto& [from, to] : pairs_)
            if (from == key) return to;
        return std::nullopt;
    }

private:
    std::vector<std::pair<Text, Text>> pairs_;
};

enum class Placement { Done, Failed, RestartInCopyMode };

// Brings a source that an earlier row moved away back from that row's destination.
void RestoreMoved(FileSystem& files, const MovedFiles& moved, TextView source, bool long_form) {
    const bool present = files.FileExists(long_form ? LongPathForm(source) : Text(source));
    if (present) return;
    if (auto earlier = moved.DestinationOf(source))
        LinkOrCopyFile(files, long_form ? LongPathForm(*earlier) : *earlier, long_form ? LongPathForm(source) : Text(source));
}

Placement PlaceOne(FileSystem& files, const Text& source, const Text& destination, bool copy_mode, MovedFiles& moved,
                   Text& error) {
    ClearAndDelete(files, destination);
    PlatformStatus status;
    if (copy_mode) {
        status = LinkOrCopyFile(files, source, destination);
    } else {
        RestoreMoved(files, moved, source, false);
        status = files.MoveFile(source, destination);
        if (status.ok()) moved.Record(source, destination);
    }
    if (status.ok()) return Placement::Done;

    ClearAndDelete(files, destination);
    if (copy_mode) {
        for (int retry = 0; retry < 3 && !status.ok(); ++retry) {
            ClearAndDelete(files, destination);
            status = LinkOrCopyFile(files, source, destination);
        }
        if (status.ok()) return Placement::Done;
        error = status.message;
        return Placement::Failed;
    }
    RestoreMoved(files, moved, source, true);
    status = files.MoveFile(LongPathForm(source), LongPathForm(destination));
    if (status.ok()) {
        moved.Record(source, destination);
        return Placement::Done;
    }
    return Placement::RestartInCopyMode;
}

}  // namespace

bool PlaceWebMedia(Engine& engine, const WebMediaPlacementJob& job, WebMediaState& state,
                   const MediaProgress& progress, Text& error) {
    FileSystem& files = engine.platform.files;
    const Text temporary_root = WithTrailingBackslash(job.temporary_root);
    const Text media_root = WithTrailingBackslash(job.media_root);
    const Text archive_name = FileNamePart(job.archive);
    const Text base = WithoutExtension(archive_name);

    auto finish = [&](bool success) {
        files.RemoveEmptyFolder(temporary_root);
        return success;
    };

    while (true) {
        error.clear();
        files.CreateFolderTree(media_root);
        files.CreateFolderTree(temporary_root);

        ExtractRequest request;
        request.archive = job.archive;
        request.password = job.password;
        request.output_folder = temporary_root;
        request.keep_paths = true;
        request.overwrite = true;
        const ArchiveProgress extract_progress = [&](TextView name, uint64_t done, uint64_t total) {
            const int percent = ProgressPercent(done, total);
            const Text text = job.progress_prefix + u"\r" + FileNamePart(name) + u", " + FromInt(percent) + u"% complete";
            return !progress || progress(text, percent);
        };
        const bool extracted = ExtractArchiveRoutine(engine, request, extract_progress, error);
        state.wrong_password = !extracted && IsWrongPasswordError(error);
        if (!extracted) return finish(false);

        if (!job.copy_web_location.empty())
            files.CopyFile(job.archive, WithTrailingBackslash(job.copy_web_location) + archive_name, true);

        MovedFiles moved;
        bool restart = false;
        for (const MediaFileRow& row : job.table) {
            if (!EqualsNoCase(WithoutTrailingSeparators(row.media_name), base)) continue;
            const Text folder = media_root + row.folder;
            if (PlatformStatus made = files.CreateFolderTree(folder); !made.ok()) {
                error = made.message;
                return finish(false);
            }
            const Text destination = WithTrailingBackslash(folder) + FileNamePart(row.file_path);
            const Text source = temporary_root + base + u"\\" + row.file_path;
            const Placement placement = PlaceOne(files, source, destination, state.copy_mode, moved, error);
            if (placement == Placement::Failed) return false;  // the temporary root is left for a retry
            if (placement == Placement::RestartInCopyMode) {
                state.copy_mode = true;
                restart = true;
                break;
            }
        }
        if (restart) continue;

        const Text rest = temporary_root + base;
        PlatformStatus tree = MoveFolderTree(files, rest, media_root + base);
        if (!tree.ok()) tree = MoveFolderTree(files, LongPathForm(rest), LongPathForm(media_root + base));
        if (!tree.ok()) {
            error = tree.message;
            return finish(false);
        }
        return finish(true);
    }
}

}  // namespace zev

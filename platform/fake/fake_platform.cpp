#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <condition_variable>

namespace zev::fake {

namespace {

PlatformStatus NotFound() { return {2, u"The system cannot find the file specified."}; }
PlatformStatus AlreadyExists() { return {183, u"Cannot create a file when that file already exists."}; }
PlatformStatus PathNotFound() { return {3, u"The system cannot find the path specified."}; }

Text ParentOf(const Text& key) {
    const size_t slash = key.find_last_of(u'\\');
    return slash == Text::npos ? Text() : key.substr(0, slash);
}

}  // namespace

// ---- file system ----

Text FakeFileSystem::Key(TextView path) {
    Text key;
    if (path.starts_with(u"\\\\?\\UNC\\"))
        key = u"\\\\" + ToLower(path.substr(8));
    else
        key = ToLower(path.starts_with(u"\\\\?\\") ? path.substr(4) : path);
    for (auto& c : key)
        if (c == u'/') c = u'\\';
    while (key.size() > 3 && key.back() == u'\\') key.pop_back();
    return key;
}

bool FakeFileSystem::ParentExists(const Text& key) {
    const Text parent = ParentOf(key);
    return parent.size() <= 2 || folders_.count(parent) > 0;
}

bool FakeFileSystem::Unreachable(TextView path) {
    return !path.starts_with(u"\\\\?\\") && long_path_only.count(Key(path)) > 0;
}

bool FakeFileSystem::FileExists(TextView path) {
    std::lock_guard guard(lock_);
    if (Unreachable(path)) return false;
    return files_.count(Key(path)) > 0;
}

bool FakeFileSystem::FolderExists(TextView path) {
    std::lock_guard guard(lock_);
    return folders_.count(Key(path)) > 0;
}

PlatformStatus FakeFileSystem::CreateFolder(TextView path) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (folders_.count(key) || files_.count(key)) return AlreadyExists();
    if (!ParentExists(key)) return PathNotFound();
    folders_.insert(key);
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::CreatePrivateFolder(TextView path) {
    std::lock_guard guard(lock_);
    PlatformStatus status = CreateFolder(path);
    if (status.ok()) private_folders.emplace_back(path);
    return status;
}

PlatformStatus FakeFileSystem::CreateFolderTree(TextView path) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (key.size() <= 2 || folders_.count(key)) return PlatformStatus::Success();
    if (files_.count(key)) return AlreadyExists();
    if (PlatformStatus parent = CreateFolderTree(ParentOf(key)); !parent.ok()) return parent;
    folders_.insert(key);
    return PlatformStatus::Success();
}

std::optional<std::string> FakeFileSystem::ReadWholeFile(TextView path) {
    std::lock_guard guard(lock_);
    auto it = files_.find(Key(path));
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

std::optional<uint64_t> FakeFileSystem::FileSize(TextView path) {
    std::lock_guard guard(lock_);
    auto it = files_.find(Key(path));
    if (it == files_.end()) return std::nullopt;
    return it->second.size();
}

std::optional<std::string> FakeFileSystem::ReadFileTail(TextView path, uint64_t offset) {
    std::lock_guard guard(lock_);
    auto it = files_.find(Key(path));
    if (it == files_.end()) return std::nullopt;
    if (offset >= it->second.size()) return std::string();
    return it->second.substr(static_cast<size_t>(offset));
}

PlatformStatus FakeFileSystem::WriteWholeFile(TextView path, std::string_view bytes) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (folders_.count(key)) return {5, u"Access is denied."};
    if (!ParentExists(key)) return PathNotFound();
    files_[key] = std::string(bytes);
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::AppendToFile(TextView path, std::string_view bytes) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (!ParentExists(key)) return PathNotFound();
    files_[key].append(bytes);
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::CopyFile(TextView from, TextView to, bool overwrite) {
    std::lock_guard guard(lock_);
    if (Unreachable(from) || Unreachable(to)) return PathNotFound();
    auto it = files_.find(Key(from));
    if (it == files_.end()) return NotFound();
    const Text target = Key(to);
    if (!overwrite && files_.count(target)) return {80, u"The file exists."};
    if (!ParentExists(target)) return PathNotFound();
    files_[target] = it->second;
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::SetNormalAttributes(TextView path) {
    return FileExists(path) || FolderExists(path) ? PlatformStatus::Success() : NotFound();
}

PlatformStatus FakeFileSystem::DeleteFile(TextView path) {
    std::lock_guard guard(lock_);
    return files_.erase(Key(path)) ? PlatformStatus::Success() : NotFound();
}

PlatformStatus FakeFileSystem::DeleteFolderContents(TextView path) {
    std::lock_guard guard(lock_);
    const Text prefix = Key(path) + u"\\";
    std::erase_if(files_, [&](const auto& entry) { return entry.first.starts_with(prefix); });
    std::erase_if(folders_, [&](const Text& folder) { return folder.starts_with(prefix); });
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::RemoveEmptyFolder(TextView path) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (!folders_.count(key)) return NotFound();
    const Text prefix = key + u"\\";
    for (const auto& entry : files_)
        if (entry.first.starts_with(prefix)) return {145, u"The directory is not empty."};
    for (const auto& folder : folders_)
        if (folder.starts_with(prefix)) return {145, u"The directory is not empty."};
    folders_.erase(key);
    return PlatformStatus::Success();
}

std::optional<std::vector<FileSystem::FolderEntry>> FakeFileSystem::ListFolder(TextView folder) {
    std::lock_guard guard(lock_);
    const Text key = Key(folder);
    if (!folders_.count(key) || unlistable.count(key)) return std::nullopt;
    const Text prefix = key + u"\\";
    std::vector<FolderEntry> entries;
    auto add_child = [&](const Text& path, bool is_folder) {
        if (!path.starts_with(prefix) || path.find(u'\\', prefix.size()) != Text::npos) return;
        entries.push_back({path.substr(prefix.size()), is_folder});
    };
    for (const Text& child : folders_) add_child(child, true);
    for (const auto& entry : files_) add_child(entry.first, false);
    return entries;
}

PlatformStatus FakeFileSystem::MoveFile(TextView from, TextView to) {
    std::lock_guard guard(lock_);
    const Text source = Key(from);
    const Text target = Key(to);
    if (Unreachable(from) || Unreachable(to)) return PathNotFound();
    auto it = files_.find(source);
    if (it == files_.end()) return NotFound();
    if (move_refused.count(target)) return {5, u"Access is denied."};
    if (folders_.count(target)) return {5, u"Access is denied."};
    if (!ParentExists(target)) return PathNotFound();
    std::string bytes = std::move(it->second);
    files_.erase(it);
    files_[target] = std::move(bytes);
    return PlatformStatus::Success();
}

PlatformStatus FakeFileSystem::CreateHardLink(TextView existing, TextView link) {
    std::lock_guard guard(lock_);
    const PlatformStatus copied = CopyFile(existing, link, false);
    if (copied.ok()) hard_links.emplace_back(Key(existing), Key(link));
    return copied;
}

PlatformStatus FakeFileSystem::SetCompressed(TextView path) {
    std::lock_guard guard(lock_);
    if (!files_.count(Key(path)) && !folders_.count(Key(path))) return NotFound();
    compressed.insert(Key(path));
    return PlatformStatus::Success();
}

void FakeFileSystem::AddFile(TextView path, std::string bytes) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    CreateFolderTree(ParentOf(key));
    files_[key] = std::move(bytes);
}

std::vector<Text> FakeFileSystem::FilesUnder(TextView folder) {
    std::lock_guard guard(lock_);
    const Text prefix = Key(folder) + u"\\";
    std::vector<Text> out;
    for (const auto& entry : files_)
        if (entry.first.starts_with(prefix)) out.push_back(entry.first);
    return out;
}

// ---- registry ----

Text FakeRegistry::Key(RegistryRoot root, TextView key, TextView name) {
    static const char16_t* roots[] = {u"hkcr", u"hkcu", u"hklm", u"hku"};
    return ToLower(Text(roots[static_cast<int>(root)]) + u"\\" + Text(key) + u"\\" + Text(name));
}

PlatformStatus FakeRegistry::WriteString(RegistryRoot root, TextView key, TextView name, TextView value) {
    strings[Key(root, key, name)] = Text(value);
    return PlatformStatus::Success();
}

PlatformStatus FakeRegistry::WriteDword(RegistryRoot root, TextView key, TextView name, uint32_t value) {
    dwords[Key(root, key, name)] = value;
    return PlatformStatus::Success();
}

std::optional<Text> FakeRegistry::ReadString(RegistryRoot root, TextView key, TextView name) {
    auto it = strings.find(Key(root, key, name));
    if (it == strings.end()) return std::nullopt;
    return it->second;
}

std::optional<uint32_t> FakeRegistry::ReadDword(RegistryRoot root, TextView key, TextView name) {
    auto it = dwords.find(Key(root, key, name));
    if (it == dwords.end()) return std::nullopt;
    return it->second;
}

// ---- user interface ----

namespace {

class FakePreparationWindow final : public PreparationWindow {
public:
    void SetProgressRange(int) override {}
    void SetProgressPosition(int) override {}
    void ReloadLogo(TextView) override {}
};

}  // namespace

void FakeUserInterface::ShowMessage(TextView caption, TextView text, MessageIcon icon) {
    std::lock_guard guard(lock);
    messages.push_back({Text(caption), Text(text), icon});
}

void FakeUserInterface::ProcessOneMessage() {
    std::unique_lock guard(lock);
    woken_.wait(guard, [this] { return pending_wakes_ > 0; });
    --pending_wakes_;
}

void FakeUserInterface::ProcessOneMessageFor(uint32_t milliseconds) {
    std::unique_lock guard(lock);
    if (woken_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return pending_wakes_ > 0; }))
        --pending_wakes_;
}

void FakeUserInterface::WakeMainThread() {
    {
        std::lock_guard guard(lock);
        ++pending_wakes_;
    }
    woken_.notify_all();
}

std::unique_ptr<PreparationWindow> FakeUserInterface::ShowPreparationWindow(TextView, TextView, TextView, TextView) {
    std::lock_guard guard(lock);
    ++preparation_windows;
    return std::make_unique<FakePreparationWindow>();
}

// ---- libraries ----

namespace {

class FakePluginLibrary final : public PluginLibrary {
public:
    FakePluginLibrary(FakePluginFunction function, bool wide) : function_(std::move(function)), wide_(wide) {}

    bool HasWideEntry() override { return wide_; }
    bool HasNarrowEntry() override { return !wide_; }

    int32_t CallWide(uintptr_t, const char16_t* variables, const char16_t* parameters,
                     const ProgressFunction& progress, uint8_t*, char16_t* buffer) override {
        if (!buffer) {
            result_ = function_(variables, parameters, progress);
            return result_ ? static_cast<int32_t>(result_->size()) : -1;
        }
        if (!result_) return -1;
        std::copy(result_->begin(), result_->end(), buffer);
        buffer[result_->size()] = u'\0';
        return static_cast<int32_t>(result_->size());
    }

    int32_t CallNarrow(uintptr_t, const char* variables, const char* parameters, const ProgressFunction& progress,
                       uint8_t*, char* buffer) override {
        if (!buffer) {
            result_ = function_(FromUtf8(variables), FromUtf8(parameters), progress);
            narrow_ = result_ ? ToUtf8(*result_) : std::string();
            return result_ ? static_cast<int32_t>(narrow_.size()) : -1;
        }
        if (!result_) return -1;
        std::copy(narrow_.begin(), narrow_.end(), buffer);
        buffer[narrow_.size()] = '\0';
        return static_cast<int32_t>(narrow_.size());
    }

    std::string ToSystemCodePage(TextView text) override { return ToUtf8(text); }
    Text FromSystemCodePage(std::string_view text) override { return FromUtf8(text); }

private:
    FakePluginFunction function_;
    bool wide_;
    std::optional<Text> result_;
    std::string narrow_;
};

}  // namespace

std::unique_ptr<PluginLibrary> FakeLibraries::LoadPlugin(TextView full_path) {
    loaded.emplace_back(full_path);
    auto it = plugins_.find(ToLower(full_path));
    if (it == plugins_.end()) return nullptr;
    return std::make_unique<FakePluginLibrary>(it->second.function, it->second.wide);
}

void FakeLibraries::Register(TextView full_path, FakePluginFunction function, bool wide) {
    plugins_[ToLower(full_path)] = {std::move(function), wide};
}

// ---- processes ----

std::optional<uint32_t> FakeProcesses::RunAndWait(TextView program, TextView arguments) {
    runs.push_back(Text(program) + u" " + Text(arguments));
    if (on_run) return on_run(program, arguments);
    return std::nullopt;
}

}  // namespace zev::fake

// ---- archives ----

namespace zev::fake {

namespace {

constexpr uint32_t kCannotOpen = 1001;  // same meaning as the real library's code

}  // namespace

bool FakeArchiveLibrary::Fail(uint32_t code) {
    last_error_ = code;
    return false;
}

bool FakeArchiveLibrary::TakeQueuedFailure(TextView operation) {
    auto& queue = queued_failures[Text(operation)];
    if (queue.empty()) return false;
    const uint32_t code = queue.front();
    queue.erase(queue.begin());
    if (code == 0) return false;
    last_error_ = code;
    return true;
}

const FakeArchiveLibrary::Archive* FakeArchiveLibrary::Open(TextView path, TextView password) {
    auto it = archives_.find(ToLower(path));
    if (it == archives_.end() || !files_.FileExists(path)) return nullptr;
    if (it->second.password != password) return nullptr;
    return &it->second;
}

void FakeArchiveLibrary::AddArchive(TextView path, std::vector<std::pair<Text, std::string>> entries,
                                    TextView password) {
    archives_[ToLower(path)] = {Text(password), std::move(entries)};
    files_.AddFile(path, "7z fake archive");
}

bool FakeArchiveLibrary::Create(TextView archive, int32_t level_code, const std::vector<Text>& files1,
                                const std::vector<Text>&, int32_t mode, TextView switches, TextView password,
                                const Progress&) {
    calls.push_back(u"Create " + Text(archive) + u" level=" + FromInt(level_code) + u" mode=" + FromInt(mode) +
                    u" switches=" + Text(switches));
    created_lists.push_back(files1);
    if (TakeQueuedFailure(u"Create")) return false;
    Archive created{Text(password), {}};
    for (const Text& file : files1) {
        auto bytes = files_.ReadWholeFile(file);
        if (!bytes) return Fail(kCannotOpen);
        const size_t slash = file.find_last_of(u'\\');
        created.entries.emplace_back(slash == Text::npos ? file : file.substr(slash + 1), *bytes);
    }
    archives_[ToLower(archive)] = created;
    files_.AddFile(archive, "7z fake archive");
    return true;
}

bool FakeArchiveLibrary::Extract(TextView archive, TextView output_folder, const std::vector<Text>& entries,
                                 bool keep_paths, TextView password, bool, const Progress& progress) {
    calls.push_back(u"Extract " + Text(archive));
    if (TakeQueuedFailure(u"Extract")) return false;
    const Archive* opened = Open(archive, password);
    if (!opened) return Fail(kCannotOpen);
    uint64_t done = 0;
    for (const auto& [name, bytes] : opened->entries) {
        bool wanted = entries.empty();
        for (const Text& entry : entries) wanted = wanted || EqualsNoCase(entry, name);
        if (!wanted) continue;
        Text target = name;
        if (!keep_paths) {
            const size_t slash = target.find_last_of(u'\\');
            if (slash != Text::npos) target = target.substr(slash + 1);
        }
        files_.AddFile(WithTrailingBackslash(output_folder) + target, bytes);
        done += bytes.size();
        if (progress && !progress(name, done, done)) return Fail(1005);
    }
    return true;
}

bool FakeArchiveLibrary::Test(TextView archive, TextView password, const Progress&) {
    calls.push_back(u"Test " + Text(archive));
    if (TakeQueuedFailure(u"Test")) return false;
    return Open(archive, password) ? true : Fail(kCannotOpen);
}

bool FakeArchiveLibrary::Delete(TextView archive, const std::vector<Text>& entries, TextView password,
                                const Progress&) {
    calls.push_back(u"Delete " + Text(archive));
    if (TakeQueuedFailure(u"Delete")) return false;
    if (!Open(archive, password)) return Fail(kCannotOpen);
    auto& stored = archives_[ToLower(archive)].entries;
    std::erase_if(stored, [&](const auto& entry) {
        for (const Text& name : entries)
            if (EqualsNoCase(name, entry.first)) return true;
        return false;
    });
    return true;
}

bool FakeArchiveLibrary::List(TextView archive, TextView password, std::vector<Text>& names) {
    calls.push_back(u"List " + Text(archive));
    if (TakeQueuedFailure(u"List")) return false;
    const Archive* opened = Open(archive, password);
    if (!opened) return Fail(kCannotOpen);
    names.clear();
    for (const auto& entry : opened->entries) names.push_back(entry.first);
    return true;
}

}  // namespace zev::fake

// ---- paths, temporary files and the environment ----

namespace zev::fake {

namespace {

// The root of a Windows path ("C:" or "\\server\share"), or empty.
size_t RootLength(TextView path) {
    if (path.size() >= 2 && path[1] == u':') return 2;
    if (!path.starts_with(u"\\\\")) return 0;
    size_t end = path.find(u'\\', 2);
    if (end == TextView::npos) return path.size();
    end = path.find(u'\\', end + 1);
    return end == TextView::npos ? path.size() : end;
}

}  // namespace

std::optional<Text> FakeFileSystem::FullPathName(TextView path) {
    if (path.empty()) return std::nullopt;
    Text text(path);
    for (auto& c : text)
        if (c == u'/') c = u'\\';
    size_t root_length = RootLength(text);
    Text root = root_length ? text.substr(0, root_length) : Text(u"C:");
    std::vector<Text> segments;
    for (const Text& segment : Split(TextView(text).substr(root_length), u'\\')) {
        if (segment.empty() || segment == u".") continue;
        if (segment == u"..") {
            if (!segments.empty()) segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    Text full = root;
    for (const Text& segment : segments) full += u"\\" + segment;
    if (segments.empty() || text.ends_with(u"\\")) full += u"\\";
    return full;
}

std::optional<Text> FakeFileSystem::ShortPathName(TextView path) {
    std::lock_guard guard(lock_);
    auto it = short_paths_.find(Key(path));
    if (it == short_paths_.end()) return std::nullopt;
    return it->second;
}

std::optional<Text> FakeFileSystem::DirectoryEntryName(TextView path) {
    std::lock_guard guard(lock_);
    const Text key = Key(path);
    if (!files_.count(key) && !folders_.count(key)) return std::nullopt;
    if (auto it = entry_names_.find(key); it != entry_names_.end()) return it->second;
    Text trimmed(path);
    while (trimmed.size() > 1 && trimmed.back() == u'\\') trimmed.pop_back();
    const size_t slash = trimmed.find_last_of(u"\\/");
    return slash == Text::npos ? trimmed : trimmed.substr(slash + 1);
}

std::optional<Text> FakeFileSystem::CreateTemporaryFile(TextView folder, TextView prefix) {
    std::lock_guard guard(lock_);
    if (temporary_files_fail || !folders_.count(Key(folder))) return std::nullopt;
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (;;) {
        Text number;
        for (uint32_t n = next_temporary_number_++ & 0xFFFF; n != 0 || number.empty(); n >>= 4)
            number.insert(number.begin(), kHex[n & 0xF]);
        const Text path = WithTrailingBackslash(folder) + Text(prefix.substr(0, 3)) + number + u".tmp";
        if (files_.count(Key(path))) continue;
        files_[Key(path)] = std::string();
        return path;
    }
}

void FakeFileSystem::SetShortPath(TextView path, TextView short_form) {
    std::lock_guard guard(lock_);
    short_paths_[Key(path)] = Text(short_form);
}

void FakeFileSystem::SetEntryName(TextView path, TextView name) {
    std::lock_guard guard(lock_);
    entry_names_[Key(path)] = Text(name);
}

Text FakeSystemInfo::ExpandEnvironmentText(TextView text) {
    Text out;
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find(u'%', position);
        const size_t close = open == TextView::npos ? TextView::npos : text.find(u'%', open + 1);
        if (close == TextView::npos) break;
        out.append(text.substr(position, open - position));
        const TextView name = text.substr(open + 1, close - open - 1);
        auto known = std::find_if(environment.begin(), environment.end(),
                                  [&](const auto& entry) { return EqualsNoCase(entry.first, name); });
        if (known != environment.end() && !name.empty()) {
            out.append(known->second);
            position = close + 1;
        } else {
            out.append(text.substr(open, close - open));
            position = close;
        }
    }
    out.append(text.substr(position));
    return out;
}

std::vector<Text> FakeSystemInfo::EnvironmentEntries() {
    std::vector<Text> entries;
    for (const auto& [name, value] : environment) entries.push_back(name + u"=" + value);
    return entries;
}

}  // namespace zev::fake

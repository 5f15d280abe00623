#include "media/seven_zip_api.h"

#include "media/archive_library.h"

namespace zev {

namespace {

// The library's callbacks carry no context: each call publishes its own for the thread
// that makes it.
thread_local const ArchiveLibrary::Progress* current_progress = nullptr;
thread_local bool current_overwrite = true;

struct CallScope {
    CallScope(const ArchiveLibrary::Progress& progress, bool overwrite) {
        current_progress = &progress;
        current_overwrite = overwrite;
    }
    ~CallScope() {
        current_progress = nullptr;
        current_overwrite = true;
    }
};

int32_t ZEV_STDCALL OnProgress(const char16_t* name, uint64_t done, uint64_t total) {
    if (!current_progress || !*current_progress) return 1;
    return (*current_progress)(name ? TextView(name) : TextView(), done, total) ? 1 : 0;
}

int32_t ZEV_STDCALL OnNotice(int32_t, const char16_t*) {
    return 1;
}

int32_t ZEV_STDCALL OnOverwrite(const char16_t*, uint32_t, uint32_t, uint32_t, uint32_t, const char16_t*, uint32_t,
                                uint32_t, uint32_t, uint32_t) {
    return current_overwrite ? ZEV_ARCHIVE_OVERWRITE : ZEV_ARCHIVE_KEEP;
}

// Zero-terminated copies and the pointer array the library takes.
class FileList {
public:
    explicit FileList(const std::vector<Text>& items) : items_(items) {
        for (const Text& item : items_) pointers_.push_back(item.c_str());
    }
    const char16_t* const* Data() const { return pointers_.empty() ? nullptr : pointers_.data(); }
    uint32_t Count() const { return static_cast<uint32_t>(pointers_.size()); }

private:
    std::vector<Text> items_;
    std::vector<const char16_t*> pointers_;
};

}  // namespace

bool TSevenZipLibrary::Finish(int32_t result) {
    last_error_ = result ? 0 : static_cast<uint32_t>(GetLastArchiveError());
    if (!result && last_error_ == 0) last_error_ = ZEV_ARCHIVE_ERROR_INTERNAL;
    return result != 0;
}

bool TSevenZipLibrary::Create(TextView archive, int32_t level_code, const std::vector<Text>& files1,
                              const std::vector<Text>& files2, int32_t mode, TextView switches, TextView password,
                              const Progress& progress) {
    CallScope scope(progress, true);
    const FileList list1(files1);
    const FileList list2(files2);
    return Finish(CreateArchive(Text(archive).c_str(), level_code, list1.Data(), list1.Count(), list2.Data(),
                                list2.Count(), mode, Text(switches).c_str(), Text(password).c_str(), OnProgress,
                                OnNotice, nullptr));
}

bool TSevenZipLibrary::Extract(TextView archive, TextView output_folder, const std::vector<Text>& entries,
                               bool keep_paths, TextView password, bool overwrite, const Progress& progress) {
    CallScope scope(progress, overwrite);
    const FileList list(entries);
    return Finish(ExtractArchive(Text(archive).c_str(), 1, Text(output_folder).c_str(), list.Data(), list.Count(),
                                 keep_paths ? 0 : 1, Text(password).c_str(), nullptr, OnProgress, OnNotice,
                                 OnOverwrite));
}

bool TSevenZipLibrary::Test(TextView archive, TextView password, const Progress& progress) {
    CallScope scope(progress, true);
    return Finish(TestArchive(Text(archive).c_str(), 0, nullptr, nullptr, 0, Text(password).c_str(), nullptr,
                              OnProgress));
}

bool TSevenZipLibrary::Delete(TextView archive, const std::vector<Text>& entries, TextView password,
                              const Progress& progress) {
    CallScope scope(progress, true);
    const FileList list(entries);
    return Finish(DeleteFromArchive(Text(archive).c_str(), 1, list.Data(), list.Count(), 0, 0, nullptr,
                                    Text(password).c_str(), nullptr, OnProgress, OnNotice));
}

bool TSevenZipLibrary::List(TextView archive, TextView password, std::vector<Text>& names) {
    names.clear();
    const ZevArchiveEntry* entries = nullptr;
    uint32_t count = 0;
    ZevArchiveListing listing = OpenListArchive(Text(archive).c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                                Text(password).c_str(), &entries, &count);
    if (!Finish(listing != nullptr)) return false;
    for (uint32_t i = 0; i < count; ++i) names.emplace_back(entries[i].name ? entries[i].name : u"");
    CloseListArchive(listing);
    return true;
}

void TSevenZipLibrary::SetHelperFolder(TextView folder) {
    Set7zipDllDirectory(Text(folder).c_str());
}

}  // namespace zev

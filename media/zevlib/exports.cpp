// The library's exported functions: argument checking, the conversion of file lists,
// and the one place where failures become the calling thread's error code.
#include <mutex>
#include <new>
#include <vector>

#include "media/archive_library.h"
#include "media/zevlib/failure.h"
#include "media/zevlib/operations.h"

namespace {

using namespace zev::archive;

thread_local int32_t lastError = ZEV_ARCHIVE_OK;

std::mutex directoryLock;
zev::Text dllDirectory;

zev::Text TextOf(const char16_t* text) {
    return text ? zev::Text(text) : zev::Text();
}

std::vector<zev::Text> ListOf(const char16_t* const* list, uint32_t count) {
    std::vector<zev::Text> result;
    if (!list) return result;
    result.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        if (list[i]) result.emplace_back(list[i]);
    return result;
}

// Runs an operation; returns 1 on success, 0 with the thread's error code set otherwise.
template <typename Operation>
int32_t Run(Operation&& operation) {
    lastError = ZEV_ARCHIVE_OK;
    try {
        operation();
        return 1;
    } catch (...) {
        lastError = CodeFromException();
        return 0;
    }
}

}  // namespace

extern "C" {

int32_t ZEV_STDCALL Set7zipDllDirectory(const char16_t* folder) {
    std::lock_guard<std::mutex> guard(directoryLock);
    dllDirectory = TextOf(folder);
    lastError = ZEV_ARCHIVE_OK;
    return 1;
}

int32_t ZEV_STDCALL CreateArchive(const char16_t* archive, int32_t level, const char16_t* const* files,
                                  uint32_t fileCount, const char16_t* const* excluded, uint32_t excludedCount,
                                  int32_t mode, const char16_t* switches, const char16_t* password,
                                  ZevArchiveProgress progress, ZevArchiveNoticeCallback notice, void* /*reserved*/) {
    return Run([&] {
        CreateRequest request;
        request.archive = TextOf(archive);
        request.level = level;
        request.files = ListOf(files, fileCount);
        request.excluded = ListOf(excluded, excludedCount);
        request.mode = mode;
        request.switches = TextOf(switches);
        request.password = TextOf(password);
        request.progress = progress;
        request.notice = notice;
        Create(request);
    });
}

int32_t ZEV_STDCALL ExtractArchive(const char16_t* archive, int32_t operation, const char16_t* outputFolder,
                                   const char16_t* const* entries, uint32_t entryCount, int32_t pathMode,
                                   const char16_t* password, ZevArchivePassword passwordCallback,
                                   ZevArchiveProgress progress, ZevArchiveNoticeCallback notice,
                                   ZevArchiveOverwrite overwrite) {
    return Run([&] {
        ExtractRequest request;
        request.archive = TextOf(archive);
        request.testOnly = operation == 0;
        request.outputFolder = TextOf(outputFolder);
        request.entries = ListOf(entries, entryCount);
        request.flat = pathMode == 1;
        request.password = TextOf(password);
        request.passwordCallback = passwordCallback;
        request.progress = progress;
        request.notice = notice;
        request.overwrite = overwrite;
        Extract(request);
    });
}

int32_t ZEV_STDCALL TestArchive(const char16_t* archive, int32_t /*operation*/, const char16_t* /*outputFolder*/,
                                const char16_t* const* entries, uint32_t entryCount, const char16_t* password,
                                ZevArchivePassword passwordCallback, ZevArchiveProgress progress) {
    return Run([&] {
        ExtractRequest request;
        request.archive = TextOf(archive);
        request.testOnly = true;
        request.entries = ListOf(entries, entryCount);
        request.password = TextOf(password);
        request.passwordCallback = passwordCallback;
        request.progress = progress;
        Extract(request);
    });
}

int32_t ZEV_STDCALL DeleteFromArchive(const char16_t* archive, int32_t /*operation*/, const char16_t* const* entries,
                                      uint32_t entryCount, int32_t /*reserved1*/, int32_t /*reserved2*/,
                                      const void* /*reserved3*/, const char16_t* password,
                                      ZevArchivePassword passwordCallback, ZevArchiveProgress progress,
                                      ZevArchiveNoticeCallback notice) {
    return Run([&] {
        DeleteRequest request;
        request.archive = TextOf(archive);
        request.entries = ListOf(entries, entryCount);
        request.password = TextOf(password);
        request.passwordCallback = passwordCallback;
        request.progress = progress;
        request.notice = notice;
        Delete(request);
    });
}

ZevArchiveListing ZEV_STDCALL OpenListArchive(const char16_t* archive, int32_t /*flags*/,
                                              ZevArchivePassword passwordCallback, const void* /*reserved1*/,
                                              const void* /*reserved2*/, const void* /*reserved3*/,
                                              const char16_t* password, const ZevArchiveEntry** entries,
                                              uint32_t* count) {
    Listing* listing = nullptr;
    if (entries) *entries = nullptr;
    if (count) *count = 0;
    const int32_t ok = Run([&] {
        if (!entries || !count) Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
        listing = List(TextOf(archive), TextOf(password), passwordCallback);
    });
    if (!ok) return nullptr;
    *entries = listing->entries.data();
    *count = static_cast<uint32_t>(listing->entries.size());
    return reinterpret_cast<ZevArchiveListing>(listing);
}

int32_t ZEV_STDCALL CloseListArchive(ZevArchiveListing listing) {
    if (!listing) {
        lastError = ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT;
        return 0;
    }
    delete reinterpret_cast<Listing*>(listing);
    lastError = ZEV_ARCHIVE_OK;
    return 1;
}

int32_t ZEV_STDCALL GetLastArchiveError(void) {
    return lastError;
}

}  // extern "C"

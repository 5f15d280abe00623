// Extraction and testing. Every selected entry's path is checked before anything is
// written; files are written under a temporary name and renamed into place once their
// data checked good; folders are created after all files succeeded.
#include <algorithm>
#include <new>
#include <optional>

#include "media/zevlib/entry_path.h"
#include "media/zevlib/failure.h"
#include "media/zevlib/opened_archive.h"
#include "media/zevlib/operations.h"

namespace zev::archive {

namespace {

constexpr wchar_t kPartialSuffix[] = L".zevpart";

struct Target {
    const ArchiveItem* item = nullptr;
    fs::path path;  // the file or folder to create
};

class ExtractCallback final : public IArchiveExtractCallback, public ICryptoGetTextPassword, public CMyUnknownImp {
    Z7_COM_UNKNOWN_IMP_2(IArchiveExtractCallback, ICryptoGetTextPassword)
    Z7_IFACE_COM7_IMP(IProgress)
    Z7_IFACE_COM7_IMP(IArchiveExtractCallback)
    Z7_IFACE_COM7_IMP(ICryptoGetTextPassword)

public:
    ExtractCallback(const ExtractRequest& request, PasswordSource& passwords,
                    const std::vector<std::optional<Target>>& targets, std::vector<bool>& done)
        : request_(request), password_(passwords), targets_(targets), done_(done) {}
    ~ExtractCallback() { DiscardPartial(); }

    int32_t failure = ZEV_ARCHIVE_OK;

private:
    HRESULT Stop(int32_t code) {
        if (failure == ZEV_ARCHIVE_OK) failure = code;
        return E_ABORT;
    }
    bool ReportProgress() {
        if (!request_.progress) return true;
        return request_.progress(name_.c_str(), completed_, total_) != 0;
    }
    void DiscardPartial() {
        if (!stream_) return;
        file_->Close();
        stream_.Release();
        file_ = nullptr;
        RemoveQuietly(partial_);
    }
    HRESULT OpenOutput(const Target& target);
    HRESULT FinishFile(const Target& target);

    const ExtractRequest& request_;
    PasswordAnswer password_;
    const std::vector<std::optional<Target>>& targets_;
    std::vector<bool>& done_;
    uint64_t total_ = 0;
    uint64_t completed_ = 0;
    Text name_;
    const Target* current_ = nullptr;
    bool kept_ = false;
    CMyComPtr<ISequentialOutStream> stream_;
    OutFileStream* file_ = nullptr;
    fs::path partial_;
    fs::path madeParent_;  // the folder last made (or found) for an output file
};

Z7_COM7F_IMF(ExtractCallback::SetTotal(UInt64 total)) {
    total_ = total;
    return S_OK;
}

Z7_COM7F_IMF(ExtractCallback::SetCompleted(const UInt64* completeValue)) {
    if (completeValue) completed_ = *completeValue;
    return ReportProgress() ? S_OK : Stop(ZEV_ARCHIVE_ERROR_ABORTED);
}

Z7_COM7F_IMF(ExtractCallback::CryptoGetTextPassword(BSTR* password)) {
    const HRESULT result = password_.Answer(password);
    if (password_.unavailable) return Stop(ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
    return result;
}

HRESULT ExtractCallback::OpenOutput(const Target& target) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(target.path, error);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return Stop(ZEV_ARCHIVE_ERROR_WRITE);
        if (request_.overwrite) {
            const uint64_t existingSize = fs::file_size(target.path, error);
            const auto existingTime = fs::last_write_time(target.path, error);
            const uint64_t existingFileTime = error ? 0 : ToFileTime(existingTime);
            const Text existingPath = FromPath(target.path);
            const ArchiveItem& item = *target.item;
            const int32_t answer = request_.overwrite(
                existingPath.c_str(), static_cast<uint32_t>(existingSize), static_cast<uint32_t>(existingSize >> 32),
                static_cast<uint32_t>(existingFileTime), static_cast<uint32_t>(existingFileTime >> 32),
                item.normalName.c_str(), static_cast<uint32_t>(item.size), static_cast<uint32_t>(item.size >> 32),
                static_cast<uint32_t>(item.modified), static_cast<uint32_t>(item.modified >> 32));
            if (answer == 0) return Stop(ZEV_ARCHIVE_ERROR_ABORTED);
            if (answer != ZEV_ARCHIVE_OVERWRITE) {
                kept_ = true;
                return S_OK;
            }
        }
    }
    // Entries come grouped by folder: a folder made for the previous file needs no
    // second look.
    fs::path parent = target.path.parent_path();
    if (parent != madeParent_) {
        fs::create_directories(parent, error);
        if (error) return Stop(ZEV_ARCHIVE_ERROR_WRITE);
        madeParent_ = std::move(parent);
    }
    partial_ = target.path;
    partial_ += kPartialSuffix;
    file_ = new OutFileStream;
    stream_ = file_;
    if (!file_->Create(partial_)) {
        stream_.Release();
        file_ = nullptr;
        return Stop(ZEV_ARCHIVE_ERROR_WRITE);
    }
    return S_OK;
}

Z7_COM7F_IMF(ExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode)) {
    *outStream = nullptr;
    current_ = nullptr;
    kept_ = false;
    using namespace NArchive::NExtract::NAskMode;
    if (askExtractMode != kExtract && askExtractMode != kTest) return S_OK;
    if (index >= targets_.size() || !targets_[index]) return S_OK;
    try {
        const Target& target = *targets_[index];
        current_ = &target;
        name_ = target.item->normalName;
        if (!ReportProgress()) return Stop(ZEV_ARCHIVE_ERROR_ABORTED);
        if (askExtractMode == kTest || target.item->isFolder) return S_OK;
        const HRESULT result = OpenOutput(target);
        if (result != S_OK || !stream_) return result;
        CMyComPtr<ISequentialOutStream> handed = stream_;
        *outStream = handed.Detach();
        return S_OK;
    } catch (...) {
        return Stop(CodeFromException());
    }
}

Z7_COM7F_IMF(ExtractCallback::PrepareOperation(Int32)) {
    return S_OK;
}

HRESULT ExtractCallback::FinishFile(const Target& target) {
    const bool closed = file_->Close();
    const bool writeFailed = file_->writeFailed;
    stream_.Release();
    file_ = nullptr;
    if (!closed || writeFailed || !ReplaceFile(partial_, target.path)) {
        RemoveQuietly(partial_);
        return Stop(ZEV_ARCHIVE_ERROR_WRITE);
    }
    const ArchiveItem& item = *target.item;
    std::error_code ignored;
    if (item.modified != 0) fs::last_write_time(target.path, FromFileTime(item.modified), ignored);
    if (item.attributes & 0x01)  // read-only
        fs::permissions(target.path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ignored);
    return S_OK;
}

Z7_COM7F_IMF(ExtractCallback::SetOperationResult(Int32 operationResult)) {
    if (!current_) return S_OK;
    const Target& target = *current_;
    current_ = nullptr;
    try {
        if (operationResult != NArchive::NExtract::NOperationResult::kOK) {
            DiscardPartial();
            return Stop(CodeFromOperationResult(operationResult, target.item->encrypted));
        }
        if (stream_) {
            const HRESULT result = FinishFile(target);
            if (result != S_OK) return result;
        }
        done_[target.item->index] = true;
        if (request_.notice) {
            const int32_t notice = kept_ ? ZEV_ARCHIVE_NOTICE_KEPT : ZEV_ARCHIVE_NOTICE_EXTRACTED;
            if (request_.notice(notice, target.item->normalName.c_str()) == 0) return Stop(ZEV_ARCHIVE_ERROR_ABORTED);
        }
        return S_OK;
    } catch (...) {
        DiscardPartial();
        return Stop(CodeFromException());
    }
}

// Before anything is written, decodes one selected encrypted item (the smallest that
// starts a block, so nothing else has to be decoded with it) until a password proves
// right; so a wrong password writes nothing, not even the unencrypted items.
void ProvePassword(OpenedArchive& archive, const ExtractRequest& request, PasswordSource& passwords,
                   const std::vector<std::optional<Target>>& targets) {
    const ArchiveItem* probe = nullptr;
    for (const auto& target : targets) {
        if (!target) continue;
        const ArchiveItem& item = *target->item;
        if (item.encrypted && !item.isFolder && item.packedSize != 0 && (!probe || item.size < probe->size))
            probe = &item;
    }
    if (!probe) return;
    ExtractRequest test = request;
    test.testOnly = true;
    test.progress = nullptr;
    test.notice = nullptr;
    std::vector<bool> done(archive.items.size(), false);
    while (true) {
        auto* callbackObject = new ExtractCallback(test, passwords, targets, done);
        CMyComPtr<IArchiveExtractCallback> callback = callbackObject;
        const UInt32 index = probe->index;
        const HRESULT result = archive.handler->Extract(&index, 1, 1, callback);
        const int32_t failure = callbackObject->failure;
        if (result == S_OK && failure == ZEV_ARCHIVE_OK) return;
        const int32_t code = failure != ZEV_ARCHIVE_OK ? failure : CodeFromHresult(result, ZEV_ARCHIVE_ERROR_INTERNAL);
        if (code == ZEV_ARCHIVE_ERROR_WRONG_PASSWORD && passwords.HasCurrent() && passwords.Next()) continue;
        Fail(code);
    }
}

}  // namespace

void Extract(const ExtractRequest& request) {
    if (request.archive.empty() || (!request.testOnly && request.outputFolder.empty()))
        Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
    PasswordSource passwords(request.password, request.passwordCallback);
    OpenedArchive archive = OpenArchive(ToPath(request.archive), passwords);

    // Select, and check every selected path before anything is written.
    const fs::path output = request.testOnly ? fs::path() : ToPath(request.outputFolder);
    EntrySelector selector(request.entries);
    std::vector<std::optional<Target>> targets(archive.items.size());
    std::vector<UInt32> pending;
    for (const ArchiveItem& item : archive.items) {
        if (!selector.Selects(item.normalName)) continue;
        const auto parts = SafeParts(item.path);
        if (!parts) Fail(ZEV_ARCHIVE_ERROR_UNSAFE_PATH);
        if (request.flat && item.isFolder) continue;
        Target target;
        target.item = &item;
        if (!request.testOnly) {
            target.path = output;
            if (request.flat) {
                target.path /= ToPath(parts->back());
            } else {
                for (const Text& part : *parts) target.path /= ToPath(part);
            }
        }
        targets[item.index] = std::move(target);
        pending.push_back(item.index);
    }
    if (selector.UnusedName() >= 0) Fail(ZEV_ARCHIVE_ERROR_NOT_FOUND);

    std::vector<bool> done(archive.items.size(), false);
    if (!request.testOnly) ProvePassword(archive, request, passwords, targets);
    while (!pending.empty()) {
        auto* callbackObject = new ExtractCallback(request, passwords, targets, done);
        CMyComPtr<IArchiveExtractCallback> callback = callbackObject;
        const HRESULT result = archive.handler->Extract(pending.data(), static_cast<UInt32>(pending.size()),
                                                        request.testOnly ? 1 : 0, callback);
        const int32_t failure = callbackObject->failure;
        callback.Release();  // removes a partial file left by an abort
        if (result == S_OK && failure == ZEV_ARCHIVE_OK) break;
        const int32_t code = failure != ZEV_ARCHIVE_OK ? failure : CodeFromHresult(result, ZEV_ARCHIVE_ERROR_INTERNAL);
        if (code == ZEV_ARCHIVE_ERROR_WRONG_PASSWORD && passwords.HasCurrent() && passwords.Next()) {
            // Another password to try: go on with what is not done yet.
            std::erase_if(pending, [&](UInt32 index) { return done[index]; });
            continue;
        }
        Fail(code);
    }
    if (request.testOnly) return;

    // Folders last, so that creating the files inside does not change their times.
    std::error_code error;
    fs::create_directories(output, error);
    if (error) Fail(ZEV_ARCHIVE_ERROR_WRITE);
    for (const auto& target : targets) {
        if (!target || !target->item->isFolder) continue;
        fs::create_directories(target->path, error);
        if (error) Fail(ZEV_ARCHIVE_ERROR_WRITE);
    }
    for (const auto& target : targets) {
        if (target && target->item->isFolder && target->item->modified != 0)
            fs::last_write_time(target->path, FromFileTime(target->item->modified), error);
    }
}

}  // namespace zev::archive

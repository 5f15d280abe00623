// An archive opened for reading, its item list, and the passwords offered to it.
#pragma once

#include <cstdint>
#include <vector>

#include "media/archive_library.h"
#include "media/zevlib/file_system.h"
#include "media/zevlib/seven_zip.h"

namespace zev::archive {

// The passwords to try, in order: the caller's password argument (when not empty), then
// each one the password callback supplies, until it returns 0 or
// ZEV_ARCHIVE_PASSWORD_ATTEMPTS callback answers have been used.
class PasswordSource {
public:
    PasswordSource(TextView password, ZevArchivePassword callback);
    // The password to use now; false when there is none.
    bool Current(Text& password);
    // Gives up the current password as wrong; false when no other is left.
    bool Next();
    bool HasCurrent() const { return hasCurrent_; }

private:
    Text argument_;
    ZevArchivePassword callback_;
    Text current_;
    bool hasCurrent_ = false;
    bool argumentUsed_ = false;
    bool exhausted_ = false;
    uint32_t callbackAnswers_ = 0;
};

// Hands the current password to 7-Zip and remembers that one was asked for.
class PasswordAnswer {
public:
    explicit PasswordAnswer(PasswordSource& source) : source_(source) {}
    HRESULT Answer(BSTR* password);
    bool asked = false;
    bool unavailable = false;

private:
    PasswordSource& source_;
};

struct ArchiveItem {
    uint32_t index = 0;
    Text path;        // as stored
    Text normalName;  // NormalName(path)
    bool isFolder = false;
    bool encrypted = false;
    bool hasCrc = false;
    uint64_t size = 0;
    uint64_t packedSize = 0;
    uint64_t modified = 0;  // Windows file time, 0 when unknown
    uint32_t attributes = 0;
    uint32_t crc = 0;
};

struct OpenedArchive {
    CMyComPtr<IInArchive> handler;
    std::vector<ArchiveItem> items;
};

// Opens a 7z archive, trying the source's passwords when its headers are encrypted, and
// reads its item list. Throws ArchiveFailure: CANNOT_OPEN (missing, not 7z, damaged),
// WRONG_PASSWORD, RESOURCES, ABORTED.
OpenedArchive OpenArchive(const fs::path& path, PasswordSource& passwords);

// Maps a failed item's 7-Zip operation result to a library error code.
int32_t CodeFromOperationResult(int32_t operationResult, bool encrypted);

}  // namespace zev::archive

// The library's operations, called by the exported functions. Each throws
// ArchiveFailure on failure.
#pragma once

#include <vector>

#include "media/archive_library.h"
#include "script/text.h"

namespace zev::archive {

struct ExtractRequest {
    Text archive;
    Text outputFolder;
    std::vector<Text> entries;
    bool testOnly = false;
    bool flat = false;
    Text password;
    ZevArchivePassword passwordCallback = nullptr;
    ZevArchiveProgress progress = nullptr;
    ZevArchiveNoticeCallback notice = nullptr;
    ZevArchiveOverwrite overwrite = nullptr;
};
void Extract(const ExtractRequest& request);

struct CreateRequest {
    Text archive;
    int32_t level = ZEV_ARCHIVE_LEVEL_NORMAL;
    std::vector<Text> files;
    std::vector<Text> excluded;
    int32_t mode = ZEV_ARCHIVE_MODE_ADD;
    Text switches;
    Text password;
    ZevArchiveProgress progress = nullptr;
    ZevArchiveNoticeCallback notice = nullptr;
};
void Create(const CreateRequest& request);

struct DeleteRequest {
    Text archive;
    std::vector<Text> entries;
    Text password;
    ZevArchivePassword passwordCallback = nullptr;
    ZevArchiveProgress progress = nullptr;
    ZevArchiveNoticeCallback notice = nullptr;
};
void Delete(const DeleteRequest& request);

// A listing as handed out by OpenListArchive.
struct Listing {
    std::vector<Text> names;
    std::vector<ZevArchiveEntry> entries;
};
Listing* List(TextView archive, TextView password, ZevArchivePassword passwordCallback);

}  // namespace zev::archive

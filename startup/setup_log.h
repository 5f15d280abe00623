// The setup log named by "/l=" (and later by LOGGED): one UTF-16LE line per entry,
// ended by CR LF, no byte-order mark. The file is truncated by the first line written
// to it in a run and appended to afterwards.
#pragma once

#include <mutex>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

class SetupLog {
public:
    explicit SetupLog(FileSystem& files) : files_(files) {}

    // An empty path turns logging off. A new path is truncated by its first line.
    void SetPath(TextView path);
    const Text& Path() const { return path_; }
    void Write(TextView line);

private:
    FileSystem& files_;
    std::mutex lock_;
    Text path_;
    bool truncated_ = false;
};

// Encodes a line as the log stores it.
std::string EncodeLogLine(TextView line);

}  // namespace zev

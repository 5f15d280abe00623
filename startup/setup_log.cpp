#include "startup/setup_log.h"

namespace zev {

std::string EncodeLogLine(TextView line) {
    std::string bytes;
    bytes.reserve((line.size() + 2) * 2);
    auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    };
    for (char16_t unit : line) put(unit);
    put(u'\r');
    put(u'\n');
    return bytes;
}

void SetupLog::SetPath(TextView path) {
    std::lock_guard<std::mutex> guard(lock_);
    if (path == path_) return;
    path_ = Text(path);
    truncated_ = false;
}

void SetupLog::Write(TextView line) {
    std::lock_guard<std::mutex> guard(lock_);
    if (path_.empty()) return;
    const std::string bytes = EncodeLogLine(line);
    // Logging never stops the run: a log that cannot be written is skipped.
    if (!truncated_) {
        truncated_ = true;
        files_.WriteWholeFile(path_, bytes);
    } else {
        files_.AppendToFile(path_, bytes);
    }
}

}  // namespace zev

// Files as 7-Zip streams, and the conversion between library paths (UTF-16, "\" or "/")
// and native paths.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "media/zevlib/seven_zip.h"
#include "script/text.h"

namespace zev::archive {

namespace fs = std::filesystem;

// Natively "\" is a separator too and is mapped to "/".
fs::path ToPath(TextView text);
Text FromPath(const fs::path& path);

// Windows file time (100 ns since 1601-01-01 UTC) <-> the file system's clock.
uint64_t ToFileTime(fs::file_time_type time);
fs::file_time_type FromFileTime(uint64_t fileTime);

void RemoveQuietly(const fs::path& path);

// Moves a finished file over its target; a read-only file in the way is replaced too.
bool ReplaceFile(const fs::path& from, const fs::path& to);

// A FILE* that closes itself.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool OpenRead(const fs::path& path);
    bool Create(const fs::path& path);  // truncates an existing file
    bool IsOpen() const { return handle_ != nullptr; }
    // Flushes and closes; false when buffered data could not be written.
    bool Close();

    size_t Read(void* data, size_t size);
    bool Failed() const;
    bool Write(const void* data, size_t size);
    bool Seek(int64_t offset, int origin);
    int64_t Tell();

private:
    std::FILE* handle_ = nullptr;
};

// Seekable read stream over a file (archives, files to add).
class InFileStream final : public IInStream, public IStreamGetSize, public CMyUnknownImp {
    Z7_COM_UNKNOWN_IMP_3(IInStream, ISequentialInStream, IStreamGetSize)
    Z7_IFACE_COM7_IMP(ISequentialInStream)
    Z7_IFACE_COM7_IMP(IInStream)
    Z7_IFACE_COM7_IMP(IStreamGetSize)

public:
    bool Open(const fs::path& path);
    bool readFailed = false;

private:
    File file_;
};

// Seekable write stream over a new file (archives being written, extracted files).
class OutFileStream final : public IOutStream, public CMyUnknownImp {
    Z7_COM_UNKNOWN_IMP_2(IOutStream, ISequentialOutStream)
    Z7_IFACE_COM7_IMP(ISequentialOutStream)
    Z7_IFACE_COM7_IMP(IOutStream)

public:
    bool Create(const fs::path& path);
    bool Close() { return file_.Close(); }
    bool writeFailed = false;

private:
    File file_;
    fs::path path_;
};

}  // namespace zev::archive

#include "media/zevlib/file_system.h"

#include <chrono>
#include <string>

namespace zev::archive {

fs::path ToPath(TextView text) {
#ifdef _WIN32
    return fs::path(std::wstring(text.begin(), text.end()));
#else
    Text slashed(text);
    for (char16_t& c : slashed)
        if (c == u'\\') c = u'/';
    return fs::path(ToUtf8(slashed));
#endif
}

Text FromPath(const fs::path& path) {
#ifdef _WIN32
    const std::wstring wide = path.wstring();
    return Text(wide.begin(), wide.end());
#else
    return FromUtf8(path.string());
#endif
}

namespace {
// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kFileTimeUnixEpoch = 11644473600LL;

// The stream seek of both file streams.
HRESULT SeekFile(File& file, Int64 offset, UInt32 seekOrigin, UInt64* newPosition) {
    int origin = SEEK_SET;
    if (seekOrigin == STREAM_SEEK_CUR)
        origin = SEEK_CUR;
    else if (seekOrigin == STREAM_SEEK_END)
        origin = SEEK_END;
    else if (seekOrigin != STREAM_SEEK_SET)
        return STG_E_INVALIDFUNCTION;
    if (!file.Seek(offset, origin)) return E_FAIL;
    if (newPosition) *newPosition = static_cast<UInt64>(file.Tell());
    return S_OK;
}

}  // namespace

uint64_t ToFileTime(fs::file_time_type time) {
    using namespace std::chrono;
    const auto system = file_clock::to_sys(time);
    const int64_t ticks = duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(system.time_since_epoch()).count();
    const int64_t fileTime = ticks + kFileTimeUnixEpoch * 10000000LL;
    return fileTime > 0 ? static_cast<uint64_t>(fileTime) : 0;
}

fs::file_time_type FromFileTime(uint64_t fileTime) {
    using namespace std::chrono;
    const int64_t ticks = static_cast<int64_t>(fileTime) - kFileTimeUnixEpoch * 10000000LL;
    const sys_time<duration<int64_t, std::ratio<1, 10000000>>> system{
        duration<int64_t, std::ratio<1, 10000000>>(ticks)};
    return file_clock::from_sys(time_point_cast<system_clock::duration>(system));
}

void RemoveQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

bool ReplaceFile(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (!error) return true;
    std::error_code ignored;
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove(to, ignored);
    fs::rename(from, to, error);
    return !error;
}

File::~File() {
    Close();
}

bool File::OpenRead(const fs::path& path) {
    Close();
#ifdef _WIN32
    handle_ = _wfopen(path.c_str(), L"rb");
#else
    handle_ = std::fopen(path.c_str(), "rb");
#endif
    return handle_ != nullptr;
}

bool File::Create(const fs::path& path) {
    Close();
#ifdef _WIN32
    handle_ = _wfopen(path.c_str(), L"w+b");
#else
    handle_ = std::fopen(path.c_str(), "w+b");
#endif
    if (handle_) std::setvbuf(handle_, nullptr, _IOFBF, 1 << 16);
    return handle_ != nullptr;
}

bool File::Close() {
    if (!handle_) return true;
    const bool ok = std::fclose(handle_) == 0;
    handle_ = nullptr;
    return ok;
}

size_t File::Read(void* data, size_t size) {
    return std::fread(data, 1, size, handle_);
}

bool File::Failed() const {
    return std::ferror(handle_) != 0;
}

bool File::Write(const void* data, size_t size) {
    return std::fwrite(data, 1, size, handle_) == size;
}

bool File::Seek(int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(handle_, offset, origin) == 0;
#else
    return fseeko(handle_, static_cast<off_t>(offset), origin) == 0;
#endif
}

int64_t File::Tell() {
#ifdef _WIN32
    return _ftelli64(handle_);
#else
    return static_cast<int64_t>(ftello(handle_));
#endif
}

bool InFileStream::Open(const fs::path& path) {
    return file_.OpenRead(path);
}

Z7_COM7F_IMF(InFileStream::Read(void* data, UInt32 size, UInt32* processedSize)) {
    if (processedSize) *processedSize = 0;
    if (size == 0) return S_OK;
    const size_t done = file_.Read(data, size);
    if (processedSize) *processedSize = static_cast<UInt32>(done);
    // A short read at the end of the file is normal; a short read with the error flag set
    // is not.
    if (done < size && file_.Failed()) {
        readFailed = true;
        return E_FAIL;
    }
    return S_OK;
}

Z7_COM7F_IMF(InFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
    return SeekFile(file_, offset, seekOrigin, newPosition);
}

Z7_COM7F_IMF(InFileStream::GetSize(UInt64* size)) {
    const int64_t position = file_.Tell();
    if (position < 0 || !file_.Seek(0, SEEK_END)) return E_FAIL;
    *size = static_cast<UInt64>(file_.Tell());
    file_.Seek(position, SEEK_SET);
    return S_OK;
}

bool OutFileStream::Create(const fs::path& path) {
    path_ = path;
    return file_.Create(path);
}

Z7_COM7F_IMF(OutFileStream::Write(const void* data, UInt32 size, UInt32* processedSize)) {
    if (processedSize) *processedSize = 0;
    if (size == 0) return S_OK;
    if (!file_.Write(data, size)) {
        writeFailed = true;
        return E_FAIL;
    }
    if (processedSize) *processedSize = size;
    return S_OK;
}

Z7_COM7F_IMF(OutFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
    return SeekFile(file_, offset, seekOrigin, newPosition);
}

Z7_COM7F_IMF(OutFileStream::SetSize(UInt64 newSize)) {
    const int64_t position = file_.Tell();
    if (position < 0 || !file_.Seek(0, SEEK_END)) return E_FAIL;
    const auto size = static_cast<UInt64>(file_.Tell());
    if (newSize > size) {
        // Grow by writing zeros at the end.
        static const char zeros[4096] = {};
        UInt64 left = newSize - size;
        while (left) {
            const size_t chunk = left < sizeof zeros ? static_cast<size_t>(left) : sizeof zeros;
            if (!file_.Write(zeros, chunk)) {
                writeFailed = true;
                return E_FAIL;
            }
            left -= chunk;
        }
    } else if (newSize < size) {
        // Shrinking: flush what is buffered, then cut the file.
        if (!file_.Seek(0, SEEK_CUR)) return E_FAIL;
        std::error_code error;
        fs::resize_file(path_, newSize, error);
        if (error) {
            writeFailed = true;
            return E_FAIL;
        }
    }
    file_.Seek(position, SEEK_SET);
    return S_OK;
}

}  // namespace zev::archive

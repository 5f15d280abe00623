#include "media/zevlib/failure.h"

#include <new>

#include "media/archive_library.h"
#include "media/zevlib/seven_zip.h"

namespace zev::archive {

void Fail(int32_t code) {
    throw ArchiveFailure{code};
}

int32_t CodeFromHresult(int32_t hresult, int32_t fallback) {
    switch (static_cast<HRESULT>(hresult)) {
        case S_OK: return ZEV_ARCHIVE_OK;
        case E_ABORT: return ZEV_ARCHIVE_ERROR_ABORTED;
        case E_OUTOFMEMORY: return ZEV_ARCHIVE_ERROR_RESOURCES;
        case E_NOTIMPL: return ZEV_ARCHIVE_ERROR_UNSUPPORTED;
        case E_INVALIDARG: return ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT;
        case S_FALSE: return ZEV_ARCHIVE_ERROR_DATA;
        default: break;
    }
    // Thread and event creation report system errors; too few of those is a resource
    // shortage, like memory.
    const uint32_t code = static_cast<uint32_t>(hresult);
#ifdef _WIN32
    if (code == 0x80070008u /* not enough memory */ || code == 0x800705AAu /* no resources */ ||
        code == 0x800705ADu /* quota */)
        return ZEV_ARCHIVE_ERROR_RESOURCES;
#else
    if (code == 0x8007000Cu /* ENOMEM */ || code == 0x8007000Bu /* EAGAIN */) return ZEV_ARCHIVE_ERROR_RESOURCES;
#endif
    return fallback;
}

int32_t CodeFromException() {
    try {
        throw;
    } catch (const ArchiveFailure& failure) {
        return failure.code;
    } catch (const std::bad_alloc&) {
        return ZEV_ARCHIVE_ERROR_RESOURCES;
    } catch (...) {
        return ZEV_ARCHIVE_ERROR_INTERNAL;
    }
}

void Check(int32_t hresult, int32_t fallback) {
    if (hresult != S_OK) Fail(CodeFromHresult(hresult, fallback));
}

}  // namespace zev::archive

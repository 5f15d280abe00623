#include "media/zevlib/opened_archive.h"

#include "7zip/Archive/7z/7zHandler.h"
#include "media/zevlib/entry_path.h"
#include "media/zevlib/failure.h"
#include "media/zevlib/wide_text.h"

namespace zev::archive {

PasswordSource::PasswordSource(TextView password, ZevArchivePassword callback)
    : argument_(password), callback_(callback) {}

bool PasswordSource::Current(Text& password) {
    if (!hasCurrent_ && !Next()) return false;
    password = current_;
    return true;
}

bool PasswordSource::Next() {
    hasCurrent_ = false;
    if (exhausted_) return false;
    if (!argumentUsed_) {
        argumentUsed_ = true;
        if (!argument_.empty()) {
            current_ = argument_;
            hasCurrent_ = true;
            return true;
        }
    }
    if (!callback_ || callbackAnswers_ >= ZEV_ARCHIVE_PASSWORD_ATTEMPTS) {
        exhausted_ = true;
        return false;
    }
    ++callbackAnswers_;
    std::vector<char16_t> buffer(ZEV_ARCHIVE_PASSWORD_CAPACITY, u'\0');
    if (callback_(buffer.data(), ZEV_ARCHIVE_PASSWORD_CAPACITY) == 0) {
        exhausted_ = true;
        return false;
    }
    buffer.back() = u'\0';
    current_ = Text(buffer.data());
    hasCurrent_ = true;
    return true;
}

HRESULT PasswordAnswer::Answer(BSTR* password) {
    asked = true;
    Text text;
    if (!source_.Current(text)) {
        unavailable = true;
        return E_ABORT;
    }
    return StringToBstr(ToWide(text), password);
}

namespace {

class OpenCallback final : public IArchiveOpenCallback, public ICryptoGetTextPassword, public CMyUnknownImp {
    Z7_COM_UNKNOWN_IMP_2(IArchiveOpenCallback, ICryptoGetTextPassword)
    Z7_IFACE_COM7_IMP(IArchiveOpenCallback)
    Z7_IFACE_COM7_IMP(ICryptoGetTextPassword)

public:
    explicit OpenCallback(PasswordSource& source) : answer(source) {}
    PasswordAnswer answer;
};

Z7_COM7F_IMF(OpenCallback::SetTotal(const UInt64*, const UInt64*)) {
    return S_OK;
}
Z7_COM7F_IMF(OpenCallback::SetCompleted(const UInt64*, const UInt64*)) {
    return S_OK;
}
Z7_COM7F_IMF(OpenCallback::CryptoGetTextPassword(BSTR* password)) {
    return answer.Answer(password);
}

struct Property {
    NWindows::NCOM::CPropVariant value;
    Property(IInArchive* handler, uint32_t index, PROPID id) {
        Check(handler->GetProperty(index, id, &value), ZEV_ARCHIVE_ERROR_INTERNAL);
    }
    bool Bool() const { return value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE; }
    uint64_t Number() const {
        switch (value.vt) {
            case VT_UI1: return value.bVal;
            case VT_UI2: return value.uiVal;
            case VT_UI4: return value.ulVal;
            case VT_UI8: return value.uhVal.QuadPart;
            default: return 0;
        }
    }
    bool Has() const { return value.vt != VT_EMPTY; }
};

std::vector<ArchiveItem> ReadItems(IInArchive* handler) {
    UInt32 count = 0;
    Check(handler->GetNumberOfItems(&count), ZEV_ARCHIVE_ERROR_INTERNAL);
    std::vector<ArchiveItem> items(count);
    for (UInt32 i = 0; i < count; ++i) {
        ArchiveItem& item = items[i];
        item.index = i;
        Property path(handler, i, kpidPath);
        if (path.value.vt == VT_BSTR) item.path = FromWide(path.value.bstrVal);
        item.normalName = NormalName(item.path);
        item.isFolder = Property(handler, i, kpidIsDir).Bool();
        item.encrypted = Property(handler, i, kpidEncrypted).Bool();
        item.size = Property(handler, i, kpidSize).Number();
        item.packedSize = Property(handler, i, kpidPackSize).Number();
        item.attributes = static_cast<uint32_t>(Property(handler, i, kpidAttrib).Number());
        Property crc(handler, i, kpidCRC);
        item.hasCrc = crc.Has();
        item.crc = static_cast<uint32_t>(crc.Number());
        Property modified(handler, i, kpidMTime);
        if (modified.value.vt == VT_FILETIME)
            item.modified = (static_cast<uint64_t>(modified.value.filetime.dwHighDateTime) << 32) |
                            modified.value.filetime.dwLowDateTime;
    }
    return items;
}

}  // namespace

OpenedArchive OpenArchive(const fs::path& path, PasswordSource& passwords) {
    while (true) {
        CMyComPtr<IInStream> stream;
        {
            auto* file = new InFileStream;
            stream = file;
            if (!file->Open(path)) Fail(ZEV_ARCHIVE_ERROR_CANNOT_OPEN);
        }
        auto* callbackObject = new OpenCallback(passwords);
        CMyComPtr<IArchiveOpenCallback> callback = callbackObject;
        OpenedArchive archive;
        archive.handler = new NArchive::N7z::CHandler;
        const UInt64 signatureOnlyAtStart = 0;
        const HRESULT result = archive.handler->Open(stream, &signatureOnlyAtStart, callback);
        if (result == S_OK) {
            archive.items = ReadItems(archive.handler);
            return archive;
        }
        archive.handler->Close();
        const PasswordAnswer& answer = callbackObject->answer;
        if (answer.asked) {
            // Encrypted headers: a failure after a password was used means that password
            // was wrong.
            if (answer.unavailable || !passwords.Next()) Fail(ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
            continue;
        }
        if (result == S_FALSE) Fail(ZEV_ARCHIVE_ERROR_CANNOT_OPEN);
        Fail(CodeFromHresult(result, ZEV_ARCHIVE_ERROR_CANNOT_OPEN));
    }
}

int32_t CodeFromOperationResult(int32_t operationResult, bool encrypted) {
    using namespace NArchive::NExtract::NOperationResult;
    switch (operationResult) {
        case kOK: return ZEV_ARCHIVE_OK;
        case kWrongPassword: return ZEV_ARCHIVE_ERROR_WRONG_PASSWORD;
        case kUnsupportedMethod: return ZEV_ARCHIVE_ERROR_UNSUPPORTED;
        case kDataError:
        case kCRCError:
        case kUnexpectedEnd:
            // Decrypting with a wrong key yields garbage that fails exactly like damage.
            return encrypted ? ZEV_ARCHIVE_ERROR_WRONG_PASSWORD : ZEV_ARCHIVE_ERROR_DATA;
        default: return ZEV_ARCHIVE_ERROR_DATA;
    }
}

}  // namespace zev::archive

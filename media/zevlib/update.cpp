// Creating, updating and editing archives: 7-Zip writes the new archive to a temporary
// file beside the old one, which is replaced only when the new one is complete.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "7zip/Archive/7z/7zHandler.h"
#include "media/zevlib/entry_path.h"
#include "media/zevlib/failure.h"
#include "media/zevlib/opened_archive.h"
#include "media/zevlib/operations.h"
#include "media/zevlib/switch_text.h"
#include "media/zevlib/wide_text.h"

namespace zev::archive {

namespace {

constexpr wchar_t kTemporarySuffix[] = L".zevtmp";
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeFolder = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;

struct SourceItem {
    fs::path source;
    Text storedName;  // "\"-separated
    bool isFolder = false;
    uint64_t size = 0;
    uint64_t modified = 0;
    uint32_t attributes = 0;
};

struct OutputItem {
    const ArchiveItem* kept = nullptr;  // taken over from the existing archive
    const SourceItem* added = nullptr;  // packed from a file
};

class Exclusions {
public:
    explicit Exclusions(const std::vector<Text>& names) {
        for (const Text& name : names) {
            Text pattern = NormalName(name);
            if (!pattern.empty()) patterns_.push_back(std::move(pattern));
        }
    }
    bool Excludes(const fs::path& source, TextView storedName) const {
        if (patterns_.empty()) return false;
        const Text fileName = FromPath(source.filename());
        const Text fullName = NormalName(FromPath(source));
        for (const Text& pattern : patterns_)
            if (WildcardMatch(pattern, fileName) || WildcardMatch(pattern, storedName) ||
                WildcardMatch(pattern, fullName))
                return true;
        return false;
    }

private:
    std::vector<Text> patterns_;
};

// Collects the files to add; a later file of the same stored name replaces an earlier one.
class SourceCollector {
public:
    explicit SourceCollector(const Exclusions& exclusions) : exclusions_(exclusions) {}

    void AddEntry(TextView entry) {
        Text text(entry);
        while (text.size() > 1 && (text.back() == u'\\' || text.back() == u'/')) text.pop_back();
        const size_t separator = text.find_last_of(u"\\/");
        Text last = separator == Text::npos ? text : text.substr(separator + 1);
        if (last.find_first_of(u"*?") == Text::npos) {
            const fs::path path = ToPath(text);
            std::error_code error;
            if (!fs::exists(fs::symlink_status(path, error))) Fail(ZEV_ARCHIVE_ERROR_NOT_FOUND);
            AddTree(path, FromPath(path.filename()));
            return;
        }
        if (last == u"*.*") last = u"*";
        const fs::path folder = separator == Text::npos
                                    ? fs::path(".")
                                    : ToPath(separator == 0 ? text.substr(0, 1) : text.substr(0, separator));
        std::error_code error;
        if (!fs::is_directory(folder, error)) Fail(ZEV_ARCHIVE_ERROR_NOT_FOUND);
        for (const fs::path& child : SortedChildren(folder)) {
            const Text name = FromPath(child.filename());
            if (WildcardMatch(last, name)) AddTree(child, name);
        }
    }

    std::vector<SourceItem> items;

private:
    static std::vector<fs::path> SortedChildren(const fs::path& folder) {
        std::vector<fs::path> children;
        std::error_code error;
        fs::directory_iterator iterator(folder, error);
        if (error) Fail(ZEV_ARCHIVE_ERROR_READ);
        for (const fs::directory_entry& entry : iterator) children.push_back(entry.path());
        std::sort(children.begin(), children.end());
        return children;
    }

    void AddTree(const fs::path& path, const Text& storedName) {
        if (exclusions_.Excludes(path, storedName)) return;
        std::error_code error;
        const fs::file_status linkStatus = fs::symlink_status(path, error);
        const fs::file_status status = fs::status(path, error);
        if (error) Fail(ZEV_ARCHIVE_ERROR_READ);
        SourceItem item;
        item.source = path;
        item.storedName = storedName;
        item.isFolder = fs::is_directory(status);
        const auto modified = fs::last_write_time(path, error);
        if (!error) item.modified = ToFileTime(modified);
        item.attributes = item.isFolder ? kAttributeFolder : kAttributeArchive;
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) item.attributes |= kAttributeReadOnly;
        if (!item.isFolder) {
            item.size = fs::file_size(path, error);
            if (error) Fail(ZEV_ARCHIVE_ERROR_READ);
        }
        Add(std::move(item));
        // A linked folder is stored as a folder, not followed (it could lead in a circle).
        if (fs::is_directory(status) && !fs::is_symlink(linkStatus))
            for (const fs::path& child : SortedChildren(path))
                AddTree(child, storedName + u'\\' + FromPath(child.filename()));
    }

    void Add(SourceItem item) {
        const Text key = ToLower(item.storedName);
        const auto found = positions_.find(key);
        if (found != positions_.end()) {
            items[found->second] = std::move(item);
            return;
        }
        positions_.emplace(key, items.size());
        items.push_back(std::move(item));
    }

    const Exclusions& exclusions_;
    std::map<Text, size_t> positions_;
};

// 7-Zip's own reading of a switch value: numbers become numbers, "name-" / "name+"
// without a value become false / true, other text stays text.
void SetHandlerProperties(IUnknown* handler, const std::vector<HandlerProperty>& properties) {
    if (properties.empty()) return;
    CMyComPtr<ISetProperties> setter;
    handler->QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&setter));
    if (!setter) Fail(ZEV_ARCHIVE_ERROR_INTERNAL);
    std::vector<UString> names;
    std::vector<NWindows::NCOM::CPropVariant> values(properties.size());
    for (size_t i = 0; i < properties.size(); ++i) {
        UString name = ToWide(properties[i].name);
        const UString value = ToWide(properties[i].value);
        if (value.IsEmpty()) {
            if (!name.IsEmpty() && (name.Back() == L'-' || name.Back() == L'+')) {
                values[i] = name.Back() == L'+';
                name.DeleteBack();
            }
        } else {
            bool numeric = true;
            uint64_t number = 0;
            for (unsigned c = 0; c < value.Len(); ++c) {
                if (value[c] < L'0' || value[c] > L'9' || number > 0xFFFFFFFFFFFFFFFull / 10) {
                    numeric = false;
                    break;
                }
                number = number * 10 + static_cast<uint64_t>(value[c] - L'0');
            }
            if (!numeric)
                values[i] = value;
            else if (number <= 0xFFFFFFFFu)
                values[i] = static_cast<UInt32>(number);
            else
                values[i] = static_cast<UInt64>(number);
        }
        names.push_back(name);
    }
    std::vector<const wchar_t*> namePointers;
    for (const UString& name : names) namePointers.push_back(name.Ptr());
    const HRESULT result = setter->SetProperties(namePointers.data(), values.data(), static_cast<UInt32>(names.size()));
    // The handler refuses unknown methods and malformed values with E_INVALIDARG.
    if (result != S_OK) Fail(CodeFromHresult(result, ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT));
}

class UpdateCallback final : public IArchiveUpdateCallback,
                             public ICryptoGetTextPassword2,
                             public ICryptoGetTextPassword,
                             public CMyUnknownImp {
    Z7_COM_UNKNOWN_IMP_3(IArchiveUpdateCallback, ICryptoGetTextPassword2, ICryptoGetTextPassword)
    Z7_IFACE_COM7_IMP(IProgress)
    Z7_IFACE_COM7_IMP(IArchiveUpdateCallback)
    Z7_IFACE_COM7_IMP(ICryptoGetTextPassword2)
    Z7_IFACE_COM7_IMP(ICryptoGetTextPassword)

public:
    UpdateCallback(const std::vector<OutputItem>& items, TextView newPassword, PasswordSource& oldPasswords,
                   ZevArchiveProgress progress, ZevArchiveNoticeCallback notice)
        : items_(items), newPassword_(newPassword), oldPassword_(oldPasswords), progress_(progress), notice_(notice) {}

    int32_t failure = ZEV_ARCHIVE_OK;
    bool ReadFailed() const { return lastFile_ && lastFile_->readFailed; }

private:
    HRESULT Stop(int32_t code) {
        if (failure == ZEV_ARCHIVE_OK) failure = code;
        return E_ABORT;
    }
    bool ReportProgress() { return !progress_ || progress_(name_.c_str(), completed_, total_) != 0; }

    const std::vector<OutputItem>& items_;
    Text newPassword_;
    PasswordAnswer oldPassword_;
    ZevArchiveProgress progress_;
    ZevArchiveNoticeCallback notice_;
    uint64_t total_ = 0;
    uint64_t completed_ = 0;
    Text name_;
    CMyComPtr<IInStream> lastStream_;
    InFileStream* lastFile_ = nullptr;
};

Z7_COM7F_IMF(UpdateCallback::SetTotal(UInt64 total)) {
    total_ = total;
    return S_OK;
}

Z7_COM7F_IMF(UpdateCallback::SetCompleted(const UInt64* completeValue)) {
    if (completeValue) completed_ = *completeValue;
    return ReportProgress() ? S_OK : Stop(ZEV_ARCHIVE_ERROR_ABORTED);
}

Z7_COM7F_IMF(UpdateCallback::GetUpdateItemInfo(UInt32 index, Int32* newData, Int32* newProps, UInt32* indexInArchive)) {
    if (index >= items_.size()) return E_INVALIDARG;
    const OutputItem& item = items_[index];
    const bool added = item.added != nullptr;
    if (newData) *newData = added ? 1 : 0;
    if (newProps) *newProps = added ? 1 : 0;
    if (indexInArchive) *indexInArchive = added ? static_cast<UInt32>(-1) : item.kept->index;
    return S_OK;
}

Z7_COM7F_IMF(UpdateCallback::GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value)) {
    if (index >= items_.size()) return E_INVALIDARG;
    NWindows::NCOM::CPropVariant property;
    const SourceItem* source = items_[index].added;
    if (propID == kpidIsAnti) {
        property = false;
    } else if (source) {
        switch (propID) {
            case kpidPath: {
                // The 7z format separates with "/" on every system.
                Text name = source->storedName;
                std::replace(name.begin(), name.end(), u'\\', u'/');
                property = ToWide(name);
                break;
            }
            case kpidIsDir: property = source->isFolder; break;
            case kpidSize: property = static_cast<UInt64>(source->size); break;
            case kpidAttrib: property = static_cast<UInt32>(source->attributes); break;
            case kpidMTime:
                if (source->modified != 0) {
                    FILETIME time;
                    time.dwLowDateTime = static_cast<DWORD>(source->modified);
                    time.dwHighDateTime = static_cast<DWORD>(source->modified >> 32);
                    property = time;
                }
                break;
            default: break;
        }
    }
    return property.Detach(value);
}

Z7_COM7F_IMF(UpdateCallback::GetStream(UInt32 index, ISequentialInStream** inStream)) {
    *inStream = nullptr;
    if (index >= items_.size() || !items_[index].added) return E_INVALIDARG;
    try {
        const SourceItem& source = *items_[index].added;
        name_ = source.storedName;
        if (!ReportProgress()) return Stop(ZEV_ARCHIVE_ERROR_ABORTED);
        if (source.isFolder) return S_OK;
        lastFile_ = new InFileStream;
        lastStream_ = lastFile_;
        if (!lastFile_->Open(source.source)) return Stop(ZEV_ARCHIVE_ERROR_READ);
        lastStream_->AddRef();
        *inStream = lastStream_;
        return S_OK;
    } catch (...) {
        return Stop(CodeFromException());
    }
}

Z7_COM7F_IMF(UpdateCallback::SetOperationResult(Int32)) {
    if (notice_ && notice_(ZEV_ARCHIVE_NOTICE_ADDED, name_.c_str()) == 0) return Stop(ZEV_ARCHIVE_ERROR_ABORTED);
    return S_OK;
}

Z7_COM7F_IMF(UpdateCallback::CryptoGetTextPassword2(Int32* passwordIsDefined, BSTR* password)) {
    *passwordIsDefined = newPassword_.empty() ? 0 : 1;
    return StringToBstr(ToWide(newPassword_), password);
}

Z7_COM7F_IMF(UpdateCallback::CryptoGetTextPassword(BSTR* password)) {
    // Asked when kept data must be unpacked again (an item was removed from its solid block).
    const HRESULT result = oldPassword_.Answer(password);
    if (oldPassword_.unavailable) return Stop(ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
    return result;
}

// Writes the new archive beside the old one and replaces it.
void WriteArchive(const fs::path& archivePath, IUnknown* handler, const std::vector<OutputItem>& items,
                  TextView newPassword, PasswordSource& oldPasswords, ZevArchiveProgress progress,
                  ZevArchiveNoticeCallback notice, OpenedArchive* existing) {
    CMyComPtr<IOutArchive> writer;
    handler->QueryInterface(IID_IOutArchive, reinterpret_cast<void**>(&writer));
    if (!writer) Fail(ZEV_ARCHIVE_ERROR_INTERNAL);

    std::error_code error;
    if (archivePath.has_parent_path()) fs::create_directories(archivePath.parent_path(), error);
    fs::path temporary = archivePath;
    temporary += kTemporarySuffix;
    auto* outFile = new OutFileStream;
    CMyComPtr<IOutStream> outStream = outFile;
    if (!outFile->Create(temporary)) Fail(ZEV_ARCHIVE_ERROR_WRITE);

    auto* callbackObject = new UpdateCallback(items, newPassword, oldPasswords, progress, notice);
    CMyComPtr<IArchiveUpdateCallback> callback = callbackObject;
    const HRESULT result = writer->UpdateItems(outStream, static_cast<UInt32>(items.size()), callback);
    int32_t code = callbackObject->failure;
    if (code == ZEV_ARCHIVE_OK && result != S_OK) {
        if (callbackObject->ReadFailed())
            code = ZEV_ARCHIVE_ERROR_READ;
        else if (outFile->writeFailed)
            code = ZEV_ARCHIVE_ERROR_WRITE;
        else
            code = CodeFromHresult(result, ZEV_ARCHIVE_ERROR_INTERNAL);
    }
    callback.Release();
    const bool closed = outFile->Close();
    outStream.Release();
    if (code == ZEV_ARCHIVE_OK && !closed) code = ZEV_ARCHIVE_ERROR_WRITE;
    if (code != ZEV_ARCHIVE_OK) {
        RemoveQuietly(temporary);
        Fail(code);
    }
    // The old archive must be closed before it can be replaced.
    writer.Release();
    if (existing) {
        existing->handler->Close();
        existing->handler.Release();
    }
    if (!ReplaceFile(temporary, archivePath)) {
        RemoveQuietly(temporary);
        Fail(ZEV_ARCHIVE_ERROR_WRITE);
    }
}

bool ArchiveExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

}  // namespace

void Create(const CreateRequest& request) {
    if (request.archive.empty()) Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
    auto switches = ParseSwitchText(request.switches);
    if (!switches) Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
    std::vector<HandlerProperty> properties;
    properties.push_back({u"x", FromInt(LevelFromCode(request.level))});
    properties.insert(properties.end(), switches->begin(), switches->end());

    Exclusions exclusions(request.excluded);
    SourceCollector collector(exclusions);
    for (const Text& entry : request.files)
        if (!entry.empty()) collector.AddEntry(entry);

    const fs::path archivePath = ToPath(request.archive);
    PasswordSource oldPasswords(request.password, nullptr);
    std::optional<OpenedArchive> existing;
    if (request.mode != ZEV_ARCHIVE_MODE_CREATE && ArchiveExists(archivePath))
        existing = OpenArchive(archivePath, oldPasswords);

    std::vector<OutputItem> outputs;
    std::map<Text, const SourceItem*> added;
    for (const SourceItem& item : collector.items) added.emplace(ToLower(item.storedName), &item);
    if (existing) {
        for (const ArchiveItem& item : existing->items) {
            const auto found = added.find(ToLower(item.normalName));
            if (found == added.end()) {
                outputs.push_back({&item, nullptr});
                continue;
            }
            const SourceItem& source = *found->second;
            const bool replace = request.mode != ZEV_ARCHIVE_MODE_UPDATE || source.isFolder != item.isFolder ||
                                 source.size != item.size || source.modified > item.modified;
            if (!replace) {
                outputs.push_back({&item, nullptr});
                added.erase(found);
            }
        }
    }
    for (const SourceItem& item : collector.items)
        if (added.count(ToLower(item.storedName))) outputs.push_back({nullptr, &item});

    CMyComPtr<IInArchive> fresh;
    IUnknown* handler = nullptr;
    if (existing) {
        handler = existing->handler;
    } else {
        fresh = new NArchive::N7z::CHandler;
        handler = fresh;
    }
    SetHandlerProperties(handler, properties);
    WriteArchive(archivePath, handler, outputs, request.password, oldPasswords, request.progress, request.notice,
                 existing ? &*existing : nullptr);
}

void Delete(const DeleteRequest& request) {
    if (request.archive.empty()) Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
    const fs::path archivePath = ToPath(request.archive);
    PasswordSource passwords(request.password, request.passwordCallback);
    OpenedArchive existing = OpenArchive(archivePath, passwords);
    EntrySelector selector(request.entries);
    if (selector.SelectsAll()) return;  // an empty list names nothing to remove

    std::vector<OutputItem> outputs;
    std::vector<const ArchiveItem*> removed;
    for (const ArchiveItem& item : existing.items) {
        if (selector.Selects(item.normalName))
            removed.push_back(&item);
        else
            outputs.push_back({&item, nullptr});
    }
    if (removed.empty()) return;
    // Data re-packed because its solid block lost an item is encrypted again with the
    // archive's password.
    Text password = request.password;
    if (password.empty() && passwords.HasCurrent()) passwords.Current(password);
    WriteArchive(archivePath, existing.handler, outputs, password, passwords, request.progress, nullptr, &existing);
    if (request.notice)
        for (const ArchiveItem* item : removed)
            if (request.notice(ZEV_ARCHIVE_NOTICE_DELETED, item->normalName.c_str()) == 0) break;
}

Listing* List(TextView archive, TextView password, ZevArchivePassword passwordCallback) {
    if (archive.empty()) Fail(ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
    PasswordSource passwords(password, passwordCallback);
    OpenedArchive opened = OpenArchive(ToPath(archive), passwords);
    auto listing = std::make_unique<Listing>();
    listing->names.reserve(opened.items.size());
    for (const ArchiveItem& item : opened.items) listing->names.push_back(item.normalName);
    listing->entries.resize(opened.items.size());
    for (size_t i = 0; i < opened.items.size(); ++i) {
        const ArchiveItem& item = opened.items[i];
        ZevArchiveEntry& entry = listing->entries[i];
        entry.namePadding = 0;
        entry.name = listing->names[i].c_str();
        entry.size = item.size;
        entry.packedSize = item.packedSize;
        entry.modified = item.modified;
        entry.attributes = item.attributes | (item.isFolder ? kAttributeFolder : 0);
        entry.crc = item.crc;
        entry.flags = (item.isFolder ? uint32_t{ZEV_ARCHIVE_ENTRY_FOLDER} : 0u) |
                      (item.encrypted ? uint32_t{ZEV_ARCHIVE_ENTRY_ENCRYPTED} : 0u) |
                      (item.hasCrc ? uint32_t{ZEV_ARCHIVE_ENTRY_HAS_CRC} : 0u);
        entry.index = item.index;
    }
    return listing.release();
}

}  // namespace zev::archive

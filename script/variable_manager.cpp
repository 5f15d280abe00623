#include "script/variable_manager.h"

#include "script/comma_text.h"
#include "script/substitution.h"

namespace zev {

namespace {

constexpr size_t kFirstBucketCount = 32;
// Entries per bucket before the table doubles.
constexpr size_t kLoadFactor = 2;

// The hash modulo the bucket count. Bucket counts are powers of two (32, then doubling),
// so the remainder is a mask; this runs on every lookup.
size_t BucketOf(uint32_t hash, size_t bucket_count) {
    return hash & (bucket_count - 1);
}

bool IsOwnReference(TextView name, TextView value) {
    return value.size() == name.size() + 2 && value.front() == u'$' && value.back() == u'$' &&
           EqualsNoCase(value.substr(1, name.size()), name);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TStringHashTable

TStringHashTable::~TStringHashTable() {
    for (Entry* head : buckets_) {
        while (head != nullptr) {
            Entry* next = head->next;
            delete head;
            head = next;
        }
    }
}

uint32_t TStringHashTable::Hash(TextView name) {
    uint32_t hash = 0;
    for (char16_t unit : name) {
        hash = (hash << 4) + LowerChar(unit);
        const uint32_t high = hash & 0xF0000000u;
        if (high != 0) hash ^= high >> 24;
        hash &= ~high;
    }
    return hash;
}

void TStringHashTable::ThrowIfIterating() const {
    if (iterating_ != 0) throw CollectionError("Can not modify a collection while iterating");
}

TStringHashTable::Entry* TStringHashTable::FindEntry(TextView name, uint32_t hash) const {
    if (buckets_.empty()) return nullptr;
    for (Entry* entry = buckets_[BucketOf(hash, buckets_.size())]; entry != nullptr; entry = entry->next)
        if (entry->hash == hash && EqualsNoCase(entry->name, name)) return entry;
    return nullptr;
}

void TStringHashTable::Grow() {
    const size_t new_count = buckets_.empty() ? kFirstBucketCount : buckets_.size() * 2;
    std::vector<Entry*> grown(new_count, nullptr);
    // Each old chain is walked from its head and every entry pushed onto the head of its
    // new chain; the resulting order is visible through ForEach.
    for (Entry* head : buckets_) {
        while (head != nullptr) {
            Entry* next = head->next;
            Entry*& target = grown[BucketOf(head->hash, new_count)];
            head->next = target;
            target = head;
            head = next;
        }
    }
    buckets_.swap(grown);
    growth_limit_ = buckets_.size() * kLoadFactor;
}

void TStringHashTable::Set(TextView name, TextView value) {
    if (name.empty()) return;
    ThrowIfIterating();
    const uint32_t hash = Hash(name);
    if (Entry* existing = FindEntry(name, hash)) {
        ReplaceValue(*existing, value);
        return;
    }
    changes_.fetch_add(1, std::memory_order_release);
    if (count_ >= growth_limit_) Grow();
    Entry*& head = buckets_[BucketOf(hash, buckets_.size())];
    head = new Entry{hash, Text(name), Text(value), head};
    ++count_;
}

// A write grows a full table even when it only replaces a value, so the moment of
// growth, and with it the enumeration order, does not depend on which kind of write came.
void TStringHashTable::ReplaceValue(Entry& entry, TextView value) {
    changes_.fetch_add(1, std::memory_order_release);
    if (count_ >= growth_limit_) Grow();
    entry.value.assign(value);
}

bool TStringHashTable::Replace(TextView name, TextView value) {
    if (name.empty()) return false;
    ThrowIfIterating();
    Entry* existing = FindEntry(name, Hash(name));
    if (existing == nullptr) return false;
    ReplaceValue(*existing, value);
    return true;
}

const Text* TStringHashTable::Find(TextView name) const {
    if (name.empty()) return nullptr;
    return Find(name, Hash(name));
}

const Text* TStringHashTable::Find(TextView name, uint32_t hash) const {
    if (name.empty()) return nullptr;
    const Entry* entry = FindEntry(name, hash);
    return entry != nullptr ? &entry->value : nullptr;
}

bool TStringHashTable::Remove(TextView name) {
    ThrowIfIterating();
    if (name.empty() || buckets_.empty()) return false;
    changes_.fetch_add(1, std::memory_order_release);
    const uint32_t hash = Hash(name);
    for (Entry** link = &buckets_[BucketOf(hash, buckets_.size())]; *link != nullptr; link = &(*link)->next) {
        Entry* entry = *link;
        if (entry->hash == hash && EqualsNoCase(entry->name, name)) {
            *link = entry->next;
            delete entry;
            --count_;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// TVariableManager

namespace {

// Takes the store's lock only when reads are to be locked.
class ReadLock {
public:
    ReadLock(std::recursive_mutex& lock, bool enabled) : lock_(enabled ? &lock : nullptr) {
        if (lock_ != nullptr) lock_->lock();
    }
    ~ReadLock() {
        if (lock_ != nullptr) lock_->unlock();
    }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

private:
    std::recursive_mutex* lock_;
};

}  // namespace

TVariableManager::TVariableManager() : table_(std::make_unique<TStringHashTable>()) {}

TVariableManager::~TVariableManager() = default;

void TVariableManager::SetItem(TextView name, TextView value) {
    std::lock_guard guard(lock_);
    table_->Set(name, value);
}

Text TVariableManager::GetItem(TextView name) const {
    ReadLock guard(lock_, lock_reads_);
    const Text* value = table_->Find(name);
    return value != nullptr ? *value : Text();
}

bool TVariableManager::Exists(TextView name) const {
    ReadLock guard(lock_, lock_reads_);
    return table_->Find(name) != nullptr;
}

std::optional<Text> TVariableManager::Lookup(TextView name) const {
    ReadLock guard(lock_, lock_reads_);
    const Text* value = table_->Find(name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

bool TVariableManager::Holds(const HashedName& name, TextView value) const {
    ReadLock guard(lock_, lock_reads_);
    const Text* stored = table_->Find(name.name, name.hash);
    return stored != nullptr && *stored == value;
}

void TVariableManager::Remove(TextView name) {
    std::lock_guard guard(lock_);
    table_->Remove(name);
}

size_t TVariableManager::GetPairs(std::vector<Text>& list) const {
    std::lock_guard guard(lock_);
    list.clear();
    list.reserve(table_->Count() * 2);
    table_->ForEach([&list](const Text& name, const Text& value) {
        list.push_back(name);
        list.push_back(value);
    });
    return list.size();
}

size_t TVariableManager::GetNames(std::vector<Text>& list) const {
    std::lock_guard guard(lock_);
    list.clear();
    list.reserve(table_->Count());
    table_->ForEach([&list](const Text& name, const Text&) { list.push_back(name); });
    return list.size();
}

void TVariableManager::RemoveAll() {
    std::lock_guard guard(lock_);
    std::vector<Text> names;
    GetNames(names);
    for (const Text& name : names) Remove(name);
}

void TVariableManager::RemoveIfExists(TextView name) {
    if (name.empty()) return;
    std::lock_guard guard(lock_);
    if (Exists(name)) Remove(name);
}

Text TVariableManager::ExportCommaText() const {
    std::vector<Text> pairs;
    GetPairs(pairs);
    return WriteCommaText(pairs);
}

void TVariableManager::ImportCommaText(TextView text) {
    const std::vector<Text> items = ReadCommaText(text);
    std::lock_guard guard(lock_);
    for (size_t i = 0; i + 1 < items.size(); i += 2) SetItem(items[i], items[i + 1]);
}

Text TVariableManager::ValueOf(TextView name) const {
    ReadLock guard(lock_, lock_reads_);
    const Text* value = table_->Find(name);
    return value == nullptr ? Text() : *value;
}

Text TVariableManager::ValueOf(const HashedName& name) const {
    ReadLock guard(lock_, lock_reads_);
    const Text* value = table_->Find(name.name, name.hash);
    return value == nullptr ? Text() : *value;
}

bool TVariableManager::IsCommandLineName(TextView name) const {
    for (size_t i = 0; i < command_line_pairs_.size(); i += 2)
        if (EqualsNoCase(command_line_pairs_[i], name)) return true;
    return false;
}

void TVariableManager::Assign(TextView name, TextView value, TextView origin) {
    std::lock_guard guard(lock_);
    const Text key = silent_ ? ToUpper(name) : Text(name);
    if (silent_ && IsCommandLineName(key) && origin != TextView(kInjectOverrideLabel)) return;
    if (table_->Replace(key, IsOwnReference(key, value) ? TextView() : value)) return;
    AssignOrCreate(key, value, origin);
}

void TVariableManager::AssignOrCreate(TextView name, TextView value, TextView origin) {
    if (name.empty()) return;
    std::lock_guard guard(lock_);
    const Text key = silent_ ? ToUpper(name) : Text(name);
    const TextView stored = IsOwnReference(key, value) ? TextView() : value;
    if (table_->Find(key) != nullptr)
        Assign(key, stored, origin);
    else
        table_->Set(key, stored);
}

void TVariableManager::SetSilent(bool silent) {
    std::lock_guard guard(lock_);
    silent_ = silent;
}

bool TVariableManager::Silent() const {
    std::lock_guard guard(lock_);
    return silent_;
}

void TVariableManager::SetCommandLinePairs(std::vector<Text> alternating_names_and_values) {
    std::lock_guard guard(lock_);
    command_line_pairs_ = std::move(alternating_names_and_values);
}

Text TVariableManager::Expand(TextView text) const {
    return zev::Expand(text, *this);
}

Text TVariableManager::ExpandQuoted(TextView text) const {
    return zev::ExpandQuoted(text, *this);
}

size_t TVariableManager::BucketCount() const {
    std::lock_guard guard(lock_);
    return table_->BucketCount();
}

TVariableManager& Variables() {
    // Never destroyed: worker threads may still read it while the process ends.
    static TVariableManager* const store = new TVariableManager();
    return *store;
}

}  // namespace zev

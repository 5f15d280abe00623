// The variable store: named UTF-16 values shared by the interpreter, dialogs, plug-ins
// and worker threads, with names compared without regard to letter case.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "script/text.h"

namespace zev {

class CollectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Chained hash table from name to value. Buckets start at 0, grow to 32 and then double
// when the entry count reaches buckets x 2; new entries go to the head of their chain.
// Enumeration visits buckets in ascending order and each chain from its head; this
// order is visible to plug-ins and in the saved state, so it is part of the contract.
class TStringHashTable {
public:
    TStringHashTable() = default;
    TStringHashTable(const TStringHashTable&) = delete;
    TStringHashTable& operator=(const TStringHashTable&) = delete;
    ~TStringHashTable();

    void Set(TextView name, TextView value);
    // Set for a name that exists, with one hash and one search; false (and nothing
    // changed) when the name does not exist.
    bool Replace(TextView name, TextView value);
    const Text* Find(TextView name) const;
    // Find with the name's hash already worked out.
    const Text* Find(TextView name, uint32_t hash) const;
    bool Remove(TextView name);
    size_t Count() const { return count_; }
    size_t BucketCount() const { return buckets_.size(); }
    // Number of Set and Remove calls so far; readable without the owner's lock.
    uint64_t Changes() const { return changes_.load(std::memory_order_acquire); }

    // Calls visit(name, value) for every entry in enumeration order. Modifying the table
    // from inside the visit raises CollectionError.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        IterationScope scope(iterating_);
        for (const Entry* head : buckets_)
            for (const Entry* entry = head; entry != nullptr; entry = entry->next)
                visit(static_cast<const Text&>(entry->name), static_cast<const Text&>(entry->value));
    }

    // The ELF hash of the lower-cased name.
    static uint32_t Hash(TextView name);

private:
    // Marks the table as being enumerated for the lifetime of the scope, also when the
    // visit throws.
    class IterationScope {
    public:
        explicit IterationScope(int& iterating) : iterating_(iterating) { ++iterating_; }
        ~IterationScope() { --iterating_; }
        IterationScope(const IterationScope&) = delete;
        IterationScope& operator=(const IterationScope&) = delete;

    private:
        int& iterating_;
    };

    struct Entry {
        uint32_t hash;
        Text name;
        Text value;
        Entry* next;
    };
    void ThrowIfIterating() const;
    void ReplaceValue(Entry& entry, TextView value);
    void Grow();
    Entry* FindEntry(TextView name, uint32_t hash) const;

    std::vector<Entry*> buckets_;
    size_t count_ = 0;
    size_t growth_limit_ = 0;
    mutable int iterating_ = 0;
    std::atomic<uint64_t> changes_{0};
};

// A variable name with its hash worked out once, for names the engine reads before
// every statement. Holds the name only, never a value, so it cannot go stale.
struct HashedName {
    explicit HashedName(TextView text) : name(text), hash(TStringHashTable::Hash(text)) {}
    Text name;
    uint32_t hash;
};

// Who is assigning, for the command-line lock. Only the exact label
// "Inject Override Command Line" may change a variable preset on the command line in
// a silent run.
inline constexpr char16_t kInjectOverrideLabel[] = u"Inject Override Command Line";

class TVariableManager {
public:
    TVariableManager();
    ~TVariableManager();

    // Table operations. Writes always take the lock; reads take it because the engine
    // creates the store with lock-reads set.
    void SetItem(TextView name, TextView value);
    Text GetItem(TextView name) const;
    bool Exists(TextView name) const;
    // The value when the variable exists, in one locked step (Exists + GetItem would let
    // a worker remove the variable in between).
    std::optional<Text> Lookup(TextView name) const;
    // Whether the variable exists and holds exactly value, without copying the value.
    bool Holds(const HashedName& name, TextView value) const;
    void Remove(TextView name);
    // Alternating name, value in enumeration order. The engine calls these only when no
    // worker runs; they take the lock all the same, so a stray worker write waits instead
    // of racing the enumeration.
    size_t GetPairs(std::vector<Text>& list) const;
    size_t GetNames(std::vector<Text>& list) const;

    void RemoveAll();
    void RemoveIfExists(TextView name);
    Text ExportCommaText() const;
    void ImportCommaText(TextView text);
    Text ValueOf(TextView name) const;
    // ValueOf without hashing the name again.
    Text ValueOf(const HashedName& name) const;

    // The assignment rule. In a silent run the name is upper-cased, and a variable
    // named by a NAME=VALUE argument changes only under kInjectOverrideLabel. A value
    // equal to the variable's own reference $NAME$ (letter case ignored) is stored empty.
    // Assign creates a missing variable through AssignOrCreate; AssignOrCreate never
    // refuses a creation, and routes an existing variable through Assign. Both run as
    // one locked step.
    void Assign(TextView name, TextView value, TextView origin);
    void AssignOrCreate(TextView name, TextView value, TextView origin);

    // The command-line lock: set once by start-up from the parsed command line and
    // refreshed by the interpreter when SILENT changes.
    void SetSilent(bool silent);
    bool Silent() const;
    void SetCommandLinePairs(std::vector<Text> alternating_names_and_values);

    // Substitution of $NAME$ references; see substitution.h for the rules.
    Text Expand(TextView text) const;
    Text ExpandQuoted(TextView text) const;

    // The re-entrant lock, for callers that must read or write several values as one step.
    std::recursive_mutex& Lock() const { return lock_; }

    size_t BucketCount() const;

    // Grows with every write and removal. Two equal readings mean that no variable
    // changed in between, so a reader may keep what it derived from the store.
    // Read without the lock.
    uint64_t Changes() const { return table_->Changes(); }

private:
    bool IsCommandLineName(TextView name) const;

    mutable std::recursive_mutex lock_;
    bool lock_reads_ = true;
    std::unique_ptr<TStringHashTable> table_;
    bool silent_ = false;
    std::vector<Text> command_line_pairs_;
};

// The process-wide store.
TVariableManager& Variables();

}  // namespace zev

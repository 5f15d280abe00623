#include "script/substitution.h"

#include <algorithm>

#include "script/comma_text.h"

namespace zev {

namespace {

constexpr char16_t kDollar = u'$';
constexpr char16_t kQuote = u'"';
constexpr char16_t kHash = u'#';

// A value inserted during one expansion, while the scan is inside it. The text not yet
// scanned is held reversed (its next character last), so a region is fixed by the
// number of unscanned characters that follow it.
struct InsertedRegion {
    Text name;
    size_t tail;
};

void AppendReversed(Text& out, TextView reversed) { out.append(reversed.rbegin(), reversed.rend()); }

// The left-to-right scan with re-scanning of inserted values and the limits of substitution.h.
Text ExpandScan(TextView text, const ReferenceLookup& lookup, bool quoted) {
    Text done;
    done.reserve(text.size());
    Text rest(text.rbegin(), text.rend());
    std::vector<InsertedRegion> regions;  // innermost last; tails never decrease upwards
    size_t insert_budget = kMaxInsertedLength;

    for (;;) {
        const size_t opening = rest.rfind(kDollar);
        if (opening == Text::npos) {
            AppendReversed(done, rest);
            break;
        }
        AppendReversed(done, TextView(rest).substr(opening + 1));
        rest.resize(opening + 1);
        while (!regions.empty() && regions.back().tail >= rest.size()) regions.pop_back();

        // After the reference, `closing` unscanned characters remain.
        const size_t closing = rest.size() >= 2 ? rest.rfind(kDollar, rest.size() - 2) : Text::npos;
        Text name;
        if (closing != Text::npos) {
            name.assign(rest.rbegin() + 1, rest.rbegin() + static_cast<std::ptrdiff_t>(rest.size() - 1 - closing));
        }

        std::optional<Text> value;
        if (!name.empty()) {
            const bool inside_own_value =
                std::any_of(regions.begin(), regions.end(), [&](const InsertedRegion& region) {
                    return closing >= region.tail && EqualsNoCase(region.name, name);
                });
            if (!inside_own_value) value = lookup(name);
        }
        if (value) {
            const size_t inserted = value->size() + (quoted ? 2 : 0);
            const size_t reference = name.size() + 2;
            const size_t current = done.size() + rest.size();
            const size_t after = current - reference + inserted;
            const bool fits = after <= kMaxExpandedLength || after <= current;
            if (!fits || inserted > insert_budget) value.reset();
        }
        if (!value) {
            // Leave "$" + name as written; the closing "$" opens the next search.
            const size_t keep = name.size() + 1;
            AppendReversed(done, TextView(rest).substr(rest.size() - keep));
            rest.resize(rest.size() - keep);
            continue;
        }

        rest.resize(closing);
        // A region whose end the reference crossed is over: its text is consumed.
        while (!regions.empty() && regions.back().tail > closing) regions.pop_back();
        insert_budget -= value->size() + (quoted ? 2 : 0);
        if (quoted) rest.push_back(kQuote);
        rest.append(value->rbegin(), value->rend());
        if (quoted) rest.push_back(kQuote);
        regions.push_back({std::move(name), closing});
    }
    return done;
}

// Whether inserting a value of this length for a reference that is the whole text
// keeps within the size and work limits of ExpandScan.
bool WholeReferenceFits(size_t inserted, size_t text_length) {
    return (inserted <= kMaxExpandedLength || inserted <= text_length) && inserted <= kMaxInsertedLength;
}

}  // namespace

Text ExpandWith(TextView text, const ReferenceLookup& lookup, bool quoted) {
    if (text.find(kDollar) == TextView::npos) return Text(text);

    // Fast path for the commonest parameter, a text that is one reference such as
    // "$NAME$": ExpandScan would give the value itself (or the text, when unknown).
    if (text.size() >= 3 && text.front() == kDollar && text.back() == kDollar) {
        const TextView name = text.substr(1, text.size() - 2);
        if (name.find(kDollar) == TextView::npos) {
            std::optional<Text> value = lookup(name);
            if (!value) return Text(text);
            if (value->find(kDollar) == Text::npos) {
                if (!WholeReferenceFits(value->size() + (quoted ? 2 : 0), text.size())) return Text(text);
                if (!quoted) return std::move(*value);
                Text result;
                result.reserve(value->size() + 2);
                result.push_back(kQuote);
                result.append(*value);
                result.push_back(kQuote);
                return result;
            }
            // The value holds references of its own: the full scan, which starts with
            // this same reference and must see the value already read.
            bool first = true;
            return ExpandScan(text, [&](TextView inner) -> std::optional<Text> {
                if (first) {
                    first = false;
                    return std::move(value);
                }
                return lookup(inner);
            }, quoted);
        }
    }
    return ExpandScan(text, lookup, quoted);
}

Text Expand(TextView text, const TVariableManager& store) {
    // Most parameters hold no reference: skip building the lookup function for them.
    if (text.find(kDollar) == TextView::npos) return Text(text);
    return ExpandWith(text, [&store](TextView name) { return store.Lookup(name); }, false);
}

Text ExpandQuoted(TextView text, const TVariableManager& store) {
    if (text.find(kDollar) == TextView::npos) return Text(text);
    return ExpandWith(text, [&store](TextView name) { return store.Lookup(name); }, true);
}

Text DollarFormName(TextView text) {
    if (text.empty() || text.front() != kDollar) return Text();
    const TextView rest = text.substr(1);
    const size_t next = rest.find(kDollar);
    if (next == TextView::npos || next + 1 != rest.size()) return Text();
    return Text(rest.substr(0, next));
}

namespace {

std::optional<Text> BoundValue(TextView name, const TVariableManager& store) {
    const Text inner = DollarFormName(name);
    const std::optional<Text> value = store.Lookup(inner.empty() ? name : TextView(inner));
    if (!value) return std::nullopt;
    return Expand(*value, store);
}

}  // namespace

Text BindingValue(TextView name, const TVariableManager& store) {
    return BoundValue(name, store).value_or(Text(kNoSuchVariable));
}

Text BoundValueOrEmpty(TextView name, const TVariableManager& store) {
    return BoundValue(name, store).value_or(Text());
}

Text LineBreaksToToken(TextView text) {
    return ReplaceAll(text, u"\r\n", kNewLineToken);
}

Text TokenToLineBreaks(TextView text) {
    return ReplaceAllNoCase(text, kNewLineToken, u"\r\n");
}

Text ProtectSpacesInCommaText(TextView text) {
    std::vector<Text> items = ReadCommaText(ReplaceAll(text, u" ", kSpaceSafeToken));
    for (Text& item : items) item = ReplaceAllNoCase(item, kSpaceSafeToken, u" ");
    return WriteCommaText(items);
}

namespace {

// One replacement of every #name# (letter case ignored); false when the result would
// exceed the size limit.
bool ReplaceSetting(Text& text, TextView name, TextView value) {
    Text token;
    token.reserve(name.size() + 2);
    token.push_back(kHash);
    token.append(name);
    token.push_back(kHash);
    if (FindNoCase(text, token) == Text::npos) return true;
    Text out;
    size_t position = 0;
    for (;;) {
        const size_t hit = FindNoCase(text, token, position);
        if (hit == Text::npos) break;
        out.append(text, position, hit - position);
        out.append(value);
        position = hit + token.size();
        if (out.size() > kMaxExpandedLength && out.size() > text.size()) return false;
    }
    out.append(text, position);
    if (out.size() > kMaxExpandedLength && out.size() > text.size()) return false;
    text.swap(out);
    return true;
}

}  // namespace

Text ExpandCompileTime(TextView text, const std::vector<Text>& compile_time_pairs) {
    Text input(text);
    if (input.find(kHash) == Text::npos) return input;
    const size_t settings = compile_time_pairs.size() / 2;
    for (size_t pass = 0; pass <= settings; ++pass) {
        Text result = input;
        for (size_t i = 0; i + 1 < compile_time_pairs.size(); i += 2) {
            if (!ReplaceSetting(result, compile_time_pairs[i], compile_time_pairs[i + 1]))
                return input;
        }
        if (result.find(kHash) == Text::npos || result == input) return result;
        input.swap(result);
    }
    return input;
}

}  // namespace zev

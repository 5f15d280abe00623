// Substitution of variable references into texts, and the other text tokens the engine
// recognises: the dollar form of a variable name, dialog binding values, the line-break
// token, the space token of plug-in parameters and compile-time #NAME# settings.
//
// Expand scans left to right. A reference is a "$", a name and the next "$"; the name is
// looked up without regard to letter case, each lookup taking the store's lock on its
// own. A known reference is replaced by its value (ExpandQuoted: by the value between
// double quotes) and the scan goes on at the start of the inserted value, so references
// inside values are expanded too. An unknown reference stays as written and the scan
// goes on at its closing "$", which may open the next reference. A lone or unterminated
// "$" stays. A text without "$" is returned as it is, without any lookup.
//
// Limits, so that every expansion ends with a bounded result:
// - Self-reference: while a value inserted for NAME is being scanned, a reference to
//   NAME that lies wholly inside that inserted text is left as written (A=$A$x gives
//   "$A$x"; A=$B$ with B=$A$ gives "$A$" for "$A$"). Such a reference could only repeat
//   the same insertion forever, so every expansion that ends by itself, however deep its
//   chain, gives exactly the same result as without this rule. A reference that begins
//   inside an inserted value and closes in the text after it is not affected.
// - Size: a replacement that would make the text longer than kMaxExpandedLength code
//   units (and longer than it already is) is not made; that reference stays as written.
// - Work: one call inserts at most kMaxInsertedLength code units in total; once that is
//   spent, the remaining references stay as written.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "script/text.h"
#include "script/variable_manager.h"

namespace zev {

inline constexpr size_t kMaxExpandedLength = size_t{1} << 22;
inline constexpr size_t kMaxInsertedLength = size_t{1} << 26;

// Returns the value of a variable, or nothing when it does not exist.
using ReferenceLookup = std::function<std::optional<Text>(TextView name)>;

Text ExpandWith(TextView text, const ReferenceLookup& lookup, bool quoted);
Text Expand(TextView text, const TVariableManager& store = Variables());
Text ExpandQuoted(TextView text, const TVariableManager& store = Variables());

// The inner part of a text in dollar form ("$" + name + "$" with no other "$"), else
// the empty text.
Text DollarFormName(TextView text);

// For dialog bindings: the name may be given in dollar form. The expanded value of the
// variable, or "$QUIBNX$" when it does not exist.
inline constexpr char16_t kNoSuchVariable[] = u"$QUIBNX$";
Text BindingValue(TextView name, const TVariableManager& store = Variables());
// The same, with the empty text for a variable that does not exist.
Text BoundValueOrEmpty(TextView name, const TVariableManager& store = Variables());

// Every carriage return + line feed to "$NEWLINE$" and back (the token in any case).
inline constexpr char16_t kNewLineToken[] = u"$NEWLINE$";
Text LineBreaksToToken(TextView text);
Text TokenToLineBreaks(TextView text);

// Re-encodes the parameter text handed to plug-ins so that each space stays inside its
// item: items that contain spaces come out quoted.
inline constexpr char16_t kSpaceSafeToken[] = u"$SPACE_SAFE$";
Text ProtectSpacesInCommaText(TextView text);

// Replaces #NAME# by the value of each compile-time setting, given as a flat list
// name, value, name, value, ... (a trailing odd item is ignored), in list order and
// without regard to letter case, repeating while the result still holds "#" and
// changed. Cycles end: at most one pass more than there are settings is made, and a
// pass whose result would exceed kMaxExpandedLength code units is not made (the text
// before it is returned).
Text ExpandCompileTime(TextView text, const std::vector<Text>& compile_time_pairs);

}  // namespace zev

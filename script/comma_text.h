// Comma text: the one-line encoding of an ordered list of texts used for the store's
// export and import, change-entry fields, native log records and plug-in exchange.
//
// Writing joins the items with ",". An item that contains a space, a character below
// U+0021, a comma or a double quote is written between double quotes with each inner
// double quote doubled; an empty item is written as nothing (a,,b holds three items),
// except that a list of one empty item is written as "" (two double quotes), and an
// empty list as the empty text.
//
// Reading splits at commas outside quotes and also at unquoted spaces and control
// characters, removes the quoting, and skips blanks around separators. A comma at the
// very end adds one empty item. A quote left open runs to the end of the text.
// Every list written by WriteCommaText reads back unchanged.
#pragma once

#include <vector>

#include "script/text.h"

namespace zev {

std::vector<Text> ReadCommaText(TextView text);
Text WriteCommaText(const std::vector<Text>& items);

}  // namespace zev

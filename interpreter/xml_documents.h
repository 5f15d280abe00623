// The XML work of the XML commands on a file's bytes: reading element values along an
// element path, XPath queries, and editing elements and attributes. Files are read and
// written by the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "script/text.h"

namespace zev {

// Element names of an element path (backslash-separated, from the document element
// down); empty names from leading, trailing or doubled backslashes are left out.
std::vector<Text> ElementPathNames(TextView path);

// The values at the elements an element path matches, joined by "$NEWLINE$": each
// match's attribute of that name (a match without it adds nothing), or, without an
// attribute name, its text content with every line feed as "$NEWLINE$". Below the
// document element each level takes the first child of its name in document order; the
// last level matches every child of its name, from the last to the first. Names are
// compared exactly. A document without a matching document element gives the empty text.
Text XmlElementValues(std::string_view document, const std::vector<Text>& names, TextView attribute_name);

// A query that the XPath reader refuses; the interpreter reports it as the statement's
// runtime error.
class XPathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs a chain of XPath expressions separated by "+" from the document element: each
// part selects relative to the first node the part before it selected; a part that
// selects nothing leaves nothing for the rest. The last part's nodes, in selection
// order, each give an item by mode (0 markup, 1 name, 2 value, 3 text content, other
// numbers the empty text), joined by "$NEWLINE$".
Text EvaluateXPathChain(std::string_view document, TextView query, int64_t mode);

enum class XmlEditOperation { Set = 0, Update = 1, Add = 2, Delete = 3, RemoveAttributes = 4 };

struct XmlEdit {
    Text encoding;                 // of the declaration of a new document
    int64_t output_format = 0;     // 0 compact, 1 one element per line, 2 indented by two
    std::vector<Text> names;       // the element path
    Text element_text;             // expanded
    std::vector<std::pair<Text, Text>> attributes;  // expanded names and values
    XmlEditOperation operation = XmlEditOperation::Set;
    bool all_matches = false;
    bool preserve_white_space = false;
};

// The operation of a number; numbers other than 0 to 4 act as Set.
XmlEditOperation EditOperationOf(int64_t number);

// Applies an edit to a document (null: the file does not exist yet) and returns the
// bytes to write back, or nothing when the file is to stay untouched: the document
// element does not match for Update, Delete and RemoveAttributes, an identical element
// exists for Add with all matches, the path is empty, or an existing document cannot be
// parsed (rewriting it would throw away what the parser could not read).
std::optional<std::string> EditXmlDocument(const std::string* existing, const XmlEdit& edit);

}  // namespace zev

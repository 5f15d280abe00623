#include "interpreter/xml_documents.h"

#include <pugixml.hpp>

namespace zev {

namespace {

constexpr TextView kNewLineToken = u"$NEWLINE$";

// Whitespace-only text is kept on the first load, so that an edit saved without
// formatting leaves the layout of the rest of the file as it was.
constexpr unsigned kLoadKeepingWhiteSpace = pugi::parse_full | pugi::parse_ws_pcdata;
constexpr unsigned kLoadDroppingWhiteSpace = pugi::parse_full;

// True when the parser read the whole text; a text without any element counts as an
// empty document.
bool Load(pugi::xml_document& document, std::string_view bytes, unsigned options,
          pugi::xml_encoding encoding = pugi::encoding_auto) {
    const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size(), options, encoding);
    return result.status == pugi::status_ok || result.status == pugi::status_no_document_element;
}

std::string Utf8(TextView text) {
    return ToUtf8(text);
}

Text FromPugi(const char* text) {
    return FromUtf8(text ? text : "");
}

bool NameIs(const pugi::xml_node& node, const std::string& name) {
    return node.type() == pugi::node_element && name == node.name();
}

// The element children with the name, from the last child to the first.
std::vector<pugi::xml_node> ChildrenFromLast(const pugi::xml_node& parent, const std::string& name) {
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node child = parent.last_child(); child; child = child.previous_sibling())
        if (NameIs(child, name)) children.push_back(child);
    return children;
}

void AppendTextContent(const pugi::xml_node& node, std::string& out) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) out += child.value();
        else if (child.type() == pugi::node_element) AppendTextContent(child, out);
    }
}

// The concatenated text of every text and CDATA node below the node.
Text TextContent(const pugi::xml_node& node) {
    switch (node.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi:
            return FromPugi(node.value());
        default: {
            std::string out;
            AppendTextContent(node, out);
            return FromUtf8(out);
        }
    }
}

struct StringWriter final : pugi::xml_writer {
    std::string bytes;
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
};

Text Markup(const pugi::xpath_node& selected) {
    if (const pugi::xml_attribute attribute = selected.attribute()) {
        pugi::xml_document holder;
        holder.append_child("a").append_copy(attribute);
        StringWriter writer;
        holder.first_child().print(writer, "", pugi::format_raw | pugi::format_no_declaration);
        // <a name="value"/> -> name="value"
        const std::string& printed = writer.bytes;
        return FromUtf8(printed.substr(3, printed.size() - 3 - 2));
    }
    StringWriter writer;
    selected.node().print(writer, "", pugi::format_raw | pugi::format_no_declaration);
    return FromUtf8(writer.bytes);
}

Text NodeName(const pugi::xml_node& node) {
    switch (node.type()) {
        case pugi::node_document: return u"#document";
        case pugi::node_pcdata: return u"#text";
        case pugi::node_cdata: return u"#cdata-section";
        case pugi::node_comment: return u"#comment";
        default: return FromPugi(node.name());
    }
}

Text Item(const pugi::xpath_node& selected, int64_t mode) {
    const pugi::xml_attribute attribute = selected.attribute();
    const pugi::xml_node node = selected.node();
    switch (mode) {
        case 0: return Markup(selected);
        case 1: return attribute ? FromPugi(attribute.name()) : NodeName(node);
        case 2:
            if (attribute) return FromPugi(attribute.value());
            return node.type() == pugi::node_element || node.type() == pugi::node_document ? Text()
                                                                                            : FromPugi(node.value());
        case 3: return attribute ? FromPugi(attribute.value()) : TextContent(node);
        default: return Text();
    }
}

Text TrimSpaces(TextView text, bool leading, bool trailing) {
    size_t begin = 0, end = text.size();
    while (leading && begin < end && text[begin] == u' ') ++begin;
    while (trailing && end > begin && text[end - 1] == u' ') --end;
    return Text(text.substr(begin, end - begin));
}

// ---- editing ----

// The encoding a document is saved in, from its declaration.
enum class SaveEncoding { Utf8, Utf16, Latin1 };

SaveEncoding EncodingOf(const pugi::xml_document& document) {
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_declaration) continue;
        const Text name = ToLower(FromPugi(node.attribute("encoding").value()));
        if (name == u"utf-16" || name == u"utf-16le" || name == u"ucs-2" || name == u"unicode") return SaveEncoding::Utf16;
        if (name == u"iso-8859-1" || name == u"latin1" || name == u"latin-1") return SaveEncoding::Latin1;
        break;
    }
    return SaveEncoding::Utf8;
}

// The document as UTF-8 in the output format: 0 as it is, 1 one element per line, 2
// indented by two spaces per level; line breaks that the format adds are CR LF.
std::string SaveUtf8(const pugi::xml_document& document, int64_t format) {
    StringWriter writer;
    if (format == 1 || format == 2) {
        document.save(writer, format == 2 ? "  " : "", pugi::format_indent | pugi::format_no_declaration,
                      pugi::encoding_utf8);
        std::string with_returns;
        with_returns.reserve(writer.bytes.size() + writer.bytes.size() / 16);
        for (size_t index = 0; index < writer.bytes.size(); ++index) {
            const char c = writer.bytes[index];
            if (c == '\n' && (index == 0 || writer.bytes[index - 1] != '\r')) with_returns += '\r';
            with_returns += c;
        }
        return with_returns;
    }
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return writer.bytes;
}

std::string Encode(const std::string& utf8, SaveEncoding encoding) {
    if (encoding == SaveEncoding::Utf8) return utf8;
    const Text text = FromUtf8(utf8);
    std::string bytes;
    if (encoding == SaveEncoding::Utf16) {
        bytes = "\xFF\xFE";
        for (char16_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    }
    for (char16_t c : text) bytes += static_cast<char>(c <= 0xFF ? c : u'?');
    return bytes;
}

class XmlEditor {
public:
    XmlEditor(pugi::xml_document& document, const XmlEdit& edit) : document_(document), edit_(edit) {
        for (const Text& name : edit.names) names_.push_back(Utf8(name));
    }

    // False when the command ends without saving.
    bool Apply() {
        const XmlEditOperation operation = edit_.operation;
        const bool existing_only = operation == XmlEditOperation::Update || operation == XmlEditOperation::Delete ||
                                   operation == XmlEditOperation::RemoveAttributes;
        pugi::xml_node root = document_.document_element();
        if (!root || !NameIs(root, names_[0])) {
            if (existing_only) return false;
            pugi::xml_node replacement = root ? document_.insert_child_before(pugi::node_element, root)
                                              : document_.append_child(pugi::node_element);
            replacement.set_name(names_[0].c_str());
            if (root) document_.remove_child(root);
            root = replacement;
        }
        std::vector<pugi::xml_node> matches;
        if (names_.size() == 1) {
            if (operation == XmlEditOperation::Delete) {
                document_.remove_child(root);
                return true;
            }
            matches.push_back(root);
        } else if (!Walk(root, matches)) {
            return false;
        }
        for (pugi::xml_node& match : matches) Change(match);
        return true;
    }

private:
    // Walks the levels below the document element, collecting the matches of the last
    // level; false when an identical element makes Add end without saving.
    bool Walk(pugi::xml_node current, std::vector<pugi::xml_node>& matches) {
        const XmlEditOperation operation = edit_.operation;
        const bool existing_only = operation == XmlEditOperation::Update || operation == XmlEditOperation::Delete ||
                                   operation == XmlEditOperation::RemoveAttributes;
        for (size_t level = 1; level < names_.size(); ++level) {
            const bool last = level + 1 == names_.size();
            pugi::xml_node found;
            for (pugi::xml_node& child : ChildrenFromLast(current, names_[level])) {
                if (last && operation == XmlEditOperation::Delete) {
                    if (!Equals(child)) continue;
                    current.remove_child(child);
                    if (!edit_.all_matches) break;
                    continue;
                }
                if (last && operation == XmlEditOperation::Add) {
                    if (!edit_.all_matches) break;
                    if (Equals(child)) return false;
                    continue;
                }
                found = child;
                if (last) matches.push_back(child);
                if (!edit_.all_matches) break;
            }
            if (!found) {
                if (existing_only) return true;
                found = current.append_child(names_[level].c_str());
                if (last) matches.push_back(found);
            }
            current = found;
        }
        return true;
    }

    // Whether an element holds exactly the edit's text and attributes.
    bool Equals(const pugi::xml_node& element) const {
        if (ReplaceAll(TextContent(element), u"\n", u"\r\n") != edit_.element_text) return false;
        size_t count = 0;
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute())
            ++count;
        if (count != edit_.attributes.size()) return false;
        for (const auto& [name, value] : edit_.attributes) {
            const pugi::xml_attribute attribute = element.attribute(Utf8(name).c_str());
            if (!attribute || FromPugi(attribute.value()) != value) return false;
        }
        return true;
    }

    void Change(pugi::xml_node& match) const {
        const XmlEditOperation operation = edit_.operation;
        const bool removing = operation == XmlEditOperation::Delete || operation == XmlEditOperation::RemoveAttributes;
        if (!edit_.element_text.empty() && !removing) {
            while (match.first_child()) match.remove_child(match.first_child());
            match.append_child(pugi::node_pcdata).set_value(Utf8(edit_.element_text).c_str());
        }
        if (edit_.attributes.empty() && operation == XmlEditOperation::RemoveAttributes) match.remove_attributes();
        for (const auto& [name, value] : edit_.attributes) {
            const std::string attribute_name = Utf8(name);
            if (attribute_name.empty()) continue;
            if (pugi::xml_attribute attribute = match.attribute(attribute_name.c_str())) {
                if (removing) match.remove_attribute(attribute);
                else if (operation != XmlEditOperation::Add) attribute.set_value(Utf8(value).c_str());
            } else if (operation == XmlEditOperation::Set || operation == XmlEditOperation::Add) {
                match.append_attribute(attribute_name.c_str()).set_value(Utf8(value).c_str());
            }
        }
    }

    pugi::xml_document& document_;
    const XmlEdit& edit_;
    std::vector<std::string> names_;
};

}  // namespace

std::vector<Text> ElementPathNames(TextView path) {
    std::vector<Text> names;
    for (Text& name : Split(path, u'\\'))
        if (!name.empty()) names.push_back(std::move(name));
    return names;
}

Text XmlElementValues(std::string_view bytes, const std::vector<Text>& names, TextView attribute_name) {
    pugi::xml_document document;
    Load(document, bytes, kLoadKeepingWhiteSpace);
    const pugi::xml_node root = document.document_element();
    if (!root || names.empty() || !NameIs(root, Utf8(names[0]))) return Text();
    std::vector<pugi::xml_node> matches;
    if (names.size() == 1) {
        matches.push_back(root);
    } else {
        pugi::xml_node current = root;
        for (size_t level = 1; level + 1 < names.size(); ++level) {
            const std::vector<pugi::xml_node> children = ChildrenFromLast(current, Utf8(names[level]));
            if (children.empty()) return Text();
            current = children.back();
        }
        matches = ChildrenFromLast(current, Utf8(names.back()));
    }
    const std::string attribute = Utf8(attribute_name);
    Text result;
    for (const pugi::xml_node& match : matches) {
        Text contribution;
        if (!attribute.empty()) {
            const pugi::xml_attribute found = match.attribute(attribute.c_str());
            if (!found) continue;
            contribution = FromPugi(found.value());
        } else {
            contribution = ReplaceAll(TextContent(match), u"\n", kNewLineToken);
        }
        if (!result.empty()) result += kNewLineToken;
        result += contribution;
    }
    return result;
}

Text EvaluateXPathChain(std::string_view bytes, TextView query, int64_t mode) {
    pugi::xml_document document;
    Load(document, bytes, kLoadKeepingWhiteSpace);
    const pugi::xml_node root = document.document_element();
    if (!root) return Text();
    const std::vector<Text> parts = Split(query, u'+');
    pugi::xpath_node context(root);
    pugi::xpath_node_set selected;
    for (size_t index = 0; index < parts.size(); ++index) {
        const Text part = TrimSpaces(parts[index], index > 0, index + 1 < parts.size());
        try {
            const pugi::xpath_query compiled(Utf8(part).c_str());
            selected = compiled.evaluate_node_set(context);
            selected.sort();  // selection order is document order, whatever the axis
        } catch (const pugi::xpath_exception& failure) {
            throw XPathError("Invalid XPath query '" + Utf8(part) + "': " + failure.what());
        }
        if (selected.empty()) return Text();
        context = selected.first();
    }
    Text result;
    for (size_t index = 0; index < selected.size(); ++index) {
        if (index) result += kNewLineToken;
        result += Item(selected[index], mode);
    }
    return result;
}

XmlEditOperation EditOperationOf(int64_t number) {
    return number >= 0 && number <= 4 ? static_cast<XmlEditOperation>(number) : XmlEditOperation::Set;
}

std::optional<std::string> EditXmlDocument(const std::string* existing, const XmlEdit& edit) {
    if (edit.names.empty()) return std::nullopt;
    pugi::xml_document document;
    if (existing) {
        if (!Load(document, *existing, kLoadKeepingWhiteSpace)) return std::nullopt;
    } else {
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version").set_value("1.0");
        declaration.append_attribute("encoding").set_value(Utf8(edit.encoding).c_str());
    }
    if (!XmlEditor(document, edit).Apply()) return std::nullopt;
    std::string saved = SaveUtf8(document, edit.output_format);
    if (edit.output_format != 0 && !edit.preserve_white_space) {
        pugi::xml_document reloaded;
        Load(reloaded, saved, kLoadDroppingWhiteSpace, pugi::encoding_utf8);
        saved = SaveUtf8(reloaded, edit.output_format);
    }
    return Encode(saved, EncodingOf(document));
}

}  // namespace zev

// The XML commands: values along an element path, XPath queries and edits of elements
// and attributes. Missing files give empty results; edits write the file back at once.
#include "interpreter/file_commands.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "interpreter/xml_documents.h"
#include "script/comma_text.h"

namespace zev {

namespace {

// The file's bytes, or nothing when it does not exist or cannot be read.
std::optional<std::string> ReadExisting(FileSystem& files, TextView path) {
    if (!files.FileExists(path)) return std::nullopt;
    return files.ReadWholeFile(path);
}

// The first name path + ".backup. " + n (n from 0) that no file has.
Text BackupName(FileSystem& files, TextView path) {
    for (int64_t number = 0;; ++number) {
        const Text candidate = Text(path) + u".backup. " + FromInt(number);
        if (!files.FileExists(candidate)) return candidate;
    }
}

// The attribute list: a comma text of comma texts (name, value), each name and value
// expanded after the splitting.
std::vector<std::pair<Text, Text>> AttributeList(const TVariableManager& variables, TextView list) {
    std::vector<std::pair<Text, Text>> attributes;
    for (const Text& item : ReadCommaText(list)) {
        const std::vector<Text> pair = ReadCommaText(item);
        attributes.emplace_back(variables.Expand(pair.empty() ? Text() : pair[0]),
                                variables.Expand(pair.size() > 1 ? pair[1] : Text()));
    }
    return attributes;
}

}  // namespace

namespace file_commands {

void GetXmlFileSettings(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::Plain);
    CreateIfMissing(interpreter, result_name);
    const Text path = CleanedPathParameter(interpreter, 2);
    const std::vector<Text> names = ElementPathNames(CleanedPathParameter(interpreter, 3));
    const Text attribute_name = interpreter.Expanded(4);
    std::optional<std::string> bytes;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        bytes = ReadExisting(interpreter.platform().files, path);
    }
    StoreResult(interpreter, result_name, bytes ? XmlElementValues(*bytes, names, attribute_name) : Text());
}

void EvaluateXPathQuery(Interpreter& interpreter) {
    const Text path = CleanedPathParameter(interpreter, 1);
    const Text query = CleanedPathParameter(interpreter, 2);
    const Text result_name = NameParameter(interpreter, 3, NameForm::Plain);
    CreateIfMissing(interpreter, result_name);
    const int64_t mode = IntegerParameter(interpreter, 4);
    std::optional<std::string> bytes;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        bytes = ReadExisting(interpreter.platform().files, path);
    }
    Text result;
    if (bytes) {
        try {
            result = EvaluateXPathChain(*bytes, query, mode);
        } catch (const XPathError& failure) {
            throw ScriptError(failure.what());
        }
    }
    StoreResult(interpreter, result_name, result);
}

void EditXmlFile(Interpreter& interpreter) {
    const Text path = CleanedPathParameter(interpreter, 1);
    XmlEdit edit;
    edit.encoding = interpreter.Parameter(2);
    edit.output_format = IntegerParameter(interpreter, 3);
    edit.names = ElementPathNames(CleanedPathParameter(interpreter, 4));
    edit.element_text = interpreter.Expanded(5);
    edit.attributes = AttributeList(interpreter.variables(), interpreter.Parameter(6));
    edit.operation = EditOperationOf(IntegerParameter(interpreter, 7));
    edit.all_matches = FlagParameter(interpreter, 8);
    edit.preserve_white_space = FlagParameter(interpreter, 9);
    const bool backup = FlagParameter(interpreter, 10);

    const auto redirection = RedirectionForBitnessMode(interpreter);
    FileSystem& files = interpreter.platform().files;
    const bool exists = files.FileExists(path);
    std::optional<std::string> bytes;
    if (exists) {
        if (backup) files.CopyFile(path, BackupName(files, path), false);
        bytes = files.ReadWholeFile(path);
        // A file that is there but cannot be read is not replaced by a new document.
        if (!bytes) return;
    }
    const std::optional<std::string> saved = EditXmlDocument(bytes ? &*bytes : nullptr, edit);
    if (!saved) return;
    if (const PlatformStatus written = files.WriteWholeFile(path, *saved); !written.ok())
        throw ScriptError(u"Cannot create file \"" + path + u"\". " + written.message);
}

}  // namespace file_commands

}  // namespace zev

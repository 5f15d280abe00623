// The XML commands: element values along a path, XPath chains and edits, on documents
// in memory and through scripts on the fake platform.
#include <gtest/gtest.h>

#include "interpreter/xml_documents.h"
#include "tests/unit/command_script.h"

namespace zev {
namespace {

using testing::CommandScript;
using testing::RuntimeErrorReport;

const std::string kItems =
    "<?xml version=\"1.0\"?>\n"
    "<root>\n"
    "  <settings mode=\"fast\"><item id=\"a\">1</item><item>2</item><item id=\"c\">3</item></settings>\n"
    "  <settings><item>second block</item></settings>\n"
    "  <note>line one\nline two</note>\n"
    "</root>\n";

TEST(XmlElementValues, FollowsThePathAndCollectsTheLastLevelFromTheLastChild) {
    const struct {
        const char16_t* path;
        const char16_t* attribute;
        const char16_t* expected;
    } cases[] = {
        {u"root\\settings\\item", u"", u"3$NEWLINE$2$NEWLINE$1"},
        {u"\\root\\\\settings\\item\\", u"", u"3$NEWLINE$2$NEWLINE$1"},
        {u"root\\settings\\item", u"id", u"c$NEWLINE$a"},
        {u"root\\settings", u"mode", u"fast"},
        {u"root\\note", u"", u"line one$NEWLINE$line two"},
        {u"Root\\settings\\item", u"", u""},
        {u"root\\Settings\\item", u"", u""},
        {u"root\\missing\\item", u"", u""},
        {u"root\\settings\\item", u"missing", u""},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.path));
        EXPECT_EQ(XmlElementValues(kItems, ElementPathNames(c.path), c.attribute), c.expected);
    }
    EXPECT_EQ(XmlElementValues("", ElementPathNames(u"root"), u""), u"");
}

const std::string kLibrary =
    "<library><a name=\"first\"><b>one</b><c/><b kind=\"x\">two</b></a>"
    "<a name=\"second\"><b>three</b></a><!--note--></library>";

TEST(XPathChain, SelectsRelativeToTheFirstNodeOfEachPart) {
    const struct {
        const char16_t* query;
        int64_t mode;
        const char16_t* expected;
    } cases[] = {
        {u"//a + b", 1, u"b$NEWLINE$b"},
        {u"//a+b", 3, u"one$NEWLINE$two"},
        {u"//a   +   b[@kind]", 0, u"<b kind=\"x\">two</b>"},
        {u"a[2] + b", 3, u"three"},
        {u"a/@name", 2, u"first$NEWLINE$second"},
        {u"a/@name", 0, u"name=\"first\"$NEWLINE$name=\"second\""},
        {u"a/@name", 1, u"name$NEWLINE$name"},
        {u"a", 2, u"$NEWLINE$"},
        {u"a[1]/b/text()", 1, u"#text$NEWLINE$#text"},
        {u"comment()", 2, u"note"},
        {u"a", 7, u"$NEWLINE$"},
        {u"//missing + b", 1, u""},
        {u"a[1] + missing + b", 1, u""},
        {u".", 1, u"library"},
        {u"a[2]/b/ancestor::* + @name", 2, u""},
        {u"a[2]/b/ancestor-or-self::* + b", 3, u""},
        {u"a[2]/b/ancestor::a + b", 3, u"three"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.query));
        EXPECT_EQ(EvaluateXPathChain(kLibrary, c.query, c.mode), c.expected);
    }
    EXPECT_EQ(EvaluateXPathChain("<!-- no element -->", u"//a", 1), u"");
    EXPECT_THROW(EvaluateXPathChain(kLibrary, u"a[", 1), XPathError);
}

XmlEdit MakeEdit(TextView path, XmlEditOperation operation, std::vector<std::pair<Text, Text>> attributes = {},
                 TextView text = u"", bool all_matches = false) {
    XmlEdit edit;
    edit.encoding = u"UTF-8";
    edit.names = ElementPathNames(path);
    edit.operation = operation;
    edit.attributes = std::move(attributes);
    edit.element_text = Text(text);
    edit.all_matches = all_matches;
    return edit;
}

TEST(XmlEdit, SetCreatesADocumentWithItsDeclaration) {
    const std::optional<std::string> saved =
        EditXmlDocument(nullptr, MakeEdit(u"config\\app", XmlEditOperation::Set, {{u"name", u"x"}}));
    EXPECT_EQ(saved, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><app name=\"x\"/></config>");
}

TEST(XmlEdit, OperationsAtTheElementsOfThePath) {
    const std::string document =
        "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other/></config>";
    const struct {
        const char* name;
        XmlEdit edit;
        std::optional<std::string> expected;
    } cases[] = {
        {"set takes the last element of the name and adds missing attributes",
         MakeEdit(u"config\\app", XmlEditOperation::Set, {{u"name", u"z"}, {u"new", u"n"}}, u"text"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"z\" new=\"n\">text</app><other/></config>"},
        {"set with all matches changes every element",
         MakeEdit(u"config\\app", XmlEditOperation::Set, {{u"size", u"9"}}, u"", true),
         "<config><app name=\"x\" size=\"9\">old</app><app name=\"y\" size=\"9\">keep</app><other/></config>"},
        {"set creates missing levels", MakeEdit(u"config\\other\\deep", XmlEditOperation::Set, {}, u"v"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other><deep>v</deep></other>"
         "</config>"},
        {"update changes only what exists",
         MakeEdit(u"config\\app", XmlEditOperation::Update, {{u"name", u"w"}, {u"size", u"2"}}, u"t"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"w\">t</app><other/></config>"},
        {"update of a missing last element still rewrites",
         MakeEdit(u"config\\none", XmlEditOperation::Update, {{u"a", u"b"}}, u"t"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other/></config>"},
        {"update under another document element saves nothing",
         MakeEdit(u"settings\\app", XmlEditOperation::Update, {}, u"t"), std::nullopt},
        {"add appends a new last element",
         MakeEdit(u"config\\app", XmlEditOperation::Add, {{u"name", u"y"}}, u"keep"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other/><app name=\"y\">keep</app>"
         "</config>"},
        {"add with all matches and an identical element saves nothing",
         MakeEdit(u"config\\app", XmlEditOperation::Add, {{u"name", u"y"}}, u"keep", true), std::nullopt},
        {"add with all matches and no identical element appends",
         MakeEdit(u"config\\app", XmlEditOperation::Add, {{u"name", u"y"}}, u"other", true),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other/><app name=\"y\">other</app>"
         "</config>"},
        {"delete removes the identical element only",
         MakeEdit(u"config\\app", XmlEditOperation::Delete, {{u"name", u"x"}, {u"size", u"1"}}, u"old"),
         "<config><app name=\"y\">keep</app><other/></config>"},
        {"delete needs the same attribute count",
         MakeEdit(u"config\\app", XmlEditOperation::Delete, {{u"name", u"x"}}, u"old"),
         "<config><app name=\"x\" size=\"1\">old</app><app name=\"y\">keep</app><other/></config>"},
        {"delete of the document element", MakeEdit(u"config", XmlEditOperation::Delete), ""},
        {"remove attributes listed",
         MakeEdit(u"config\\app", XmlEditOperation::RemoveAttributes, {{u"name", u""}}, u"ignored", true),
         "<config><app size=\"1\">old</app><app>keep</app><other/></config>"},
        {"remove every attribute", MakeEdit(u"config\\app", XmlEditOperation::RemoveAttributes, {}, u""),
         "<config><app name=\"x\" size=\"1\">old</app><app>keep</app><other/></config>"},
        {"set under another document element replaces it",
         MakeEdit(u"settings\\app", XmlEditOperation::Set, {}, u"v"), "<settings><app>v</app></settings>"},
        {"an empty path changes nothing", MakeEdit(u"\\\\", XmlEditOperation::Set, {}, u"v"), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EditXmlDocument(&document, c.edit), c.expected);
    }
}

TEST(XmlEdit, OutputFormatsAndWhiteSpace) {
    const std::string document = "<?xml version=\"1.0\"?>\n<a>\n  <b>x</b>\n</a>\n";
    XmlEdit edit = MakeEdit(u"a\\c", XmlEditOperation::Set, {}, u"y");
    edit.output_format = 0;
    EXPECT_EQ(EditXmlDocument(&document, edit), "<?xml version=\"1.0\"?><a>\n  <b>x</b>\n<c>y</c></a>");
    edit.output_format = 1;
    EXPECT_EQ(EditXmlDocument(&document, edit), "<?xml version=\"1.0\"?>\r\n<a>\r\n<b>x</b>\r\n<c>y</c>\r\n</a>\r\n");
    edit.output_format = 2;
    EXPECT_EQ(EditXmlDocument(&document, edit),
              "<?xml version=\"1.0\"?>\r\n<a>\r\n  <b>x</b>\r\n  <c>y</c>\r\n</a>\r\n");
}

TEST(XmlEdit, EqualityComparesTextWithCarriageReturns) {
    const std::string document = "<a><b>one\ntwo</b></a>";
    EXPECT_EQ(EditXmlDocument(&document, MakeEdit(u"a\\b", XmlEditOperation::Delete, {}, u"one\r\ntwo")),
              "<a/>");
    EXPECT_EQ(EditXmlDocument(&document, MakeEdit(u"a\\b", XmlEditOperation::Delete, {}, u"one\ntwo")),
              "<a><b>one\ntwo</b></a>");
}

TEST(XmlEdit, AnUnparsableDocumentIsLeftAlone) {
    const std::string broken = "<config><app name=\"x\"></config>";
    EXPECT_EQ(EditXmlDocument(&broken, MakeEdit(u"config\\app", XmlEditOperation::Set, {{u"a", u"b"}})),
              std::nullopt);
}

TEST(XmlEdit, SavesInTheDeclaredEncoding) {
    XmlEdit edit = MakeEdit(u"r", XmlEditOperation::Set, {}, u"\u00E9");
    edit.encoding = u"UTF-16";
    const std::optional<std::string> saved = EditXmlDocument(nullptr, edit);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->substr(0, 4), std::string("\xFF\xFE<\0", 4));
    const std::string reread_source = *saved;
    EXPECT_EQ(XmlElementValues(reread_source, {u"r"}, u""), u"\u00E9");
}

// ---- the commands ----

TEST(XmlCommands, GetXmlFileSettingsReadsAFile) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\items.xml", kItems);
    script.Set(u"ELEMENT", u"item");
    script.Add(u"Get XML File Settings", {u"VALUES", u"C:\\\\App\\items.xml", u"root\\settings\\$ELEMENT$", u""});
    script.Add(u"Get XML File Settings", {u"IDS", u"C:\\App\\items.xml", u"root\\settings\\item", u"id"});
    script.Add(u"Get XML File Settings", {u"NONE", u"C:\\App\\missing.xml", u"root", u""});
    script.Run();
    EXPECT_EQ(script.Value(u"VALUES"), u"3$NEWLINE$2$NEWLINE$1");
    EXPECT_EQ(script.Value(u"IDS"), u"c$NEWLINE$a");
    EXPECT_TRUE(script.Exists(u"NONE"));
    EXPECT_EQ(script.Value(u"NONE"), u"");
}

TEST(XmlCommands, EvaluateXPathQueryStoresItemsAndReportsABadMode) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\library.xml", kLibrary);
    script.Add(u"Evaluate XPath Query", {u"C:\\App\\library.xml", u"//a + b", u"NAMES", u"1"});
    script.Add(u"Evaluate XPath Query", {u"C:\\App\\missing.xml", u"//a", u"MISSING", u"1"});
    const size_t failing = script.Add(u"Evaluate XPath Query", {u"C:\\App\\library.xml", u"//a", u"BAD", u"one"});
    script.Set(u"AFTER", u"reached");
    script.Run({});
    EXPECT_EQ(script.Value(u"NAMES"), u"b$NEWLINE$b");
    EXPECT_TRUE(script.Exists(u"MISSING"));
    EXPECT_EQ(script.Messages(), std::vector<Text>{RuntimeErrorReport(failing, u"'one' is not a valid integer value")});
    EXPECT_FALSE(script.Exists(u"AFTER"));
}

TEST(XmlCommands, EvaluateXPathQueryReportsAnInvalidQuery) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\library.xml", kLibrary);
    const size_t failing = script.Add(u"Evaluate XPath Query", {u"C:\\App\\library.xml", u"a[", u"BAD", u"1"});
    script.Run({});
    ASSERT_EQ(script.Messages().size(), 1u);
    EXPECT_TRUE(script.Messages()[0].starts_with(RuntimeErrorReport(failing, u"Invalid XPath query 'a['")))
        << ToUtf8(script.Messages()[0]);
}

TEST(XmlCommands, EditXmlFileCreatesAFileAndExpandsTheAttributeList) {
    CommandScript script;
    script.fake.files.CreateFolderTree(u"C:\\App");
    script.Set(u"ATTRIBUTE", u"name");
    script.Set(u"VALUE", u"x,y");
    script.Add(u"Edit XML File", {u"C:\\App\\new.xml", u"UTF-8", u"0", u"config\\app", u"", u"\"$ATTRIBUTE$,$VALUE$\"",
                                  u"0", u"FALSE", u"FALSE", u"FALSE"});
    script.Run();
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\App\\new.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><app name=\"x,y\"/></config>");
}

TEST(XmlCommands, EditXmlFileBacksUpToTheFirstFreeName) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\a.xml", "<a/>");
    script.fake.files.AddFile(u"C:\\App\\a.xml.backup. 0", "older backup");
    script.Add(u"Edit XML File", {u"C:\\App\\a.xml", u"UTF-8", u"0", u"a\\b", u"v", u"", u"0", u"FALSE", u"FALSE",
                                  u"TRUE"});
    script.Run();
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\App\\a.xml.backup. 0"), "older backup");
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\App\\a.xml.backup. 1"), "<a/>");
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\App\\a.xml"), "<a><b>v</b></a>");
}

TEST(XmlCommands, EditXmlFileReportsNonIntegerNumbersAndFailedSaves) {
    const struct {
        const char16_t* format;
        const char16_t* operation;
        const char16_t* path;
        const char16_t* message;
    } cases[] = {
        {u"x", u"0", u"C:\\App\\a.xml", u"'x' is not a valid integer value"},
        {u"0", u"", u"C:\\App\\a.xml", u"'' is not a valid integer value"},
        {u"0", u"0", u"C:\\Nowhere\\a.xml",
         u"Cannot create file \"C:\\Nowhere\\a.xml\". The system cannot find the path specified."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.message));
        CommandScript script;
        script.fake.files.CreateFolderTree(u"C:\\App");
        const size_t failing = script.Add(
            u"Edit XML File", {c.path, u"UTF-8", c.format, u"a\\b", u"v", u"", c.operation, u"", u"", u""});
        script.Run({});
        EXPECT_EQ(script.Messages(), std::vector<Text>{RuntimeErrorReport(failing, c.message)});
    }
}

}  // namespace
}  // namespace zev

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/setup_log.h"
#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

// UTF-16LE bytes of an ASCII or BMP text given as UTF-16.
std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(SetupLog, ReadsUtf16LeLinesEndedByCrLf) {
    struct Case { std::u16string text; std::vector<std::string> lines; };
    const Case cases[] = {
        {u"", {}},
        {u"<Quorvane>\r\n", {"<Quorvane>"}},
        {u"<Quorvane>\r\n    <SupportDir>\r\n\r\n</Quorvane>\r\n", {"<Quorvane>", "    <SupportDir>", "", "</Quorvane>"}},
        {u"Grüße € \U0001F600\r\n", {"Grüße € \xF0\x9F\x98\x80"}},
        {u"tab\there \r\n", {"tab\there "}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSetupLog(Utf16Bytes(c.text)), c.lines);
}

TEST(SetupLog, RejectsEveryBreakOfTheFormat) {
    struct Case { std::string bytes; std::string message; };
    const Case cases[] = {
        {"\xFF\xFE" + Utf16Bytes(u"<Quorvane>\r\n"), "setup log: byte-order mark at byte offset 0"},
        {Utf16Bytes(u"<Quorvane>\r\n") + "x", "setup log: odd length, not UTF-16 at byte offset 24"},
        {Utf16Bytes(u"a\nb\r\n"), "setup log: LF without CR at byte offset 2"},
        {Utf16Bytes(u"a\rb\r\n"), "setup log: CR without LF at byte offset 2"},
        {Utf16Bytes(u"a\r\nlast"), "setup log: text after the last CR LF at byte offset 6"},
        {Utf16Bytes(u"a\r"), "setup log: CR without LF at byte offset 2"},
        {Utf16Bytes(u"x") + std::string("\x00\xD8", 2) + Utf16Bytes(u"y\r\n"), "setup log: unpaired high surrogate at byte offset 2"},
        {std::string("\x00\xDC", 2) + Utf16Bytes(u"\r\n"), "setup log: unpaired low surrogate at byte offset 0"},
        {"<Quorvane>\r\n", "setup log: text after the last CR LF at byte offset 0"},  // 8-bit text
    };
    for (const auto& c : cases) {
        try {
            ParseSetupLog(c.bytes);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

TEST(SetupLog, ReadsAFileAndReportsAMissingOne) {
    const auto folder = WorkFolder() / "scratch" / "setup-log";
    std::filesystem::create_directories(folder);
    const std::string bytes = Utf16Bytes(u"<Quorvane>\r\n</Quorvane>\r\n");
    std::ofstream(folder / "setup.log", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(ReadSetupLog(folder / "setup.log"), (std::vector<std::string>{"<Quorvane>", "</Quorvane>"}));
    EXPECT_THROW(ReadSetupLog(folder / "missing.log"), std::runtime_error);
}

}  // namespace
}  // namespace zev::e2e

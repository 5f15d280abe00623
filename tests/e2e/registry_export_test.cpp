#include <gtest/gtest.h>

#include "tests/e2e/registry_export.h"

namespace zev::e2e {
namespace {

// As `reg export` writes it (after UTF-16 decoding), long hex data wrapped.
constexpr char kExport[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\QuorvaneTest]\r\n"
    "@=\"def\"\r\n"
    "\"D\"=dword:0000013a\r\n"
    "\"E\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"Na me\"=\"Grüße € \\\"q\\\" C:\\\\x\\\\\"\r\n"
    "\"Lines\"=\"a\\nb\"\r\n"
    "\"Bin\"=hex:01,ff,\\\r\n"
    "  80\r\n"
    "\"Q\"=hex(b):01,00,00,00,01,00,00,00\r\n"
    "\"Raw\"=hex(0):\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\QuorvaneTest\\Sub]\r\n"
    "\"M\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\QuorvaneTest\\Sub\\Deeper]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\QuorvaneTest\\Other]\r\n";

TEST(RegistryExport, ReadsEveryValueForm) {
    const auto key = ParseRegistryExport(kExport, "hkcu\\software\\quorvanetest");
    ASSERT_TRUE(key.has_value());
    struct Case { const char* name; RegistryType type; std::string text; std::uint64_t number; };
    const Case cases[] = {
        {"", RegistryType::String, "def", 0},
        {"d", RegistryType::Dword, "", 314},
        {"E", RegistryType::ExpandString, "%TEMP%\\x", 0},
        {"Empty", RegistryType::String, "", 0},
        {"Na me", RegistryType::String, "Grüße € \"q\" C:\\x\\", 0},
        {"Lines", RegistryType::String, "a\nb", 0},
        {"Bin", RegistryType::Binary, "", 0},
        {"Q", RegistryType::Qword, "", 0x100000001ull},
        {"Raw", RegistryType::Other, "", 0},
    };
    ASSERT_EQ(key->values.size(), std::size(cases));
    for (const auto& c : cases) {
        const RegistryValue* value = key->Find(c.name);
        ASSERT_NE(value, nullptr) << c.name;
        EXPECT_EQ(value->type, c.type) << c.name;
        EXPECT_EQ(value->text, c.text) << c.name;
        EXPECT_EQ(value->number, c.number) << c.name;
    }
    EXPECT_EQ(key->Find("Bin")->data, (std::vector<std::uint8_t>{0x01, 0xFF, 0x80}));
    EXPECT_EQ(key->Find("Raw")->raw_type, 0);
    EXPECT_EQ(key->subkeys, (std::vector<std::string>{"Sub", "Other"}));
    EXPECT_EQ(key->Find("Missing"), nullptr);

    const auto sub = ParseRegistryExport(kExport, "HKEY_CURRENT_USER\\Software\\QuorvaneTest\\Sub\\");
    ASSERT_TRUE(sub.has_value());
    ASSERT_EQ(sub->values.size(), 1u);
    EXPECT_EQ(sub->values[0].second.type, RegistryType::MultiString);
    EXPECT_EQ(sub->values[0].second.strings, (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(sub->subkeys, std::vector<std::string>{"Deeper"});

    const auto other = ParseRegistryExport(kExport, "HKCU\\Software\\QuorvaneTest\\Other");
    ASSERT_TRUE(other.has_value());
    EXPECT_TRUE(other->values.empty());
    EXPECT_EQ(ParseRegistryExport(kExport, "HKCU\\Software\\QuorvaneTes"), std::nullopt);
    EXPECT_EQ(ParseRegistryExport(kExport, "HKLM\\Software\\QuorvaneTest"), std::nullopt);
}

TEST(RegistryExport, RefusesLinesItCannotRead) {
    const char* const broken[] = {
        "[HKEY_CURRENT_USER\\X\r\n",
        "[HKEY_CURRENT_USER\\X]\r\n\"a\"=dword:13a\r\n",
        "[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:1,02\r\n",
        "[HKEY_CURRENT_USER\\X]\r\n\"a\"=\"open\r\n",
        "[HKEY_CURRENT_USER\\X]\r\n\"a\"\"b\"\r\n",
        "[HKEY_CURRENT_USER\\X]\r\n\"a\"=text\r\n",
    };
    for (const char* text : broken) {
        EXPECT_THROW(ParseRegistryExport(text, "HKCU\\X"), std::runtime_error) << text;
    }
}

}  // namespace
}  // namespace zev::e2e

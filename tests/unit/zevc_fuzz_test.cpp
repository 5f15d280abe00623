// Random and mutated inputs: zevc and the loader must answer every one with their own
// error or a result, never with a crash, a foreign exception or an endless loop.
#include <gtest/gtest.h>

#include <random>

#include "script/pe_image.h"
#include "script/script_writer.h"
#include "tools/zevc/script_compiler.h"
#include "tools/zevc/script_decompiler.h"
#include "tools/zevc/source_reader.h"
#include "tools/zevc/zevc_cli.h"

namespace zev::zevc {
namespace {

const std::string kSeedSource =
    "# seed\n"
    "@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n"
    "@revision-code {9C0E8A61-57B2-4D3F-8E1A-6F2B4C7D9E03}\n"
    "@title \"Hello \"\"x\"\"\"\n"
    "@web-media-password \"Web1\" \"pw\"\n"
    "@component-size \"MAIN\" 10\n"
    "@files \"COPY1\"\n@file \"a\" \"b\"\n"
    "[id {B73F2FC3-582F-42C9-B042-E454FB76E4DC}, media \"W\\\", header \"H\"] Copy Files \"a\" <U+0009>\"b\"\n"
    "If (\n  \"A\" \"0\"\n  \"$\" \"\"\n)\n"
    "[disabled] Display Dialog \"x\"\n"
    "End\n";

// Bytes that tend to matter to the readers.
const char kInteresting[] = "\"<>[](),#@$*\\\r\n\t U+{}-0123456789abcdefABCDEF\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xFF";

std::string Mutate(std::string text, std::mt19937& random) {
    std::uniform_int_distribution<int> edits(1, 6);
    const int count = edits(random);
    for (int k = 0; k < count; ++k) {
        const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        const char byte = random() % 3 == 0 ? static_cast<char>(random() % 256)
                                            : kInteresting[random() % (sizeof kInteresting - 1)];
        switch (random() % 4) {
            case 0: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), byte); break;
            case 1: if (at < text.size()) text.erase(at, 1 + random() % 8); break;
            case 2: if (at < text.size()) text[at] = byte; break;
            default: text = text.substr(0, at); break;
        }
    }
    return text;
}

TEST(ZevcFuzz, SourceReaderAndCompilerOnlyReportSourceErrors) {
    std::mt19937 random(20261211);
    size_t compiled = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string source = Mutate(kSeedSource, random);
        try {
            const std::string script = CompileToBytes(source, "fuzz.zev");
            ++compiled;
            // Whatever compiles, loads and decompiles back to itself.
            StatementTable table;
            table.LoadFromBytes(script);
            const std::string again = CompileToBytes(DecompileScript(ReadScriptSections(script)), "other.zev");
            EXPECT_EQ(again, script) << source;
        } catch (const SourceError& error) {
            // The message must render with its line and caret.
            EXPECT_FALSE(FormatSourceError("fuzz.zev", source, error).empty());
        } catch (const std::exception& error) {
            ADD_FAILURE() << "unexpected exception " << error.what() << " for:\n" << source;
        }
    }
    EXPECT_GT(compiled, 0u);
}

TEST(ZevcFuzz, LoaderAndDecompilerSurviveMutatedScripts) {
    const std::string seed = CompileToBytes(kSeedSource, "C:\\p\\setup.zev");
    std::mt19937 random(4242);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = Mutate(seed, random);
        StatementTable table;
        try {
            table.LoadFromBytes(bytes);
        } catch (const ScriptLoadError&) {
            continue;
        }
        // Every accessor, also past the ends of disagreeing sections.
        for (size_t i = 0; i < table.StatementCount() + 3; ++i) {
            (void)table.IsVisible(i);
            (void)table.SourceFileTitle(i);
            (void)table.CommandHeaderOf(i);
            for (size_t n = 0; n < 6; ++n) (void)table.ParameterOf(i, n);
        }
        Text value;
        (void)table.FindWebMediaPassword(u"Web1", value);
        (void)table.ComponentSize(u"MAIN");
        const std::string source = DecompileScript(ReadScriptSections(bytes));
        try {
            (void)CompileToBytes(source, "again.zev");
        } catch (const SourceError&) {
            // A mutated script may hold what no source can express; it must say so.
        }
    }
}

TEST(ZevcFuzz, RandomBytesNeverCrash) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes) c = random() % 2 ? kInteresting[random() % (sizeof kInteresting - 1)]
                                               : static_cast<char>(random() % 256);
        if (round % 3 == 0) bytes = "MZ" + bytes;
        try {
            (void)ReadSource(bytes);
        } catch (const SourceError&) {
        }
        try {
            (void)DecompileScript(ReadScriptSections(bytes));
        } catch (const ScriptLoadError&) {
        }
        (void)PeImageEnd(bytes);
        (void)TryDecodeProtectedPassword(FromUtf8(bytes));
    }
}

}  // namespace
}  // namespace zev::zevc

// A setup run on the fake platform: a stub image with a script appended, a resource
// archive beside it, and helpers to read what the run left behind.
#pragma once

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "script/script_writer.h"
#include "script/variable_manager.h"
#include "startup/zevstub.h"

namespace zev::testing {

// The smallest PE image the engine accepts: headers and one 0x200-byte section at 0x200.
inline std::string MakeStubImage() {
    std::string image(0x400, '\0');
    auto put16 = [&](size_t at, uint16_t v) {
        image[at] = static_cast<char>(v & 0xFF);
        image[at + 1] = static_cast<char>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, static_cast<uint16_t>(v & 0xFFFF));
        put16(at + 2, static_cast<uint16_t>(v >> 16));
    };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    put16(0x44, 0x14C);        // i386
    put16(0x46, 1);            // one section
    put16(0x54, 0xE0);         // optional header size
    put16(0x58, 0x10B);        // PE32
    const size_t section = 0x58 + 0xE0;
    image.replace(section, 5, ".text");
    put32(section + 16, 0x200);  // raw size
    put32(section + 20, 0x200);  // raw offset
    return image;
}

inline std::vector<Text> DecodeLogLines(const std::string& bytes) {
    Text text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    std::vector<Text> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != Text::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class EngineRun {
public:
    EngineRun() {
        fake.files.CreateFolderTree(u"C:\\Setup");
        fake.files.CreateFolderTree(u"C:\\Temp");
        fake.archives.AddArchive(u"C:\\Setup\\setup.res", {{u"readme.txt", "resource"}});
    }

    void SetScript(const StatementTableBuilder& script) {
        fake.files.AddFile(u"C:\\Setup\\setup.exe", MakeStubImage() + script.Bytes());
    }
    void SetArguments(TextView arguments) {
        fake.system.command_line = u"\"C:\\Setup\\setup.exe\" " + Text(arguments);
    }
    int Run() {
        try {
            return StubMain(fake.platform, variables);
        } catch (const fake::ProcessTerminated& terminated) {
            return static_cast<int>(terminated.exit_code);
        }
    }
    std::vector<Text> Log(TextView path = u"C:\\Temp\\setup.log") {
        return DecodeLogLines(fake.files.ReadWholeFile(path).value_or(""));
    }

    fake::FakePlatform fake;
    TVariableManager variables;
};

}  // namespace zev::testing

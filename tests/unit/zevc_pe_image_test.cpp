#include "script/pe_image.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/unit/zevc_test_files.h"

namespace zev {
namespace {

using zevc::test::MakePeImage;

TEST(PeImage, EndIsTheFurthestRawSection) {
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> sections;  // raw offset, raw size
        uint64_t end;
    };
    const Case cases[] = {
        {{{0x400, 0x200}, {0x600, 0x1000}}, 0x1600},
        {{{0x2000, 0x200}, {0x400, 0x1000}}, 0x2200},        // not in file order
        {{{0x400, 0x200}, {0, 0}}, 0x600},                   // uninitialised data has no raw bytes
        {{}, 0},
        {{{0xFFFFFFFF, 0xFFFFFFFF}}, 0x1FFFFFFFEULL},        // no 32-bit overflow
    };
    for (const Case& c : cases) {
        const std::string image = MakePeImage(c.sections);
        EXPECT_EQ(PeImageEnd(image), c.end);
        EXPECT_EQ(PeImageEnd(image + "appended script"), c.end);
    }
}

TEST(PeImage, RejectsWhatIsNotAPeImage) {
    std::string valid = MakePeImage({{0x400, 0x200}});
    std::string no_mz = valid;
    no_mz[0] = 'X';
    std::string no_signature = valid;
    no_signature[0x80] = 'X';
    std::string far_header = valid;
    far_header[0x3C] = '\xFF';
    far_header[0x3D] = '\xFF';
    const std::string cases[] = {
        "", "MZ", no_mz, no_signature, far_header,
        valid.substr(0, 0x80 + 10),                 // cut inside the file header
        valid.substr(0, valid.size() - 1),         // cut inside the section table
    };
    for (const std::string& bytes : cases) EXPECT_EQ(PeImageEnd(bytes), std::nullopt) << bytes.size();
}

TEST(PeImage, ReadsOnlyTheHeadersOfAFile) {
    const zevc::test::ScratchFolder folder("pe_image");
    std::string image = MakePeImage({{0x400, 0x200}, {0x600, 0x100}});
    image.resize(0x700, '\0');
    {
        std::ofstream(folder / "setup.exe", std::ios::binary) << image << "the script";
        std::ofstream(folder / "cut.exe", std::ios::binary) << image.substr(0, 0x90);
        std::ofstream(folder / "text.txt", std::ios::binary) << "plain text";
    }
    EXPECT_EQ(PeImageEndOfFile(folder / "setup.exe"), 0x700u);
    EXPECT_EQ(PeImageEndOfFile(folder / "cut.exe"), std::nullopt);
    EXPECT_EQ(PeImageEndOfFile(folder / "text.txt"), std::nullopt);
    EXPECT_EQ(PeImageEndOfFile(folder / "missing.exe"), std::nullopt);
}

}  // namespace
}  // namespace zev

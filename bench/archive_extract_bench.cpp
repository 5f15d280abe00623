// Extraction speed of the archive library against 7-Zip's own command-line tool on the
// same archive: a few thousand files, about 20 MB, packed by 7zz with its defaults.
// Prints both times and their ratio (library / 7zz; below 1 is faster).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <unistd.h>

#include "media/archive_library.h"
#include "script/text.h"

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Text-like content that compresses roughly as program files and resources do.
void MakeTree(const fs::path& root, int files, size_t totalBytes) {
    std::mt19937 generator(11);
    const char* words[] = {"setup", "install", "component", "file", "registry", "value", "folder", "data"};
    for (int i = 0; i < files; ++i) {
        const fs::path path = root / ("dir" + std::to_string(i % 40)) / ("file" + std::to_string(i) + ".txt");
        fs::create_directories(path.parent_path());
        std::string text;
        const size_t size = totalBytes / files;
        while (text.size() < size) {
            text += words[generator() % 8];
            text += (generator() % 7 == 0) ? '\n' : ' ';
            if (generator() % 13 == 0) text += std::to_string(generator());
        }
        std::ofstream(path, std::ios::binary) << text;
    }
}

}  // namespace

int main() {
    if (!fs::exists("/usr/bin/7zz")) {
        std::puts("archive_extract_bench: /usr/bin/7zz is not installed, nothing measured");
        return 0;
    }
    const fs::path root = fs::temp_directory_path() / ("zev-archive-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);
    MakeTree(root / "source", 3000, 20u << 20);
    const std::string pack = "cd '" + (root / "source").string() + "' && /usr/bin/7zz a ../bench.7z . > /dev/null";
    if (std::system(pack.c_str()) != 0) {
        std::puts("archive_extract_bench: 7zz could not pack the files");
        return 1;
    }

    auto start = std::chrono::steady_clock::now();
    const std::string unpack =
        "/usr/bin/7zz x -y -o'" + (root / "by7zz").string() + "' '" + (root / "bench.7z").string() + "' > /dev/null";
    if (std::system(unpack.c_str()) != 0) return 1;
    const double sevenZip = Seconds(start);

    const zev::Text archive = zev::FromUtf8((root / "bench.7z").string());
    const zev::Text output = zev::FromUtf8((root / "ours").string()) + u"/";
    start = std::chrono::steady_clock::now();
    const int32_t ok = ExtractArchive(archive.c_str(), 1, output.c_str(), nullptr, 0, 0, u"", nullptr, nullptr,
                                      nullptr, nullptr);
    const double ours = Seconds(start);
    fs::remove_all(root);
    if (!ok) {
        std::printf("archive_extract_bench: extraction failed with %d\n", GetLastArchiveError());
        return 1;
    }
    std::printf("extract 3000 files, 20 MB: zev.lib %.3f s, 7zz %.3f s, ratio %.2f\n", ours, sevenZip,
                ours / sevenZip);
    return 0;
}

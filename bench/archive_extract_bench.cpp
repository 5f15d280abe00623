// Extraction speed of the archive library against 7-Zip's own command-line tool on the
// same archive: a few thousand files, about 20 MB, packed by 7zz with its defaults.
// Measures the library called directly and the engine's extraction routine through its
// binding (which lists the archive first and passes every name as the entry list).
// Prints the times and the ratios to 7zz (below 1 is faster); the routine's target is 1.1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <random>
#include <string>

#include <unistd.h>

#include "media/archive_library.h"
#include "media/archive_routines.h"
#include "media/seven_zip_api.h"
#include "platform/fake/fake_platform.h"
#include "startup/engine.h"
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

    // Three rounds; in each, every contender unpacks into a fresh folder (removed again
    // outside the timing). The best time of each counts, so that a burst of load on the
    // machine during one run does not decide the ratio.
    const zev::Text archive = zev::FromUtf8((root / "bench.7z").string());
    zev::fake::FakePlatform fake;
    zev::TSevenZipLibrary library;
    zev::Platform platform{fake.files, fake.registry, fake.system, fake.ui, fake.libraries, fake.processes, library};
    zev::TVariableManager variables;
    zev::Engine engine(platform, variables);

    double sevenZip = 1e9, direct = 1e9, routine = 1e9;
    for (int round = 0; round < 3; ++round) {
        const fs::path output = root / "out";
        auto start = std::chrono::steady_clock::now();
        const std::string unpack = "/usr/bin/7zz x -y -o'" + output.string() + "' '" + (root / "bench.7z").string() +
                                   "' > /dev/null";
        if (std::system(unpack.c_str()) != 0) return 1;
        sevenZip = std::min(sevenZip, Seconds(start));
        fs::remove_all(output);

        const zev::Text folder = zev::FromUtf8(output.string()) + u"/";
        start = std::chrono::steady_clock::now();
        const int32_t ok = ExtractArchive(archive.c_str(), 1, folder.c_str(), nullptr, 0, 0, u"", nullptr, nullptr,
                                          nullptr, nullptr);
        direct = std::min(direct, Seconds(start));
        fs::remove_all(output);
        if (!ok) {
            std::printf("archive_extract_bench: extraction failed with %d\n", GetLastArchiveError());
            fs::remove_all(root);
            return 1;
        }

        // The engine routine, as start-up and the extract statement run it: it lists the
        // archive and passes every name as the entry list.
        zev::ExtractRequest request;
        request.archive = archive;
        request.output_folder = zev::FromUtf8(output.string());
        zev::Text error;
        start = std::chrono::steady_clock::now();
        const bool extracted = zev::ExtractArchiveRoutine(
            engine, request, [](zev::TextView, uint64_t, uint64_t) { return true; }, error);
        routine = std::min(routine, Seconds(start));
        fs::remove_all(output);
        if (!extracted) {
            std::printf("archive_extract_bench: the extraction routine failed: %s\n", zev::ToUtf8(error).c_str());
            fs::remove_all(root);
            return 1;
        }
    }
    fs::remove_all(root);
    std::printf("extract 3000 files, 20 MB (best of 3): 7zz %.3f s\n", sevenZip);
    std::printf("  zev.lib called directly   %.3f s, ratio %.2f\n", direct, direct / sevenZip);
    std::printf("  engine extraction routine %.3f s, ratio %.2f (target 1.10)\n", routine, routine / sevenZip);
    return 0;
}

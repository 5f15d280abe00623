// zevc build: the files of a runnable setup from a compiled product.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tools/zevc/script_compiler.h"

namespace zev::zevc {

class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A support file named in the source that cannot be packed.
class SupportFileError : public BuildError {
public:
    SupportFileError(SourceLocation at, const std::string& message) : BuildError(message), at_(at) {}
    SourceLocation At() const { return at_; }

private:
    SourceLocation at_;
};

struct BuildRequest {
    std::filesystem::path source_file;  // support file paths are relative to its folder
    std::filesystem::path output_folder;
    std::filesystem::path stub;
    std::filesystem::path archive_library;
};

// Writes output_folder/setup.exe (the stub's image with the script appended),
// output_folder/setup.res (a 7-Zip archive of the support files, each under its
// archive name) and output_folder/zev.lib (a copy of the archive library).
void BuildSetup(const CompiledProduct& product, const std::string& script, const BuildRequest& request);

}  // namespace zev::zevc

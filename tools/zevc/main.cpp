// zevc: compiles, decompiles and builds product setups.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/zevc/zevc_cli.h"

#ifdef _WIN32
#include <cstdlib>
#include <cwchar>

#include "script/text.h"

// Arguments arrive as UTF-16 on Windows; zevc works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::u16string text(reinterpret_cast<const char16_t*>(argv[i]), std::wcslen(argv[i]));
        arguments.push_back(zev::ToUtf8(text));
    }
    // The C runtime's copy of the full program path; argv[0] may be a bare name.
    std::filesystem::path program_path;
    if (_wpgmptr && *_wpgmptr) program_path = _wpgmptr;
    else if (argc > 0) program_path = std::filesystem::absolute(argv[0]);
    return zev::zevc::RunZevc(arguments, program_path, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::error_code error;
    std::filesystem::path program = std::filesystem::canonical("/proc/self/exe", error);
    if (error) program = std::filesystem::absolute(argv[0], error);
    return zev::zevc::RunZevc(arguments, program, std::cout, std::cerr);
}
#endif

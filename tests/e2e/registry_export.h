// Registry values as the registry tool exports them: the harness reads keys this
// way because the export keeps every character, where a console listing does not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zev::e2e {

enum class RegistryType { String, ExpandString, MultiString, Dword, Qword, Binary, Other };

struct RegistryValue {
    RegistryType type = RegistryType::Other;
    std::string text;                  // String and ExpandString, UTF-8
    std::vector<std::string> strings;  // MultiString
    std::uint64_t number = 0;          // Dword and Qword
    std::vector<std::uint8_t> data;    // the raw bytes of every hexadecimal form
    int raw_type = -1;                 // the type number of a hex(N) value
};

struct RegistryKey {
    std::vector<std::pair<std::string, RegistryValue>> values;  // "" is the default value
    std::vector<std::string> subkeys;                            // direct subkey names
    const RegistryValue* Find(std::string_view name) const;      // name without regard to case
};

// Parses the text of a registry export ("Windows Registry Editor Version 5.00") and
// returns the key named key_path (HKCU, HKLM, HKCR, HKU or long root names; case is
// ignored), or nullopt when the export does not hold it. Throws std::runtime_error
// on a line it cannot read.
std::optional<RegistryKey> ParseRegistryExport(std::string_view utf8_text, std::string_view key_path);

}  // namespace zev::e2e

// Compiling a product script source into the thirteen sections of a compiled script.
#pragma once

#include <vector>

#include "script/statement_table.h"
#include "tools/zevc/source_model.h"

namespace zev::zevc {

// A file for the resource archive: its path as written (relative to the source
// file's folder unless absolute) and its name inside the archive.
struct SupportFile {
    Text path;
    Text archive_name;
    SourceLocation at;
};

struct CompiledProduct {
    ScriptSections sections;
    std::vector<SupportFile> support_files;
};

// Compiles a parsed source. source_path is written into section 12 for every
// statement that no @origin directive or position attribute places elsewhere.
// Throws SourceError at the first fault.
CompiledProduct CompileSource(const SourceScript& source, TextView source_path);

// The identifier a statement gets when the source gives none: a GUID in braces
// derived from the product code (letter case ignored) and the statement index.
Text DerivedIdentifier(TextView product_code, size_t index);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits in any case.
bool IsBracedGuid(TextView text);

}  // namespace zev::zevc

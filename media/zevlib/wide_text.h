// Engine text (UTF-16) <-> 7-Zip's wide strings, which are UTF-16 on Windows and UTF-32
// elsewhere.
#pragma once

#include "media/zevlib/seven_zip.h"
#include "script/text.h"

namespace zev::archive {

UString ToWide(TextView text);
Text FromWide(const wchar_t* text);

}  // namespace zev::archive

// The one place that includes 7-Zip's headers: its COM-style interfaces, property ids and
// helpers. On Win32 these pull in <windows.h>; the library is an adapter around 7-Zip and
// the engine's own code never includes this file.
#pragma once

#include "Common/MyWindows.h"

#include "Common/MyCom.h"
#include "Common/MyString.h"
#include "7zip/Archive/IArchive.h"
#include "7zip/IPassword.h"
#include "7zip/IStream.h"
#include "7zip/PropID.h"
#include "Windows/PropVariant.h"

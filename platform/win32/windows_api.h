// The Windows API, without the macros that would rename the platform interface's
// own member functions (CopyFile, DeleteFile) in this folder alone.
#pragma once

#include <windows.h>

#undef CopyFile
#undef DeleteFile
